#pragma once
// The screen-movie recorder and the frame's buffer swap. Once per frame the frame pump calls
// qtim.mov_per_frame(), which swaps the buffers; while a recording runs it also copies the frame
// into a capture texture at the movie's frame rate, draws it scaled to the movie size, reads that
// back (through a pixel-pack buffer one capture late, where there is one) and hands it to a
// compressor thread that appends it to the movie as a JPEG frame.
//
//   qtim.mov_toggle(1);   // start recording "Ventaro _N.mov" in the current folder
//   ...                   // frames pass
//   qtim.mov_toggle(0);   // stop, once the compressor has handed back three frames
//
// Frames travel in three buffers through two queues; a capture that finds no free buffer is
// dropped, and the main thread waits for the compressor only while a recording stops.
#include <atomic>
#include <list>
#include <string>

#include "core/threads.h"

class movie_toolbox;

class qtim_class {
public:
    qtim_class();
    ~qtim_class();

    void mov_per_frame();
    // mode 1 records, 2 starts without a movie (stop pending), 0 only stops.
    void mov_toggle(int mode);
    void mov_memorize_screen();
    void mov_compress_screen(float duration);
    void mov_stop_thread();
    // The settings panel's contents.
    void qtim_wind();

    int qt_ok = 0;
    int mov_mode = 0;     // 0 idle, 1 recording, 2 stop pending
    int mov_dx = 320;
    int mov_dy = 0;
    int cap_dx = 0;
    int cap_dy = 0;
    float mov_fps = 20.0f;
    int frames_back = 0;  // frames handed back since this recording's movie was set up
};

extern qtim_class qtim;

// One frame on its way to the compressor and back.
struct qt_frame_t {
    float duration;          // seconds it stands for
    unsigned char* pixels;   // mov_dx x mov_dy x 4 bytes: blue, green, red, alpha; top row first
    int size;                // bytes allocated for pixels
};

extern std::list<qt_frame_t*> usable_buffers;
extern UTL_message_queue<qt_frame_t*>* q_to_thread;
extern UTL_message_queue<qt_frame_t*>* q_from_thread;
extern UTL_thread_t qt_thread, qt_thread_id, qt_thread_join;
extern int qt_thread_made;
extern int control_value;
extern unsigned char* qt_array;
extern unsigned pbo_id;
extern int pbo_has_data;
extern int gCurrentMovie;   // 1 while a movie is open

void mov_startrecord();
void mov_stoprecord();
void* QT_Thread(void* unused);
// The recorder's quit alert: three lines and the error number.
void mov_alert(const std::string& line1, const std::string& line2, const char* line3, int error);
void draw_stuff_after_qt_capture_and_sbuff();

constexpr int qt_capture_ref = 379;

// Where the movie library can be had.
inline constexpr const char* kDownloadSite = "https://ffmpeg.org/download.html";

// Test seams: the movie library the recorder uses (null: FFmpeg's), and the per-frame hook's
// clock and capture switch back to their start.
void qtim_set_toolbox_for_test(movie_toolbox* toolbox);
void qtim_reset_frame_clock_for_test();

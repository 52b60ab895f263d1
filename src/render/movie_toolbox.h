#pragma once
// The movie library the screen recorder writes through, one call per step of a recording, in
// the order the recorder makes them. On Linux it is FFmpeg (libavformat, libavcodec, libswscale):
//   [x] a movie file created (an existing one replaced), one video track of time scale 600
//   [x] each 32-bit frame (bytes blue, green, red, alpha; top row first) compressed as JPEG at
//       normal quality, added as a key-frame sample with its duration in 1/600 s
//   [x] the track finished and the movie (index after the samples) written and closed: a .mov
//       with Motion-JPEG video that any player reads
//   [ ] a choice of codec, quality or compressor: Motion-JPEG at normal quality only
//   [ ] a movie attached to one thread at a time: FFmpeg's objects need no attaching, so those
//       calls only mark the hand-over
// Results are 0 for success, else an error number (FFmpeg's, or errno's negated).
#include <string>

class movie_toolbox {
public:
    virtual ~movie_toolbox() = default;

    virtual int enter() = 0;                 // once per program
    virtual void leave() = 0;
    virtual void enter_thread() {}           // once per thread that uses movies
    virtual void leave_thread() {}
    virtual void attach_thread() {}          // the movie now belongs to the calling thread
    virtual void detach_thread() {}

    // -43 when the file does not exist yet (the usual case), 0 when it does, another error when
    // its folder cannot take it.
    virtual int check_path(const std::string& path) = 0;
    virtual int create_file(const std::string& path) = 0;
    virtual int begin_edits(int width, int height) = 0;
    virtual int begin_compression(int width, int height) = 0;
    virtual int max_compressed_size(long* bytes) = 0;
    // pixels: width x height x 4 bytes as above. *bytes: the compressed size.
    virtual int compress(const unsigned char* pixels, long* bytes) = 0;
    // The frame just compressed, standing for duration / 600 seconds.
    virtual int add_sample(long bytes, int duration) = 0;
    virtual void end_compression() = 0;
    virtual int end_edits() = 0;
    virtual int insert_media() = 0;
    virtual int add_resource() = 0;          // the movie's index written into the file
    virtual void close_file() = 0;           // the file closed and the movie disposed of
};

// The FFmpeg toolbox (one for the program).
movie_toolbox& movie_toolbox_ffmpeg();

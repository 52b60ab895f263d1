#include "render/qtim.h"

#include <algorithm>
#include <cstring>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/memory.h"
#include "core/number_text.h"
#include "core/runway_constants.h"
#include "core/thread_layer.h"
#include "render/gl_api.h"
#include "render/movie_toolbox.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/panel_record.h"
#include "render/renderer_options.h"
#include "render/screenshot.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "render/view.h"

namespace {
movie_toolbox* g_toolbox = nullptr;
movie_toolbox& toolbox() { return g_toolbox ? *g_toolbox : movie_toolbox_ffmpeg(); }
}  // namespace

qtim_class qtim;
std::list<qt_frame_t*> usable_buffers;

UTL_message_queue<qt_frame_t*>* q_to_thread = nullptr;
UTL_message_queue<qt_frame_t*>* q_from_thread = nullptr;
UTL_thread_t qt_thread{}, qt_thread_id{}, qt_thread_join{};
int qt_thread_made = 0;
int control_value = 0;
unsigned char* qt_array = nullptr;
unsigned pbo_id = 0;
int pbo_has_data = 0;
int gCurrentMovie = 0;

namespace {

const char* const kSource = "QFutils/OOPS_cpp/qtim";

long gCompressBuffer = 0;         // bytes set aside for a compressed frame; 0 before a movie
float this_frame_duration = 0;
int running = 0;
// The compressor thread's own word on its state: it still runs; it answered the last marker.
std::atomic<int> compressor_running{0};
std::atomic<int> marker_answered{0};

void cache_state_for_capture() { OGL_setstate(1, 1, 1, 0, 1, 1); }

bool pixel_pack_path() { return glExt.pbo_avail && reno.alias_got == 0; }

unsigned long frame_bytes() { return static_cast<unsigned long>(qtim.mov_dx) * static_cast<unsigned long>(qtim.mov_dy) * 4; }

// The recorder gives up a start it cannot make: back to idle with nothing held.
void refuse_start() {
    xfree(qt_array);
    qt_array = nullptr;
    qtim.mov_mode = 0;
}

// When the compressor's function ends, also by a quit alert raised on it that ends the thread,
// the frame it holds goes back and its running flag (set before it starts) is cleared.
struct running_mark {
    qt_frame_t* held = nullptr;
    running_mark() = default;
    ~running_mark() {
        if (held) UTL_message_queue_write(q_from_thread, held);
        compressor_running = 0;
    }
    running_mark(const running_mark&) = delete;
    running_mark& operator=(const running_mark&) = delete;
};

bool open_movie() {
    std::string name;
    gimme_png_mov_paths(app_name, ".mov", name);
    if (name.size() > 30) name.resize(30);
    if (gCurrentMovie) {
        MACIBM_alert(0, "Trying to create a movie but one already exists", name, "", "", t_warn);
        return false;
    }
    movie_toolbox& tb = toolbox();
    int err = tb.check_path(name);
    if (err != 0 && err != -43) mov_alert("Could not FSMakeFSSpec.", name, "(CreateMovieFile failed)", err);
    if ((err = tb.create_file(name)) != 0)
        mov_alert("Could not CreateMovieFile to file: " + name, "(CreateMovieFile failed)", "", err);
    gCurrentMovie = 1;
    if ((err = tb.begin_edits(qtim.mov_dx, qtim.mov_dy)) != 0)
        mov_alert("Could not BeginMediaEdits.", name, "(BeginMediaEdits failed)", err);
    if ((err = tb.begin_compression(qtim.mov_dx, qtim.mov_dy)) != 0)
        mov_alert("Could not CompressSequenceBegin.", "", "(CompressSequenceBegin failed.)", err);
    long most = 0;
    if ((err = tb.max_compressed_size(&most)) != 0)
        mov_alert("Could not GetMaxCompressionSize.", "", "(GetMaxCompressionSize failed.)", err);
    gCompressBuffer = most;
    // The movie settles for a second before its first frame.
    const uint64_t until = xtim_class::microsecs() + 1000000;
    while (xtim_class::microsecs() < until) UTL_sleep(1);
    qtim.frames_back = 0;
    tb.detach_thread();
    return true;
}

void finish_movie() {
    movie_toolbox& tb = toolbox();
    tb.attach_thread();
    tb.end_compression();
    gCompressBuffer = 0;
    int err = tb.end_edits();
    if (err != 0) mov_alert("Could not EndMediaEdits.", "", "(EndMediaEdits failed.)", err);
    if ((err = tb.insert_media()) != 0) mov_alert("Could not InsertMediaIntoTrack.", "", "(InsertMediaIntoTrack failed.)", err);
    if ((err = tb.add_resource()) != 0) mov_alert("Could not AddMovieResource.", "", "(AddMovieResource failed.)", err);
    tb.close_file();
    gCurrentMovie = 0;
}

}  // namespace

qtim_class::qtim_class() { qt_ok = toolbox().enter() == 0 ? 1 : 0; }

qtim_class::~qtim_class() { toolbox().leave(); }

void qtim_set_toolbox_for_test(movie_toolbox* tb) { g_toolbox = tb; }

void qtim_reset_frame_clock_for_test() {
    this_frame_duration = 0;
    running = 0;
}

void mov_alert(const std::string& line1, const std::string& line2, const char* line3, int error) {
    std::string code;
    int_to_str(error, &code, 1, sft_plain, 0);
    __MACIBM_alert(0, line1, line2, line3 ? line3 : "", code, t_quit, kSource, __LINE__);
}

void draw_stuff_after_qt_capture_and_sbuff() { OGL_sbuff(); }

void qtim_class::mov_per_frame() {
    this_frame_duration += xtim.frame_period;
    bool captured = false;
    if (static_cast<double>(this_frame_duration) >= 1.0 / static_cast<double>(mov_fps)) {
        switch (mov_mode) {
        case 0: running = 0; break;
        case 2:
            running = 0;
            mov_toggle(0);
            break;
        case 1:
            if (running) {
                mov_memorize_screen();
                captured = true;
            } else {
                running = 1;
            }
            break;
        default: break;
        }
    }
    OGL_sbuff();
    if (captured) {
        mov_compress_screen(this_frame_duration);
        this_frame_duration = 0;
    }
}

void qtim_class::mov_toggle(int mode) {
    if (!qt_ok) return;
    cache_state_for_capture();
    if (mov_mode == 0) {
        if (mode == 0) return;   // nothing to stop
        mov_mode = mode;
        scratch_dx = scratch_dy = 2048;
        tman.load_texture(tex_fail_quit, qt_capture_ref, 0x201, tex_load_now, "scratch_array-t_QT_movie");
        mov_startrecord();
    } else if (frames_back > 2) {
        mov_stoprecord();
        tman.unload_texture(qt_capture_ref);
    }
}

void mov_startrecord() {
    if (!qt_thread_made) {
        qt_thread_made = 1;
        q_to_thread = UTL_message_queue_create<qt_frame_t*>();
        q_from_thread = UTL_message_queue_create<qt_frame_t*>();
        compressor_running = 1;
        THREAD_create(&QT_Thread, nullptr, &qt_thread, &qt_thread_id, &qt_thread_join, 1);
    }
    if (wins.win_px_w > 2048 || wins.win_px_h > 2048) {
        MACIBM_alert(0, "Oops!", "You can NOT record movies in Ventaro at any Ventaro resolution higher that 2048 x 2048!",
                     "This limit is to keep the VRAM requirements of Ventaro down.", "", t_warn);
        refuse_start();
        return;
    }
    if (qtim.mov_mode != 2 && wins.win_px_w > 0)
        qtim.mov_dy = std::clamp(qtim.mov_dx * wins.win_px_h / wins.win_px_w, 1, 2048);
    qt_array = static_cast<unsigned char*>(xmalloc(frame_bytes()));
    if (qtim.mov_mode == 1 && !open_movie()) {
        refuse_start();
        return;
    }
    while (usable_buffers.size() < 3) usable_buffers.push_back(new qt_frame_t{0.0f, nullptr, 0});
    const int bytes = static_cast<int>(frame_bytes());
    for (qt_frame_t* f : usable_buffers) {
        if (f->size == bytes) continue;
        xfree(f->pixels);
        f->pixels = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(bytes)));
        f->size = bytes;
    }
    if (pixel_pack_path()) {
        if (!pbo_id) glExt.glGenBuffersARB(1, &pbo_id);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_id);
        glExt.glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, bytes, nullptr, GL_DYNAMIC_READ_ARB);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    }
}

void qtim_class::mov_memorize_screen() {
    cache_state_for_capture();
    tman.bind_ref(qt_capture_ref, 0, 0);
    cap_dx = std::clamp(wins.win_px_w, 0, 2048);
    cap_dy = std::clamp(wins.win_px_h, 0, 2048);
    gl.glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, cap_dx, cap_dy);
}

void qtim_class::mov_compress_screen(float duration) {
    while (qt_frame_t* back = UTL_message_queue_read(q_from_thread, 0)) {
        usable_buffers.push_back(back);
        ++frames_back;
    }
    if (usable_buffers.empty()) return;   // dropped
    qt_frame_t* f = usable_buffers.front();
    const bool pack = pixel_pack_path();
    const GLsizei bytes = static_cast<GLsizei>(frame_bytes());
    if (pack && pbo_has_data) {
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_id);
        glExt.glGetBufferSubDataARB(GL_PIXEL_PACK_BUFFER_ARB, 0, bytes, f->pixels);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    }

    // The capture scaled to the movie size and turned upside down, so that rows read from the
    // bottom of the window come out top row first.
    cache_state_for_capture();
    tman.bind_ref(qt_capture_ref, 0, 0);
    const float x = wins.off_x, y = wins.off_y, w = static_cast<float>(mov_dx), h = static_cast<float>(mov_dy);
    const float s = static_cast<float>(cap_dx) / 2048.0f, t = static_cast<float>(cap_dy) / 2048.0f;
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(0, t);
    gl.glVertex2f(x, y);
    gl.glTexCoord2f(0, 0);
    gl.glVertex2f(x, y + h);
    gl.glTexCoord2f(s, 0);
    gl.glVertex2f(x + w, y + h);
    gl.glTexCoord2f(s, t);
    gl.glVertex2f(x + w, y);
    gl.glEnd();

    if (pack) {
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_id);
        gl.glReadPixels(0, 0, mov_dx, mov_dy, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    } else {
        gl.glReadPixels(0, 0, mov_dx, mov_dy, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, f->pixels);
    }
    f->duration = duration;
    if (!pack || pbo_has_data) {
        usable_buffers.pop_front();
        UTL_message_queue_write(q_to_thread, f);
    }
    pbo_has_data = 1;
}

void* QT_Thread(void*) {
    running_mark mark;
    toolbox().enter_thread();
    bool attached = false;
    for (;;) {
        qt_frame_t* f = UTL_message_queue_read(q_to_thread, -1);
        if (!f) {
            if (attached && qtim.mov_mode == 1) toolbox().detach_thread();
            attached = false;
            UTL_message_queue_write(q_from_thread, static_cast<qt_frame_t*>(nullptr));
            marker_answered = 1;
            if (control_value == 0) break;
            continue;
        }
        mark.held = f;
        if (!attached) {
            toolbox().attach_thread();
            attached = true;
        }
        std::memcpy(qt_array, f->pixels, frame_bytes());
        if (qtim.mov_mode == 1) {
            if (!gCompressBuffer)
                __MACIBM_alert(0, "rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                               "gCompressBuffer", "QT_Thread", "Please report this to Quillon Research.", t_crash,
                               kSource, __LINE__);
            long size = 0;
            int err = toolbox().compress(qt_array, &size);
            if (err != 0)
                mov_alert("Could not CompressSequenceFrame.",
                          std::string("YOU HAVE TO INSTALL THE LATEST QUICKTIME WITH AUTHORING MODULE FROM ") + kDownloadSite + "!",
                          "(CompressSequenceFrame failed.)", err);
            const int duration = std::clamp(static_cast<int>(f->duration * 600.0f), 1, 60);
            if ((err = toolbox().add_sample(size, duration)) != 0)
                mov_alert("Could not AddMediaSample.", "", "AddMediaSample failed.", err);
        }
        mark.held = nullptr;
        UTL_message_queue_write(q_from_thread, f);
    }
    toolbox().leave_thread();
    return nullptr;
}

void mov_stoprecord() {
    control_value = 1;
    marker_answered = 0;
    UTL_message_queue_write(q_to_thread, static_cast<qt_frame_t*>(nullptr));
    // Every frame sent comes back before the marker's answer. A compressor that ended (a quit
    // alert raised on it) answers nothing: it gave back the frame it held, and the frames it never
    // took are still in its queue.
    for (;;) {
        if (qt_frame_t* back = UTL_message_queue_read(q_from_thread, 20)) {
            usable_buffers.push_back(back);
            continue;
        }
        if (marker_answered || !compressor_running) break;
    }
    while (qt_frame_t* back = UTL_message_queue_read(q_from_thread, 0)) usable_buffers.push_back(back);
    if (!compressor_running) {
        // Everything up to the marker; the marker itself reads as null and ends this.
        while (qt_frame_t* left = UTL_message_queue_read(q_to_thread, 0)) usable_buffers.push_back(left);
    }

    if (qtim.mov_mode == 1) {
        if (!gCurrentMovie)
            MACIBM_alert(0, "Cannot finish record of a movie that was not started!", "", "", "", t_warn);
        else
            finish_movie();
    }
    // Idle again in every case, so that a later toggle can start a recording.
    xfree(qt_array);
    qt_array = nullptr;
    qtim.mov_mode = 0;
    pbo_has_data = 0;
}

void qtim_class::mov_stop_thread() {
    if (mov_mode) mov_stoprecord();
    if (!qt_thread_made) return;
    control_value = 0;
    UTL_message_queue_write(q_to_thread, static_cast<qt_frame_t*>(nullptr));
    UTL_thread_join(&qt_thread, &qt_thread_join);
    UTL_message_queue_destroy(q_to_thread);
    UTL_message_queue_destroy(q_from_thread);
    q_to_thread = q_from_thread = nullptr;
    qt_thread_made = 0;
}

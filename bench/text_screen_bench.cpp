// A full 800 x 600 screen of text and frames per frame, in the real window (Xvfb, Mesa's
// llvmpipe), ended by the swap and glFinish: the longest translation of the licence page, once
// as the wizard lays it out (scene 0) and once repeated to fill the screen (scene 1). CPU time
// per frame, of the drawing thread and of the whole process (llvmpipe rasterises on its own
// threads), for three kinds of frame in the same run:
//   cold   - the glyph caches emptied first: every glyph rendered and the atlases uploaded;
//   cached - the same frame again;
//   empty  - the reference: clear and swap only.
// bench/text_screen.sh starts the X server and lays out the bundle this program reads.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/localisation.h"
#include "core/mouse_record.h"
#include "platform/bundle.h"
#include "platform/gl_window.h"
#include "render/background.h"
#include "render/gl_api.h"
#include "render/interface_art.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "ui/frames.h"
#include "ui/labels.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

namespace {

constexpr int kW = 800, kH = 600;
const std::string kLicenceKey = "Quillon Research grants you a free license";

double cpu_seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool g_ready = false;
std::string g_licence;
int g_licence_lang = 0;

// The licence in every language (English is the key itself), from the bundle's translations.
std::vector<std::pair<int, std::string>> licence_texts() {
    std::vector<std::pair<int, std::string>> out;
    const char* const names[] = {"English", "French", "German", "Russian", "Italian", "Spanish"};
    for (int lang = 1; lang < 6; ++lang) {
        std::ifstream in(platform::bundle_path() + "/Contents/Resources/" + names[lang] + ".txt");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("STRING " + kLicenceKey, 0) != 0) continue;
            const std::size_t sep = line.find("====");
            if (sep == std::string::npos) continue;
            std::string english = line.substr(7, sep - 7), translated = line.substr(sep + 4);
            str_unescape(english);
            str_unescape(translated);
            if (out.empty()) out.push_back({0, english});
            out.push_back({lang, translated});
        }
    }
    return out;
}

bool set_up() {
    wins.windowed_w = kW;
    wins.windowed_h = kH;
    if (cons.cons_make(0) != 1) return false;
    glExt.init_extensions();
    reno.reno_init();
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    TEX_load_interface_art();
    tman.load_texture(tex_fail_quit, tex_ref_elements, 0x48242, tex_load_now, "RESOURCE:elements_English.png");
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();
    OGL_pix_specs(0);

    // The longest page, each measured in its own language's face (Russian is set condensed).
    float widest = 0;
    for (const auto& [lang, text] : licence_texts()) {
        mnw.lang = lang;
        TT_reset_font(tt_both);
        const float w = OGL_measure_string(text);
        if (w > widest) {
            widest = w;
            g_licence = text;
            g_licence_lang = lang;
        }
    }
    mnw.lang = g_licence_lang;
    TT_reset_font(tt_both);
    return !g_licence.empty();
}

void end_frame() {
    OGL_sbuff();
    gl.glFinish();
}

// Scene 0: the licence page as the wizard lays it out (side panel with the step list, the page
// in a sub-panel wrapped at 560, the agreement label, the bottom bar). Scene 1: the whole screen
// filled with the licence, wrapped at 760 and repeated down to the bottom bar.
int g_scene = 0;

void draw_screen() {
    OGL_plot_back_col();
    BTN_frame2(23, 10, 50, 180, 540, "", 1);
    const char* const steps[] = {"Welcome", "License", "Check Servers", "Pick Destination", "Install", "Finish"};
    float sy = 560;
    for (const char* step : steps) {
        OGL_string(50, 30, sy, step, 9999, cs_bold, just_left);
        sy -= 24;
    }
    if (g_scene == 0) {
        BTN_frame2(16, 215, 110, 570, 470, "End User License Agreement", 1);
        OGL_string(50, 220, 540, g_licence, 560, cs_regular, just_left);
        BTN_util_draw_label(240, 120, 2, "I agree!", 0);
    } else {
        BTN_frame2(16, 10, 50, 780, 540, "", 1);
        float y = 580;
        while (y > 60) y = OGL_string(50, 20, y, g_licence, 760, cs_regular, just_left) - 4;
    }
    BTN_frame1(9, 560, 80, 200, 57);
    OGL_boxed_string(560, 76, 200, "Folder|", "/home/user/Desktop/Ventaro 9", cs_regular, 50);
    for (const int style : {11, 12, 13}) BTN_frame1(style, 520 + (style - 11) * 100, 20.5f, 90, 57);
    end_frame();
}

void report(benchmark::State& state, double thread_s, double process_s) {
    const double n = static_cast<double>(state.iterations());
    state.counters["thread_cpu_ms"] = thread_s / n * 1e3;
    state.counters["process_cpu_ms"] = process_s / n * 1e3;
    state.counters["lang"] = g_licence_lang;
    state.counters["licence_bytes"] = static_cast<double>(g_licence.size());
}

template <typename Frame>
void measure(benchmark::State& state, Frame frame, bool cold) {
    if (!g_ready) {
        state.SkipWithError("no window (is DISPLAY set?) or no licence text");
        return;
    }
    g_scene = static_cast<int>(state.range(0));
    draw_screen();   // warm: both atlases exist, so a cold frame re-renders the same set
    double thread_s = 0, process_s = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            TT_reset_font(tt_both);
            state.ResumeTiming();
        }
        const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID), p0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
        frame();
        thread_s += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t0;
        process_s += cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - p0;
    }
    report(state, thread_s, process_s);
}

void BM_empty_frame(benchmark::State& state) {
    measure(state, [] {
        gl.glClearColor(0.2f, 0.2f, 0.25f, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        end_frame();
    }, false);
}
void BM_cold_frame(benchmark::State& state) { measure(state, draw_screen, true); }
void BM_cached_frame(benchmark::State& state) { measure(state, draw_screen, false); }

BENCHMARK(BM_empty_frame)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_cold_frame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_cached_frame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    g_ready = set_up();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_ready ? 0 : 1;
}

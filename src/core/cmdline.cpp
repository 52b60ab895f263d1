#include "core/cmdline.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/stats.h"
#include "core/command_registry.h"
#include "core/log.h"

UTL_cmdline cmdline;

namespace {

const char* const help_text =
    "Usage: Ventaro [options...]\n"
    "\n"
    "Every option is written either as --flag or as --flag=value. Options that are not\n"
    "recognised are ignored.\n"
    "\n"
    "--help\n"
    "-h\n"
    "    Prints this text and quits.\n"
    "\n"
    "--no_sound\n"
    "    Runs without sound.\n"
    "\n"
    "--missing_strings\n"
    "    Reports every text that has no translation in the current language.\n"
    "\n"
    "--lang=<lang code>\n"
    "    Uses the given language instead of the one chosen by the system's\n"
    "    preferred languages.\n"
    "\n"
    "--allow_rosetta\n"
    "    Lets the program start under processor emulation.\n"
    "\n"
    "OPTIONS TO AUTO-CONFIGURE VENTARO\n"
    "\n"
    "--pref:<key>=<value>\n"
    "    Sets one preference to the given value. May be given more than once.\n"
    "\n"
    "--dref:<ref>=<value>\n"
    "    Sets a data reference when the program starts.\n"
    "\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\n"
    "\n"
    "These options switch off features of the graphics card. They cost frame rate, but\n"
    "can get you past a fault in a video driver.\n"
    "\n"
    "--no_vbos\n"
    "    Does not keep geometry in video memory (vertex buffer objects).\n"
    "\n"
    "--no_fbos\n"
    "    Does not render to textures through framebuffer objects.\n"
    "\n"
    "--no_pbos\n"
    "    Does not transfer pixels through pixel buffer objects.\n"
    "\n"
    "--no_sprites\n"
    "    Does not draw lights with point sprites.\n"
    "\n"
    "--no_pixel_counters\n"
    "    Does not use occlusion queries to count visible pixels.\n"
    "\n"
    "--no_aniso_filtering\n"
    "    Does not use anisotropic texture filtering.\n"
    "\n"
    "--no_hw_mipmap\n"
    "    Builds texture mipmaps on the processor instead of the graphics card.\n"
    "\n"
    "--no_fshaders\n"
    "    Does not use fragment shaders.\n"
    "\n"
    "--no_vshaders\n"
    "    Does not use vertex shaders.\n"
    "\n"
    "--no_glsl\n"
    "    Does not use GLSL shaders at all.\n"
    "\n"
    "--limited_glsl\n"
    "    Uses only the simpler GLSL shaders.\n"
    "\n"
    "--unlimited_glsl\n"
    "    Uses every GLSL shader, even where the card is known to struggle.\n"
    "\n"
    "--no_threaded_ogl\n"
    "    Loads textures on the main thread only.\n"
    "\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n"
    "\n"
    "These options switch on features that are turned off for your graphics card\n"
    "because they are known to fail on it. They may crash the simulator.\n"
    "\n"
    "--use_vbos\n"
    "    Keeps geometry in video memory even where it is turned off.\n"
    "\n"
    "--use_sprites\n"
    "    Draws lights with point sprites even where they are turned off.\n"
    "\n"
    "--use_fshaders\n"
    "    Uses fragment shaders even where they are turned off.\n"
    "\n"
    "--use_vshaders\n"
    "    Uses vertex shaders even where they are turned off.\n"
    "\n"
    "--use_glsl\n"
    "    Uses GLSL shaders even where they are turned off.\n"
    "\n"
    "--use_fbos\n"
    "    Renders to textures even where framebuffer objects are turned off.\n"
    "\n"
    "--force_run\n"
    "    Starts even when the system does not meet the requirements.\n"
    "\n"
    "FRAMERATE TEST\n"
    "\n"
    "--fps_test=n\n"
    "    Runs frame-rate test number n, writes the results to the log and quits.\n"
    "\n"
    "--require_fps=n\n"
    "    With --fps_test: fails the test when the frame rate stays below n.\n"
    "\n"
    "--qa_script=<file>\n"
    "    Runs the test script in the given file, without showing any alert.\n";

}  // namespace

void UTL_cmdline::init_unix(int argc, char const** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos) {
            store(arg, std::string());
        } else {
            store(arg.substr(0, eq), arg.substr(eq + 1));
        }
    }
    init_common();
}

int UTL_cmdline::init_win(char const* command) {
    const std::string s = command ? command : "";
    std::size_t i = 0;
    const auto space = [&s](std::size_t k) { return std::isspace(static_cast<unsigned char>(s[k])) != 0; };
    for (;;) {
        while (i < s.size() && space(i)) ++i;
        if (i >= s.size()) break;
        const std::size_t start = i;
        while (i < s.size() && !space(i)) ++i;
        const std::string word = s.substr(start, i - start);
        const std::size_t eq = word.find('=');
        const std::string key = word.substr(0, eq);
        if (key.empty()) continue;
        store(key, eq == std::string::npos ? std::string() : word.substr(eq + 1));
    }
    return init_common();
}

void UTL_cmdline::store(const std::string& key, const std::string& value) {
    if (options_.count(key)) xer << "WARNING: command line option " << key << "=" << value << "used twice.\n";
    options_[key] = value;
    xer << "     '" << key;
    if (!value.empty()) xer << "'='" << value;
    xer << "'\n";
}

int UTL_cmdline::init_common() {
    if (has_option("--cmnds")) {
        const std::string which = get_option("--cmnds");
        if (which == "all") {
            const std::size_t n = std::min(cmnd.paths.size(), cmnd.descriptions.size());
            for (std::size_t i = 0; i < n; ++i)
                std::printf("%-50s %s\n", cmnd.paths[i].c_str(), cmnd.descriptions[i].c_str());
        } else {
            std::vector<std::string> parts;
            cmnd.get_cmds_in_path(which, parts);
            std::sort(parts.begin(), parts.end());
            for (const std::string& p : parts) std::puts(p.c_str());
        }
        std::exit(0);
    }
    if (has_option("--version")) {
        std::puts("Ventaro Web Demo Installer 2.06r1");
        std::exit(0);
    }
    if (has_option("-h") || has_option("--help")) {
        std::fputs(help_text, stdout);
        std::exit(0);
    }
    return 0;
}

int UTL_cmdline::has_option(char const* key) const { return options_.count(key) ? 1 : 0; }

std::string UTL_cmdline::get_option(char const* key) const {
    const auto it = options_.find(key);
    return it == options_.end() ? std::string() : it->second;
}

void UTL_cmdline::set_datarefs() {
    static const std::string prefix = "--dref:";
    for (const auto& [key, value] : options_) {
        if (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0) {
            const std::string name = key.substr(prefix.size());
            const data_ref ref(name.c_str());
            (void)ref;
        }
    }
}

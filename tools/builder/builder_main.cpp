// The install-set builder's program: builds one set in its window and ends.
//
//   "Ventaro Builder" [--build_type=0|1] [--src_fold=MASTER/] [--dst_fold_base=OUT/]
//                     [--old_dir_path=PREVIOUS/directory.txt] [--lang=en] ...
//
// Build type 0 makes the web set (named after the version string, with each file's history from
// the previous release's manifest), 1 the disc set (named after the first edition, in disk
// folders). The folders default to the release machine's; the web set's output folder must not
// exist yet. The progress strip runs along the bottom of the window and Q stops the build.
// Options of the framework (--lang, --qa_script for a run with nobody at the screen) apply too.
#include <string>

#include "core/cmdline.h"
#include "core/number_text.h"
#include "core/shell_services.h"
#include "install/builder_display.h"
#include "install/install_builder.h"
#include "shell/leak_suppressions.h"
#include "shell/startup.h"

#include "builder/progress_strip.h"

namespace {
// Folders are given with their final '/'; one without it gets it.
void take_folder(const char* option, std::string& setting) {
    if (!cmdline.has_option(option)) return;
    setting = cmdline.get_option(option);
    if (!setting.empty() && setting.back() != '/') setting += '/';
}
}  // namespace

int main(int argc, char** argv) {
    MACIBM_init(argc, argv);

    if (cmdline.has_option("--build_type")) text_to_whole_number(cmdline.get_option("--build_type"), build_type);
    take_folder("--src_fold", src_fold);
    take_folder("--dst_fold_base", dst_fold_base);
    if (cmdline.has_option("--old_dir_path")) old_dir_path = cmdline.get_option("--old_dir_path");

    g_builder_display.show_strip = &draw_progress_strip;
    g_builder_display.quit_key_hit = &builder_quit_key_hit;
    build_install();

    MACIBM_finishup(0);
    return 0;
}

#pragma once
// The native file and folder chooser.
//   [x] choose a folder, open a file, save a file: zenity's file selection, started with
//       posix_spawnp (never a shell), so tests put a stub named zenity on PATH
//   [x] a start folder, a window title (the caller's message); cancel leaves the result alone
//   [ ] the caller's button label and its remembered-location key: zenity has neither
#include <string>

namespace platform {

enum chooser_mode { choose_open_file = 0, choose_save_file = 1, choose_folder = 2 };

// 1 with the chosen path in out; 0 when the user cancelled or the chooser could not run.
int run_chooser(int mode, const std::string& title, const std::string& start, std::string& out);

}  // namespace platform

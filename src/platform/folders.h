#pragma once
// The user's standard folders: desktop, preferences and a private temporary folder.
#include <string>

namespace platform {

enum class user_folder { desktop, temp, prefs };

// Finds the folder, creating it when missing. Returns 0 and its absolute path (no trailing '/'),
// or an errno value with out unchanged and why set to a sentence for the log.
//   desktop: $XDG_DESKTOP_DIR, else XDG_DESKTOP_DIR in $XDG_CONFIG_HOME/user-dirs.dirs, else $HOME/Desktop;
//            the home folder itself when that cannot be made
//   prefs:   $XDG_CONFIG_HOME, else $HOME/.config
//   temp:    ventaro-<uid> under $TMPDIR, else under /tmp; mode 0700, and refused when it is a link,
//            not a folder, not ours, or open to group or others
// Relative values of these variables are ignored, so no relative path ever comes back.
int find_user_folder(user_folder which, std::string& out, std::string* why = nullptr);

// A temporary folder of this run's own, "run-XXXXXX" (mkdtemp, mode 0700) in base, the private
// temporary folder: two installers of one user never share the names of their downloads. The
// run holds a lock on it while it lives and removes it, with all it holds, when the process ends
// normally. Run folders whose lock nobody holds were left by killed runs and are removed first.
// Returns 0 and the folder's path (no trailing '/'), or an errno value with why set.
//   [x] made and swept under one lock file, "runs.lock" in base, so a new run is never swept
//   [ ] a run killed by a signal removes nothing itself: the next run does
int make_run_folder(const std::string& base, std::string& out, std::string* why = nullptr);

}  // namespace platform

#pragma once
// Whether a copy's install has finished. An install writes a marker file at the top of the copy
// before its first download and removes it only once every file is in place and flushed to disk.
// A copy whose install was killed, cancelled half way or ended in an error keeps the marker, so it
// is recognisable as incomplete (its folder stays registered), and a later run can finish it.
#include <string>

// The marker's name at the top of the copy (dest_dir_path).
extern const char* const install_incomplete_name;

// Writes the marker into dest_dir_path; 0 or an errno value.
int mark_copy_incomplete();
// Flushes the destination's file system to disk (one syncfs for the whole copy), then removes
// the marker; 0 or an errno value. Only for an install that ended without an error.
int finish_installed_copy();

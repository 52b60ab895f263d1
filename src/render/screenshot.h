#pragma once
// Screenshots, and the numbered file names they and the movie recorder are saved under.
#include <string>

// Reads the window's centre (at most 2048 x 2048 pixels) into the staging image as RGB rows,
// bottom row first; with save nonzero also writes it to the first free "Ventaro screenshot__N.png"
// in the current folder.
void OGL_screenshot(int save);

// The first path of the form base + "_" + n + extension (n = 1, 2, ...) that is not a file; a
// three-letter extension on the base ("clip.mov") is dropped first. A candidate longer than 499
// characters is a crash alert. Returns 0.
int gimme_png_mov_paths(const std::string& base, const std::string& extension, std::string& path);

// A printing entry point with nothing behind it.
void OGL_printer();

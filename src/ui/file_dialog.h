#pragma once
// The toolkit's own Open (panel 998) and Save (panel 999) dialog, drawn with the toolkit's widgets,
// and what stands around it: a scrolling list with type-ahead, the dialog's panel painter, and
// path fields whose folder button opens the dialog.
//
//   std::string path;                              // empty: start in the type's own folder
//   if (BTN_opensave(999, 9, &path)) save_to(path);   // "Output/situations/name.SIT"
//
// Folder paths are relative to the base folder for relative paths and end in "/"; the base
// folder itself is the empty path. File types run from 0 to 23 (see the table in the source).
#include <string>

// Runs the dialog's own frames until it ends: 1 with *path set when a file was chosen or named,
// 0 when cancelled or when something else switched the panel.
int BTN_opensave(int panel, int file_type, std::string* path);

using list_name_fn = std::string (*)(int index, void* ref);
using list_kind_fn = int (*)(int index, void* ref);

// A list box with its left edge at x and its middle row at y, rows 10 units apart; width and
// height 0 or less take io_dx and io_dy. *scroll is the item on the middle row. Arrow keys move
// the selection, typed letters jump to the first name starting with what was typed within a
// second; a slider in `slot` scrolls it. With text, a field for it stands under the list.
// 1 in a frame in which the list was double-clicked.
int BTN_list_and_search(int slot, float x, float y, float width, float height, int* scroll, int* selected, int first,
                        int last, std::string* text, const std::string& field_label, list_name_fn name,
                        void* name_ref, list_name_fn info, void* info_ref, list_kind_fn kind, void* kind_ref);

// The dialog's background, its folder frame and, on the Open panel, the preview frames (with a
// flight file's comment for type 8).
void stand_io_dialog(int panel, int file_type, std::string selected_path);

// A path field with a folder button left of it that opens the dialog; file types 22 and 23 show
// the whole path, others its last component. 1 in the frame the button opened the dialog.
int BTN_select_path_stl(float x, float y, int panel, int file_type, std::string* path, int max_len,
                        const std::string& label, float width, int take_focus);
// The same over a character buffer of buffer_len bytes.
int BTN_select_path_chr(float x, float y, int panel, int file_type, char* path, int buffer_len,
                        const std::string& label, float width, int take_focus);
// A name buffer inside the folder of *full_path; the dialog sets both.
int BTN_select_file_chr(float x, float y, int panel, int file_type, char* name, std::string* full_path, int max_len,
                        const std::string& label, float width);

// What the dialog shows instead of a list when the folder cannot be read, and when a Save would
// go through a link or out of the folder.
extern const char* const io_unreadable_text;
extern const char* const io_link_text;
extern const char* const io_bad_name_text;

// Test seam: the list's type-ahead and key queue, the popup level and the preview back to start.
void BTN_file_dialog_reset_for_test();

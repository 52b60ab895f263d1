#pragma once
// The mouse-over help of the current frame: a widget under the pointer writes its tip here while
// it is drawn; once per frame, after the application's widgets, the tip is shown and emptied.
// Main thread only.
#include <string>

class help_class {
public:
    // Once per frame (and whenever a panel opens, with the new panel): draws the tip once the
    // pointer has rested for a second, empties the help text, then hides, shows or draws the
    // cursor by the frame's cursor code (mnw.cursor_code).
    //   0   the system's cursor
    //   1   the system's cursor, its shape left to whoever set the code
    //   2   no cursor at all
    //   3+  the system's cursor hidden and a picture from the widget atlas drawn at the pointer
    void mouse_help_per_wind(int panel);

    std::string help_text;
};

extern help_class help;

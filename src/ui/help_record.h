#pragma once
// The mouse-over help of the current frame: a widget under the pointer writes its tip here while
// it is drawn; once per frame, after the application's widgets, the tip is shown and emptied.
// Main thread only.
#include <string>

class help_class {
public:
    std::string help_text;
};

extern help_class help;

#pragma once
// The mouse through the platform's event seam, at interface points (y up) of the whole window.
#include "platform/events.h"
#include "render/panel_record.h"

namespace seam_mouse {

inline void move_to(float x, float y) {
    platform::set_test_mouse(nullptr, static_cast<int>(x), static_cast<int>(static_cast<float>(wins.win_px_h) - y));
}

// A press at (x, y) read by one frame, its release by the next.
template <class Frame>
void click(float x, float y, Frame&& frame) {
    move_to(x, y);
    platform::input_event down;
    down.kind = platform::ev_mouse_down;
    platform::mouse_position(nullptr, down.x, down.y);   // a press carries where it happened
    platform::push_test_event(down);
    frame();
    platform::input_event up;
    up.kind = platform::ev_mouse_up;
    platform::push_test_event(up);
    frame();
}

}  // namespace seam_mouse

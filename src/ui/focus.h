#pragma once
// Keyboard focus: the id of the widget that takes the keys, 0 for none.

extern int focus_id;

void BTN_unfocus_any();

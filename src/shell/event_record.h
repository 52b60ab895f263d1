#pragma once
// One event of the system's queue as the event and key layers take it.
#include <cstdint>

enum { nullEvent = 0, mouseDown = 1, mouseUp = 2, keyDown = 3, keyUp = 4, autoKey = 5, updateEvt = 6,
       activateEvt = 8, osEvt = 15, kHighLevelEvent = 23 };
// Modifier bits of the record.
enum { activeFlag = 1, cmdKey = 1 << 8, shiftKey = 1 << 9, alphaLock = 1 << 10, optionKey = 1 << 11,
       controlKey = 1 << 12 };

struct EventRecord {
    int what = nullEvent;
    uint32_t message = 0;     // keys: character code in the low byte, the key code above it
    uint32_t when = 0;
    int where_h = 0, where_v = 0;
    int modifiers = 0;
    // Keys: the characters the keyboard layout gives (typed with the modifiers, plain, shifted).
    uint32_t ch = 0, lower = 0, upper = 0;
};

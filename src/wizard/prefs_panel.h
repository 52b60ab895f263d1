#pragma once
// The preferences panel: a modal window opened by the wizard's Preferences button; returns when
// the panel is closed.
void wizard_prefs_open();

#pragma once
// The Preferences panel (framework panel 2): the platform whose files are installed, the per-file
// install log and the HTTP proxy. Modal: it runs the frame loop itself until its close box shuts
// it, and every change takes effect at once. Main thread only.

// Opens the panel and returns once it has been closed.
void handle_prefs();
// The wizard's Preferences button: the same panel.
void wizard_prefs_open();

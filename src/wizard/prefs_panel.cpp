// Least form until the panel is built: the button opens nothing.
#include "wizard/prefs_panel.h"

void wizard_prefs_open() {}

#pragma once
// The web demo's install set, as the master folder the builder makes it from: a stand-in
// simulator bundle whose program leaves a mark and says it started, the folders an installed copy
// is recognised by, and files from empty to 2 MB.
#include "support/install_set.h"

extern const char* const demo_set_install_name;

// The same bytes every time.
testsupport::install_set demo_install_set();

#pragma once
// Start-up and shutdown of the framework.

// Brings the framework up: signals, application path, log and its header, command line.
void MACIBM_init(int argc, char** argv);

// MACIBM_finishup, which takes it down again, is in core/shell_services.h.
#include "core/shell_services.h"

#pragma once
// Leaks inside the system's GL and X libraries are theirs; the sanitizer build reports only ours.
// The file holding a program's main includes this once.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libGLX\nleak:libGL.so\nleak:libEGL\nleak:swrast_dri\nleak:libgallium\nleak:libLLVM\n"
           "leak:libX11\nleak:libxcb\nleak:libSDL2\nleak:libdbus\nleak:libfontconfig\nleak:libglapi\n"
           "leak:_dl_\nleak:dlopen\n";
}

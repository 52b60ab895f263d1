#include <gtest/gtest.h>

#include <cstdlib>

#include "support/run_folder.h"

int main(int argc, char** argv) {
    // Before anything else, so every file a test leaves lands in the folder that is swept.
    testsupport::enter_run_folder();
    ::testing::InitGoogleTest(&argc, argv);
    // No test ever waits on a person: alert boxes and panels answer themselves.
    setenv("VENTARO_TEST_UNATTENDED", "1", 0);
    // Death tests fork a fresh process: safe with the threads our suites start.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}

// Leaks inside the system's GL, X and desktop-bus libraries are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libGLX\nleak:libGL.so\nleak:libEGL\nleak:swrast_dri\nleak:libgallium\nleak:libLLVM\n"
           "leak:libX11\nleak:libxcb\nleak:libSDL2\nleak:libdbus\nleak:libfontconfig\nleak:libglapi\n"
           "leak:_dl_\nleak:dlopen\n";
}

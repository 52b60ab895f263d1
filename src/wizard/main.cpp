#include "core/preferences.h"
#include "install/install_state.h"
#include "core/app_globals.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    MACIBM_init(argc, argv);

    // The installer's preferences; the stream count is reset before every read.
    stg.stream_count = 0;
    pref.IO_set(11, 0);

    MACIBM_finishup(1);
    return 0;
}

#include "shell/app_globals.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    MACIBM_init(argc, argv);
    MACIBM_finishup(1);
    return 0;
}

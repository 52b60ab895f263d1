// The movie recorder's settings panel.
#include <string>

#include "core/localisation.h"
#include "render/qtim.h"
#include "ui/frames.h"
#include "ui/number_fields.h"
#include "ui/tt_font.h"

void qtim_class::qtim_wind() {
    float wx1 = 0, wy1 = 0;
    BTN_fillwin(1, 24);
    BTN_subwin(0, 18, -1, -1, -1, 296, "", &wx1, &wy1);
    BTN_subwin(0, 16, -1, wy1, -1, -1, "", &wx1, &wy1);
    if (mov_mode) mov_toggle(0);
    BTN_flt_range(320, 415, &mov_fps, 2, 0, 10, 99, UTL_translate_string("frame rate of movie|(frames per second)", 0));
    BTN_int_range(300, 365, &mov_dx, 4, 32, 2048,
                  UTL_translate_string("x-resolution of movie|(pix) { The y-resolution is auto-set for you to scale "
                                       "perfectly based on the x-resolution you enter here.",
                                       0));
    auto text = [](float y, const std::string& s) {
        OGL_string(52, 20, y, UTL_translate_string(s, 0), 600, cs_regular, just_left);
    };
    if (qt_ok) {
        text(285, "QuickTime 6.00 or later IS installed on this machine! You are ready to make QuickTime movies from "
                  "Ventaro to share with everyone!");
    } else {
        text(285, "QuickTime 6.00 or later IS NOT installed on this machine! You cannot make any movies until you "
                  "install it! You can download QuickTime for free from:");
        text(255, kDownloadSite);
        text(245, "QuickTime is available for free for Mac AND Windows. OF COURSE YOU HAVE TO INSTALL THE AUTHORING "
                  "MODULE, NOT JUST VIEWING SOFTWARE, TO SAVE MOVIES.");
    }
    text(225, "When flying, hit CONTROL-SPACE to TOGGLE recording any time you like! A '.MOV' file will be created "
              "on your computer of what you just saw!");
    text(195, "Standard movie size is 320x240 pixels, at 15 fps to be a little jerky, 20 fps to be pretty smooth.");
    text(165, "WATCH OUT! RECORDING MOVIES USES UP DISK SPACE VERY FAST! Don't start recording a movie and then "
              "forget to stop it unless you want your hard drive to get filled up!");
    text(125, "Hit control-space as many times as you like with this filename... Ventaro will save the movies with "
              "'take-1', 'take-2', etc. appended so you can easily do many takes!");
    text(85, "On a Macintosh you can then edit your movies (and add music) with iMovie, which comes free on all new "
             "Macs. Editing software is available for sale on Windows machines.");
}

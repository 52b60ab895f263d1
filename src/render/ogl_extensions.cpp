#include "render/ogl_extensions.h"

#include "core/localisation.h"
#include "core/alert.h"

OGL_extensions glExt;

void OGL_extensions::init_extensions() { threaded_avail = 0; }

void OGL_extensions::threaded_ogl_failed() {
    if (!threaded_avail) return;
    threaded_avail = 0;
    MACIBM_alert(0, UTL_translate_string("There was a problem setting up OpenGL.", 0),
                 UTL_translate_string("You can still fly, but you may experience pauses during flight while scenery loads.", 0),
                 "", UTL_translate_string("(Please send your log.txt file to Quillon Research for debugging purposes.)", 0),
                 t_warn);
}

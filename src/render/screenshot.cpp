#include "render/screenshot.h"

#include <algorithm>

#include "core/alert.h"
#include "core/number_text.h"
#include "files/file_ops.h"
#include "render/gl_api.h"
#include "render/tex_png.h"
#include "render/tex_scratch.h"
#include "render/panel_record.h"

void OGL_screenshot(int save) {
    const int w = std::clamp(wins.win_px_w, 0, 2048);
    const int h = std::clamp(wins.win_px_h, 0, 2048);
    gl.glReadPixels((wins.win_px_w - w) / 2, (wins.win_px_h - h) / 2, w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
    if (!save) return;
    std::string path;
    gimme_png_mov_paths("Ventaro screenshot_", ".png", path);
    write_png_to_disk(path, w, h, 3);
}

int gimme_png_mov_paths(const std::string& base, const std::string& extension, std::string& path) {
    for (int n = 1;; ++n) {
        path = base;
        if (path.size() > 499)
            __MACIBM_alert(0, "String too long!", path, "", "", t_crash, "QFutils/GenH/qf_string", 129);
        if (path.size() > 4 && path[path.size() - 4] == '.') path.resize(path.size() - 4);
        std::string number;
        int_to_str(n, &number, 1, sft_plain, 0);
        path += "_" + number + extension;
        if (!file_exists(path)) return 0;
    }
}

void OGL_printer() {}

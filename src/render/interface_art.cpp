#include "render/interface_art.h"

#include "core/alert.h"
#include "core/shared_constants.h"
#include "files/xmap.h"
#include "render/palette.h"
#include "render/tex_png.h"
#include "render/tex_scratch.h"
#include "render/tman.h"

namespace {

struct swatch {
    int slot, column, row;
};
// Rows count from the bottom of the picture.
constexpr swatch kSwatches[] = {{39, 319, 155}, {40, 319, 147}, {41, 319, 139}, {42, 319, 131}, {43, 319, 123},
                                {45, 319, 115}, {46, 319, 107}, {47, 319, 99},  {48, 319, 91},  {50, 319, 83},
                                {51, 319, 75},  {52, 319, 67},  {49, 395, 115}};

}  // namespace

void TEX_read_theme_colours(const unsigned char* atlas) {
    for (const swatch& s : kSwatches) {
        const unsigned char* p = atlas + (s.row * interface_atlas_width + s.column) * 4;
        colr.col_assign(s.slot, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
    }
    const float* a = colr.slots[40];
    const float* b = colr.slots[43];
    colr.col_assign(44, (a[0] + b[0]) / 2.0f, (a[1] + b[1]) / 2.0f, (a[2] + b[2]) / 2.0f);
}

void TEX_load_interface_art() {
    tman.load_texture(tex_fail_quit, tex_ref_map, 0x48242, tex_load_now, "RESOURCE:map.png");
    tman.load_texture(tex_fail_quit, tex_ref_background, 0x48241, tex_load_now, "RESOURCE:background.png");

    const std::string atlas_path = "RESOURCE:interface.png";
    TEX_image_desc desc;
    bool ok = false;
    {
        xmap_class file(atlas_path);
        unsigned char* into = scratch_array;
        ok = file.mem_start && TEX_load_png(atlas_path, file, into, GL_RGBA, 0, 0, png_mode_exact, 1, desc) == 1;
    }
    // The swatches are read at fixed places of 512-pixel rows: any other shape would read
    // colours from the wrong pixels, or past the picture.
    if (!ok || desc.format != GL_RGBA || desc.width != interface_atlas_width || desc.height < interface_atlas_min_rows) {
        __MACIBM_alert(0, "I cannot open the graphics interface file!",
                       "It seems that you have moved this program out of the V-System folder!",
                       "NO! NO! Create a shortcut if you want, but do not move the Ventaro application itself out of "
                       "the V-System folder that it came in!",
                       bmp_path, t_quit, "QFutils/GenC/qf_init", 868);
        return;
    }
    scratch_dx = desc.width;
    scratch_dy = desc.height;
    tman.load_texture(tex_fail_silent, tex_ref_interface, 0x40242, tex_load_now, "scratch_array-interface");
    TEX_read_theme_colours(scratch_array);
}

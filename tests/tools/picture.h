#pragma once
// Reads the bundle's pictures for the art tests: RGBA rows bottom first, as the texture manager
// keeps them, optionally with the start-up's gamma correction (the file's gAMA, or 1/1.8 without
// one, shown on a display of gamma 2.2).

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* at(int s, int t) const { return &rgba[(static_cast<size_t>(t) * width + s) * 4]; }
    int alpha(int s, int t) const { return at(s, t)[3]; }
    unsigned rgb(int s, int t) const {
        const uint8_t* p = at(s, t);
        return (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
    }
};

inline std::string resource_path(const std::string& name) {
    return std::string(VENTARO_TEST_BUNDLE) + "/Contents/Resources/" + name;
}

inline bool read_picture(const std::string& path, Picture& out, bool startup_gamma = false,
                         double display_gamma = 2.2) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    if (startup_gamma) {
        double file_gamma = 1.0 / 1.8;
        png_get_gAMA(png, info, &file_gamma);
        png_set_gamma(png, display_gamma, file_gamma);
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 255, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    out.rgba.assign(static_cast<size_t>(out.width) * out.height * 4, 0);
    rows.resize(out.height);
    for (int y = 0; y < out.height; ++y)
        rows[y] = &out.rgba[static_cast<size_t>(out.height - 1 - y) * out.width * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Writes the seed corpus of the decoder targets: small PNGs of every colour type, depth and
// interlacing, 24-bit bitmaps, and DDS files of each pixel format, each under <folder>/png, bmp, dds.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "render/image_fixtures.h"
#include "render/tex_dds.h"

namespace {

void put(const std::string& path, const std::string& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    for (const char* sub : {"", "/png", "/bmp", "/dds"}) ::mkdir((root + sub).c_str(), 0755);

    // PNG: each colour type at its depths, plain and interlaced, with and without tRNS and gAMA.
    struct png_kind {
        int color_type, channels;
        std::vector<int> depths;
    };
    const png_kind kinds[] = {{PNG_COLOR_TYPE_GRAY, 1, {1, 2, 4, 8, 16}}, {PNG_COLOR_TYPE_RGB, 3, {8, 16}},
                              {PNG_COLOR_TYPE_PALETTE, 1, {1, 2, 4, 8}},  {PNG_COLOR_TYPE_GRAY_ALPHA, 2, {8, 16}},
                              {PNG_COLOR_TYPE_RGB_ALPHA, 4, {8, 16}}};
    int n = 0;
    for (const auto& k : kinds)
        for (const int depth : k.depths)
            for (const bool interlaced : {false, true}) {
                imgfix::png_spec s;
                s.width = 13;
                s.height = 7;
                s.color_type = k.color_type;
                s.bit_depth = depth;
                s.interlaced = interlaced;
                const int bits = depth * k.channels * s.width;
                for (int y = 0; y < s.height; ++y) {
                    std::vector<uint8_t> row(size_t((bits + 7) / 8));
                    for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 29 + y * 71);
                    // Palette indices must name entries the palette has.
                    if (k.color_type == PNG_COLOR_TYPE_PALETTE && depth == 8)
                        for (auto& v : row) v &= 3;
                    s.rows.push_back(row);
                }
                if (k.color_type == PNG_COLOR_TYPE_PALETTE) {
                    for (int i = 0; i < (1 << (depth < 8 ? depth : 2)); ++i)
                        s.palette.push_back({uint8_t(i * 60), uint8_t(255 - i * 40), uint8_t(i * 17)});
                    if (interlaced) s.trns_alpha = {0, 128};
                } else if (interlaced && (k.color_type == PNG_COLOR_TYPE_GRAY || k.color_type == PNG_COLOR_TYPE_RGB)) {
                    s.trns_grey_or_rgb = true;
                    s.trns_colour.gray = s.trns_colour.red = 1;
                }
                if (depth == 8) s.file_gamma = 0.45455;
                put(root + "/png/seed" + std::to_string(n++) + ".png", imgfix::make_png(s));
            }

    // BMP: widths that need row padding and not.
    for (const int w : {1, 3, 4, 5}) {
        std::vector<std::vector<uint8_t>> rows;
        for (int r = 0; r < 3; ++r) {
            std::vector<uint8_t> row;
            for (int x = 0; x < w; ++x) row.insert(row.end(), {uint8_t(255 * (x & 1)), 0, uint8_t(255)});
            rows.push_back(row);
        }
        put(root + "/bmp/seed" + std::to_string(w) + ".bmp", imgfix::make_bmp(w, 3, 24, rows));
    }

    // DDS: written by the program itself (DXT1 and DXT5 with mips), and headers of the other formats.
    TEX_image_desc d;
    d.width = 8;
    d.height = 4;
    std::vector<uint8_t> px(8 * 4 * 4);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 37);
    for (const uint32_t f : {uint32_t(GL_RGB), uint32_t(GL_RGBA)}) {
        d.format = f;
        const std::string path = root + "/dds/written" + std::to_string(f) + ".dds";
        TEX_save_dds(path, px.data(), d);
    }
    put(root + "/dds/dxt3.dds", imgfix::make_dds(4, 4, 0x1007, 0x4, "DXT3", 0x1000, 16));
    put(root + "/dds/bgra.dds", imgfix::make_dds(2, 2, 0x21007, 0x41, nullptr, 0x401008, 16 + 4 + 4));
    put(root + "/dds/bgr.dds", imgfix::make_dds(3, 1, 0x1007, 0x40, nullptr, 0x1000, 9));
    return 0;
}

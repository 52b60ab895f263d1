#pragma once
// Small image files made by the tests themselves: PNGs of every colour type written with libpng,
// 24-bit bitmaps and DDS headers laid out byte by byte, and a mapping over bytes in memory (an
// exact-size heap copy, so AddressSanitizer sees any read past the end).
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/xmap.h"
#include "render/palette.h"

namespace imgfix {

// A PNG to write: pixels top row first, as libpng takes them (samples of bit_depth bits, packed
// for depths below 8, big-endian for 16).
struct png_spec {
    int width = 1, height = 1;
    int color_type = PNG_COLOR_TYPE_RGB;
    int bit_depth = 8;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;         // packed rows, top first
    std::vector<png_color> palette;                 // for PNG_COLOR_TYPE_PALETTE
    std::vector<uint8_t> trns_alpha;                // palette tRNS entries
    bool trns_grey_or_rgb = false;                  // a tRNS colour key for grey or RGB files
    png_color_16 trns_colour{};
    double file_gamma = 0.0;                        // > 0: write a gAMA chunk
};

inline void append(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), n);
}

inline std::string make_png(const png_spec& s) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(png, &out, append, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height), s.bit_depth,
                 s.color_type, s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(png, info, const_cast<png_colorp>(s.palette.data()), static_cast<int>(s.palette.size()));
    if (!s.trns_alpha.empty())
        png_set_tRNS(png, info, const_cast<png_bytep>(s.trns_alpha.data()), static_cast<int>(s.trns_alpha.size()),
                     nullptr);
    if (s.trns_grey_or_rgb) png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16p>(&s.trns_colour));
    if (s.file_gamma > 0) png_set_gAMA(png, info, s.file_gamma);
    for (const auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// 8-bit rows with the given channel count, each sample from f(x, y, channel), top row y = 0.
template <class F>
std::vector<std::vector<uint8_t>> rows8(int w, int h, int channels, F f) {
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) rows[y].push_back(static_cast<uint8_t>(f(x, y, c)));
    return rows;
}

// A mapping over a heap copy of bytes, the way a mapped file looks to the decoders.
class mapped {
public:
    explicit mapped(const std::string& bytes) : bytes_(bytes.begin(), bytes.end()) {
        const char* p = bytes_.empty() ? empty_ : bytes_.data();
        map.mem_start = map.mem_cur = p;
        map.mem_end = p + bytes_.size();
        map.not_owned = 1;
    }
    mapped(const mapped&) = delete;
    mapped& operator=(const mapped&) = delete;

    xmap_class map;

private:
    std::vector<char> bytes_;
    char empty_[1] = {0};
};

inline void put16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
inline void put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline uint32_t get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}

// A 54-byte-header bitmap; pixels given bottom row first as blue, green, red triples.
inline std::string make_bmp(int w, int h, int depth, const std::vector<std::vector<uint8_t>>& bgr_rows_bottom_up,
                            uint32_t compression = 0) {
    const size_t stride = (static_cast<size_t>(3 * w) + 3) & ~size_t(3);
    std::string s(54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put32(s, 10, 54);
    put32(s, 14, 40);
    put32(s, 18, static_cast<uint32_t>(w));
    put32(s, 22, static_cast<uint32_t>(h));
    put16(s, 26, 1);
    put16(s, 28, static_cast<uint32_t>(depth));
    put32(s, 30, compression);
    for (const auto& row : bgr_rows_bottom_up) {
        std::string r(row.begin(), row.end());
        r.resize(stride, '\0');
        s += r;
    }
    put32(s, 2, static_cast<uint32_t>(s.size()));
    return s;
}

// A DDS header followed by data_bytes bytes of pattern.
inline std::string make_dds(int w, int h, uint32_t flags, uint32_t pixel_flags, const char* fourcc, uint32_t caps,
                            size_t data_bytes) {
    std::string s(128, '\0');
    std::memcpy(&s[0], "DDS ", 4);
    put32(s, 4, 124);
    put32(s, 8, flags);
    put32(s, 12, static_cast<uint32_t>(h));
    put32(s, 16, static_cast<uint32_t>(w));
    put32(s, 76, 32);
    put32(s, 80, pixel_flags);
    if (fourcc) std::memcpy(&s[84], fourcc, 4);
    put32(s, 108, caps);
    for (size_t i = 0; i < data_bytes; ++i) s.push_back(static_cast<char>(i * 7 + 1));
    return s;
}

// Clears the palette's gamma flag (so pixels come through unchanged) for one scope.
class gamma_off {
public:
    gamma_off() : saved_(colr.gamma_differs) { colr.gamma_differs = 0; }
    ~gamma_off() { colr.gamma_differs = saved_; }
    gamma_off(const gamma_off&) = delete;
    gamma_off& operator=(const gamma_off&) = delete;

private:
    int saved_;
};

}  // namespace imgfix

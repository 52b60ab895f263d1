#include "art/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace art {

std::u32string decode_utf8(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        if (extra && i + extra >= s.size()) {
            extra = 0;
            cp = c;
        }
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += 1 + extra;
    }
    return out;
}

Face::Face(const std::string& path) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return;
    library_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) == 0) face_ = face;
}

Face::~Face() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

void Face::set_pixel_size(int pixels) {
    size_ = pixels;
    if (face_) FT_Set_Pixel_Sizes(face_, 0, pixels);
}

int Face::measure(const std::string& utf8) const {
    if (!face_) return 0;
    long pen = 0;
    FT_UInt prev = 0;
    for (char32_t cp : decode_utf8(utf8)) {
        const FT_UInt glyph = FT_Get_Char_Index(face_, cp);
        if (prev && glyph && FT_HAS_KERNING(face_)) {
            FT_Vector k;
            FT_Get_Kerning(face_, prev, glyph, FT_KERNING_DEFAULT, &k);
            pen += k.x;
        }
        if (FT_Load_Glyph(face_, glyph, FT_LOAD_TARGET_LIGHT) == 0) pen += face_->glyph->advance.x;
        prev = glyph;
    }
    return static_cast<int>((pen + 32) >> 6);
}

int Face::cap_height() const {
    if (!face_ || FT_Load_Char(face_, 'H', FT_LOAD_TARGET_LIGHT) != 0) return 0;
    return static_cast<int>((face_->glyph->metrics.horiBearingY + 32) >> 6);
}

void Face::draw(Canvas& canvas, const Box& clip, int x, int baseline, const std::string& utf8,
                const Colour& colour) const {
    if (!face_) return;
    long pen = static_cast<long>(x) << 6;
    FT_UInt prev = 0;
    for (char32_t cp : decode_utf8(utf8)) {
        const FT_UInt glyph = FT_Get_Char_Index(face_, cp);
        if (prev && glyph && FT_HAS_KERNING(face_)) {
            FT_Vector k;
            FT_Get_Kerning(face_, prev, glyph, FT_KERNING_DEFAULT, &k);
            pen += k.x;
        }
        prev = glyph;
        if (FT_Load_Glyph(face_, glyph, FT_LOAD_TARGET_LIGHT | FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face_->glyph;
        const FT_Bitmap& bm = g->bitmap;
        const int left = static_cast<int>((pen + 32) >> 6) + g->bitmap_left;
        for (unsigned row = 0; row < bm.rows; ++row)
            for (unsigned col = 0; col < bm.width; ++col) {
                const int px = left + static_cast<int>(col);
                const int py = baseline + g->bitmap_top - 1 - static_cast<int>(row);
                if (px < clip.x0 || px >= clip.x1 || py < clip.y0 || py >= clip.y1) continue;
                const unsigned char v = bm.buffer[row * bm.pitch + col];
                if (v) canvas.blend(px, py, colour, v / 255.0f);
            }
        pen += g->advance.x;
    }
}

}  // namespace art

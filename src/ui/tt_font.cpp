#include "ui/tt_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "core/mouse_record.h"
#include "core/stats.h"
#include "files/paths.h"
#include "render/gl_api.h"
#include "render/ogl_draw.h"
#include "render/ogl_extensions.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "render/panel_record.h"

TT_font_info* tt_font[2] = {nullptr, nullptr};

namespace {

const std::string tt_names[2] = {"RESOURCE:DejaVuSans.ttf", "RESOURCE:DejaVuSansBold.ttf"};
constexpr float tt_sizes[2] = {10.5f, 10.5f};

FT_Library sLibrary = nullptr;
UTL_stat g_font_tex_mem("font/tex_mem", stat_level, 0.0f);

constexpr int kRussian = 3;
constexpr int kWidth = TT_font_info::atlas_width;
// Load flags: render, light hinting.
constexpr FT_Int32 kLoadFlags = FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;
static_assert(kLoadFlags == 0x10004);
// Reported for a glyph that no longer fits the atlas.
constexpr int kAtlasFull = FT_Err_Out_Of_Memory;

// Coverage is lifted by a 0.6 power so thin strokes keep their weight.
const std::array<unsigned char, 256>& coverage_gamma() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[v] = static_cast<unsigned char>(std::pow(static_cast<float>(v) / 255.0f, 0.6f) * 255.0f);
        return t;
    }();
    return table;
}

// The tallest atlas the staging image and the hardware both take.
int atlas_row_limit() {
    int rows = static_cast<int>(scratch_array_bytes / kWidth);
    if (glExt.max_tex_size > 0) rows = std::min(rows, glExt.max_tex_size);
    return rows;
}

void font_alert(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                int type) {
    MACIBM_alert(0, l1, l2, l3, l4, type);
}

TT_font_info* get_face(int k) {
    if (!tt_font[k]) {
        tt_font[k] = new TT_font_info(tex_ref_fonts + k);
        tt_font[k]->clear(tt_names[k], tt_sizes[k]);
    }
    return tt_font[k];
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The code point at p (bytes missing at end count as absent); next is the first byte after p
// that does not continue a sequence.
unsigned decode_utf8(const unsigned char* p, const unsigned char* end, const unsigned char*& next) {
    const unsigned char lead = *p;
    unsigned cp = 0;
    int more = 0;
    if (lead < 0x80) {
        cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        cp = lead & 0x1F;
        more = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        cp = lead & 0x0F;
        more = 2;
    } else if ((lead & 0xF8) == 0xF0) {
        cp = lead & 0x07;
        more = 3;
    }
    for (int i = 1; i <= more && p + i < end; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    next = p + 1;
    while (next < end && is_continuation(*next)) ++next;
    return cp;
}

double round_half_away(double v) { return v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5); }

}  // namespace

TT_font_info::TT_font_info(int texture_ref) : tex_ref(texture_ref) {}

TT_font_info::~TT_font_info() {
    std::free(tex_mem);
    if (face) FT_Done_Face(face);
}

void TT_font_info::clear(const std::string& font_path, float point_size) {
    if (!sLibrary && FT_Init_FreeType(&sLibrary) != 0) {
        sLibrary = nullptr;
        font_alert("Unable to initialize freetype.", "", "", "", t_crash);
        return;
    }

    *g_font_tex_mem.value -= static_cast<float>(tex_rows);
    tex_rows = dirty = pen_x = shelf_y = shelf_h = 0;
    glyphs.clear();
    std::free(tex_mem);
    tex_mem = nullptr;
    if (face) FT_Done_Face(face);
    face = nullptr;

    FT_Face f = nullptr;
    FT_Error err;
    std::string path = font_path;
    if (UTL_path_is_resource(path)) {
        err = FT_New_Face(sLibrary, UTL_resource_get_file(path).c_str(), 0, &f);
    } else {
        if (!font_file.retry(font_path, 0, 0)) {
            font_alert("Error: unable to make font from file", font_path,
                       "(We could not open the file and read its contents.)", "", t_quit);
            return;
        }
        err = FT_New_Memory_Face(sLibrary, reinterpret_cast<const FT_Byte*>(font_file.mem_start),
                                 static_cast<FT_Long>(font_file.mem_end - font_file.mem_start), 0, &f);
    }
    if (err || !f) {
        font_alert("Error: unable to make font from file", font_path, "(Free-type could not process the .ttf file.)",
                   "", t_quit);
        return;
    }
    face = f;
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(point_size * 64.0f), 72, 72) != 0) {
        font_alert("Error: unable to set char size for font", font_path, "", "", t_quit);
        return;
    }
    // Russian text is set 0.9 times as wide, so its longer words fit the layouts.
    FT_Matrix m;
    m.xx = mnw.lang == kRussian ? 58982 : 65536;
    m.xy = m.yx = 0;
    m.yy = 65536;
    FT_Set_Transform(face, &m, nullptr);
}

float TT_font_info::require_char(unsigned c) {
    if (c == 9) return 0;
    if (const auto it = glyphs.find(c); it != glyphs.end()) return it->second.advance;

    OGL_char_info info;
    const FT_Error err = face ? FT_Load_Char(face, c, kLoadFlags) : FT_Err_Invalid_Face_Handle;
    if (err) {
        info.error = err;
        glyphs.emplace(c, info);
        return 0;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
    if (w > 0 && h > 0 && bm.pixel_mode != FT_PIXEL_MODE_GRAY) {
        info.error = FT_Err_Invalid_Pixel_Size;
        glyphs.emplace(c, info);
        return 0;
    }

    // Place it on the current shelf, or on a new one when the row is full.
    int px = pen_x, sy = shelf_y, sh = shelf_h;
    if (px + w > kWidth) {
        sy += sh;
        px = 0;
        sh = 0;
    }
    sh = std::max(sh, h);
    if (sy + sh > tex_rows) {
        int rows = 1;
        while (rows < tex_rows + sh) rows *= 2;
        if (w > kWidth || rows > atlas_row_limit()) {
            info.error = kAtlasFull;
            glyphs.emplace(c, info);
            return 0;
        }
        auto* grown = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(rows), kWidth));
        if (tex_mem) std::memcpy(grown, tex_mem, static_cast<std::size_t>(tex_rows) * kWidth);
        std::free(tex_mem);
        tex_mem = grown;
        *g_font_tex_mem.value += static_cast<float>(rows - tex_rows);
        tex_rows = rows;
    }
    pen_x = px;
    shelf_y = sy;
    shelf_h = sh;

    // FreeType transforms the advance it reports but not the metrics, so the condensing of the
    // Russian face is applied to them here.
    const float f = mnw.lang == kRussian ? 0.9f : 1.0f;
    const FT_Glyph_Metrics& gm = slot->metrics;
    info.x0 = pen_x;
    info.x1 = pen_x + w;
    info.y0 = shelf_y;
    info.y1 = shelf_y + h;
    info.x_off = f * static_cast<float>(gm.horiBearingX) / 64.0f;
    info.y_off = static_cast<float>(gm.horiBearingY - gm.height) / 64.0f;
    // The advance is kept to a whole unit, so a line is measured, wrapped and drawn with the same
    // widths and every glyph of a line starts on the same pixel phase (the condensed Russian face
    // has fractional advances otherwise).
    info.advance = std::round(f * static_cast<float>(gm.horiAdvance) / 64.0f);

    const auto& gamma = coverage_gamma();
    for (int r = 0; r < h; ++r) {
        // Rows are bm.pitch bytes apart, which may exceed the width; a negative pitch stores
        // the bottom row first.
        const unsigned char* src =
            bm.pitch >= 0 ? bm.buffer + static_cast<std::ptrdiff_t>(r) * bm.pitch
                          : bm.buffer + static_cast<std::ptrdiff_t>(h - 1 - r) * -bm.pitch;
        unsigned char* dst = tex_mem + static_cast<std::size_t>(shelf_y + r) * kWidth + pen_x;
        for (int i = 0; i < w; ++i) dst[i] = gamma[src[i]];
    }

    dirty = 1;
    pen_x += w;
    glyphs.emplace(c, info);
    return info.advance;
}

float TT_font_info::draw_char(unsigned c, float x, float y) {
    if (c == 9) return 0;
    const auto it = glyphs.find(c);
    if (it == glyphs.end() || it->second.error) return 0;
    const OGL_char_info& g = it->second;
    const float X0 = std::floor(x + g.x_off), Y0 = std::floor(y + g.y_off);
    const float X1 = X0 + static_cast<float>(g.x1 - g.x0), Y1 = Y0 + static_cast<float>(g.y1 - g.y0);
    const float s0 = static_cast<float>(g.x0) / kWidth, s1 = static_cast<float>(g.x1) / kWidth;
    const float rows = static_cast<float>(tex_rows);
    const float t0 = static_cast<float>(g.y0) / rows, t1 = static_cast<float>(g.y1) / rows;
    gl.glTexCoord2f(s0, t1);
    gl.glVertex2f(X0, Y0);
    gl.glTexCoord2f(s0, t0);
    gl.glVertex2f(X0, Y1);
    gl.glTexCoord2f(s1, t0);
    gl.glVertex2f(X1, Y1);
    gl.glTexCoord2f(s1, t1);
    gl.glVertex2f(X1, Y0);
    return g.advance;
}

void TT_font_info::sync_tex() {
    if (!dirty && tex_rows > 0) return;
    dirty = 0;
    // Until a glyph with pixels is cached the atlas is empty, and an empty texture cannot be made:
    // one blank row stands in, so the face always has a texture to bind.
    if (tex_rows == 0) {
        tex_mem = static_cast<unsigned char*>(std::calloc(1, kWidth));
        tex_rows = 1;
        *g_font_tex_mem.value += 1.0f;
    }
    scratch_dx = kWidth;
    scratch_dy = tex_rows;
    std::memcpy(scratch_array, tex_mem, static_cast<std::size_t>(tex_rows) * kWidth);
    tman.load_texture(tex_fail_quit, tex_ref, 0x40203, tex_load_now, "scratch_array-fonts");
}

namespace {

// One line of text as OGL_string lays it out: where it ends, its width, and how it ended.
struct scanned_line {
    const unsigned char* end = nullptr;
    float width = 0;
    bool by_newline = false;
};

// Scans the line that starts at s. Wrapping stops the scan once the width reaches wrap_width and
// breaks at the last blank; widths are the advances the pen moves by.
scanned_line scan_line(TT_font_info* f, const unsigned char* s, const unsigned char* end, bool wrapping,
                       float wrap_width, float fixed) {
    const unsigned char* q = s;
    const unsigned char* brk = s;
    float scanned = 0, brk_width = 0;
    bool by_newline = false, by_end = false;
    for (;;) {
        if (q >= end) {
            by_end = true;
            break;
        }
        if (wrapping && scanned >= wrap_width) break;
        const unsigned char* next;
        const unsigned c = decode_utf8(q, end, next);
        if (c == 13 || c == 10) {
            by_newline = true;
            break;
        }
        if (c == 32) {
            brk = q;
            brk_width = scanned;
        }
        const float adv = f->require_char(c);
        scanned += fixed > 0 ? fixed : adv;
        q = next;
    }
    scanned_line line{q, scanned, by_newline};
    if (!by_newline && !by_end && brk != s) {
        line.end = brk;
        line.width = brk_width;
    }
    return line;
}

// Where the line after `line` starts: past its line break, then past the blanks after it.
const unsigned char* next_line_start(const scanned_line& line, const unsigned char* end) {
    const unsigned char* p = line.end;
    if (line.by_newline) ++p;
    while (p < end && *p == ' ') ++p;
    return p;
}

float fixed_advance(charset_t charset) {
    return charset == cs_fixed6 ? 6.0f : charset == cs_fixed8 ? 8.0f : charset == cs_fixed10 ? 10.0f : 0.0f;
}

bool bold_face(charset_t charset) { return charset >= cs_bold && charset <= cs_fixed10; }

}  // namespace

float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width, charset_t charset,
                 just_t just) {
    if (text.empty()) return y;
    const float fixed = fixed_advance(charset);
    TT_font_info* f = get_face(bold_face(charset) ? 1 : 0);
    x += wins.off_x;
    y += wins.off_y;
    const bool wrapping = wrap_width > 0 && wrap_width < 9999;

    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    while (p < end) {
        const scanned_line line = scan_line(f, p, end, wrapping, wrap_width, fixed);

        // Draw it: one batch per line.
        f->sync_tex();
        OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
        OGL_set_palette_color(colour, 1.0f);
        tman.bind_ref(f->tex_ref, 0, 0);
        gl.glBegin(GL_QUADS);
        float pen = just == just_centre ? x - line.width / 2 : just == just_right ? x - line.width : x;
        for (const unsigned char* c = p; c < line.end;) {
            const unsigned char* next;
            const unsigned cp = decode_utf8(c, line.end, next);
            const float adv = f->draw_char(cp, pen, y);
            pen += fixed > 0 ? fixed : adv;
            c = next;
        }
        gl.glEnd();
        if (wrapping) y -= 10;
        p = next_line_start(line, end);
    }
    return y - wins.off_y;
}

int OGL_count_lines(const std::string& text, float wrap_width, charset_t charset) {
    const float fixed = fixed_advance(charset);
    TT_font_info* f = get_face(bold_face(charset) ? 1 : 0);
    const bool wrapping = wrap_width > 0 && wrap_width < 9999;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    int lines = 0;
    while (p < end) {
        p = next_line_start(scan_line(f, p, end, wrapping, wrap_width, fixed), end);
        ++lines;
    }
    return lines;
}

float OGL_measure_range(const unsigned char* begin, const unsigned char* end) {
    TT_font_info* f = get_face(0);
    float sum = 0;
    for (const unsigned char* p = begin; p < end;) {
        const unsigned char* next;
        sum += f->require_char(decode_utf8(p, end, next));
        p = next;
    }
    return sum;
}

float OGL_measure_string(const std::string& text) {
    const auto* b = reinterpret_cast<const unsigned char*>(text.c_str());
    return OGL_measure_range(b, b + std::strlen(text.c_str()));
}

const unsigned char* OGL_fit_forward(const unsigned char* begin, const unsigned char* end, float width) {
    TT_font_info* f = get_face(0);
    float sum = 0;
    for (const unsigned char* p = begin; p < end;) {
        const unsigned char* next;
        sum += f->require_char(decode_utf8(p, end, next));
        if (sum > width) return p;
        p = next;
    }
    return end;
}

const unsigned char* OGL_fit_reverse(const unsigned char* begin, const unsigned char* end, float width) {
    TT_font_info* f = get_face(0);
    float sum = 0;
    const unsigned char* p = end;
    while (p > begin) {
        const unsigned char* start = p - 1;
        while (start > begin && is_continuation(*start)) --start;
        const unsigned char* next;
        sum += f->require_char(decode_utf8(start, p, next));
        if (sum > width) return p;
        p = start;
    }
    return begin;
}

void OGL_char(int colour, float x, float y, int character) {
    const char byte = static_cast<char>(character & 0xFF);
    OGL_string(colour, x, y, byte ? std::string(1, byte) : std::string(), 9999, cs_fixed10, just_left);
}

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, charset_t charset,
                str_format_type layout, just_t just) {
    if (charset != cs_fixed10) {
        std::string text;
        flt_to_str(value, &text, digits, decimals, layout);
        OGL_string(colour, x, y, text, 9999, charset, just);
        return;
    }
    const float x0 = static_cast<float>(round_half_away(x)) - 10, y0 = static_cast<float>(round_half_away(y));
    int scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const float A = std::fabs(value) * static_cast<float>(scale);
    const double V = static_cast<double>(A) + 0.5;

    if (value < 0 && A > 0.1f) OGL_char(colour, x0 + 1, y0, '-');
    const int k = digits - decimals;
    if (decimals > 0) OGL_char(colour, x0 + (static_cast<float>(k) + 0.5f) * 10, y0, '.');
    for (const int group : {3, 6, 9})
        if (k > group) OGL_char(colour, x0 + (static_cast<float>(k - group) + 0.5f) * 10, y0, ',');

    const int n = std::min(digits, 11);
    for (int i = 1; i <= n; ++i) {
        const double digit = std::fmod(std::floor(V / std::pow(10.0, n - i)), 10.0);
        const int ch = digit >= 0 && digit <= 9 ? '0' + static_cast<int>(digit) : '0';
        OGL_char(colour, x0 + 10.0f * static_cast<float>(i), y0, ch);
    }
}

void OGL_gray_string(int colour, float x, float y, std::string text) {
    const float w = OGL_measure_string(text) / 2;
    OGL_grayrect(x - w - 2, y - 1, x + w + 2, y + 9, 0.5f);
    OGL_string(colour, x - w, y, text, 9999, cs_regular, just_left);
}

void TT_line_extent(float* ascent, float* descent) {
    const TT_font_info* f = get_face(0);
    float up = 0, down = 0;
    if (f->face && f->face->size) {
        up = std::ceil(static_cast<float>(f->face->size->metrics.ascender) / 64.0f);
        down = std::ceil(static_cast<float>(-f->face->size->metrics.descender) / 64.0f);
    }
    if (ascent) *ascent = up;
    if (descent) *descent = down;
}

void TT_reset_font(tt_t which) {
    for (int k = 0; k < 2; ++k)
        if ((which == k || which == tt_both) && tt_font[k]) tt_font[k]->clear(tt_names[k], tt_sizes[k]);
}

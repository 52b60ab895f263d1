#pragma once
// TrueType text: UTF-8 strings in the regular or the bold DejaVu face at 10.5 points (one point is
// one interface unit), rendered glyph by glyph into a growing one-channel atlas per face (texture
// refs 360 and 361) and drawn as textured quads in panel-relative interface units, y up, the
// baseline at y.
//
//   float next = OGL_string(50, 20, 400, text, 560, cs_regular, just_left);   // wrapped at 560
//   float w = OGL_measure_string("Next");                                    // regular face
//   OGL_number(48, 100, 40, 12.5f, 4, 1, cs_regular, sft_plain, just_right);
//
// Measuring and fitting always use the regular face. Faces load on first use; a glyph is
// rendered once per face and kept until TT_reset_font (after a change of language, so Russian
// text gets its condensed face). Main thread only.
#include <string>
#include <unordered_map>

#include "core/number_text.h"
#include "files/xmap.h"

struct FT_FaceRec_;

enum charset_t {
    cs_regular = 0,   // face 0, proportional
    cs_bold = 1,      // face 1, proportional
    cs_fixed6 = 2,    // face 1, every character advances 6
    cs_fixed8 = 3,    // face 1, every character advances 8
    cs_fixed10 = 4,   // face 1, every character advances 10
};

enum just_t {
    just_left = 0,     // x is the left end of each line
    just_centre = 1,   // each line is centred on x
    just_right = 2,    // x is the right end of each line
};

enum tt_t { tt_regular = 0, tt_bold = 1, tt_both = 2 };

// One cached glyph: its atlas rectangle (columns x0..x1, rows y0..y1, exclusive; row y0 holds the
// bitmap's top row), the bitmap's left edge and bottom edge relative to the pen and baseline, and
// the pen advance, in pixels. error: FreeType's error for this code point, 0 when usable.
struct OGL_char_info {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float x_off = 0, y_off = 0, advance = 0;
    int error = 0;
};

class TT_font_info {
public:
    static constexpr int atlas_width = 1024;

    explicit TT_font_info(int texture_ref);
    ~TT_font_info();
    TT_font_info(const TT_font_info&) = delete;
    TT_font_info& operator=(const TT_font_info&) = delete;

    // (Re)loads the face and forgets every glyph; failures are quit alerts.
    void clear(const std::string& font_path, float point_size);
    // Caches the glyph if needed; its advance (0 for a tab or a glyph that cannot be had).
    float require_char(unsigned code_point);
    // One glyph as a quad inside the caller's GL_QUADS; its advance, 0 when nothing is drawn.
    float draw_char(unsigned code_point, float x, float y);
    // Hands the atlas to the texture manager when glyphs were added since the last time.
    void sync_tex();

    int tex_ref;
    int tex_rows = 0;     // atlas height; always a power of two once anything is cached
    int dirty = 0;
    int pen_x = 0;        // first free column of the current shelf
    int shelf_y = 0;      // first row of the current shelf
    int shelf_h = 0;      // tallest glyph of the current shelf
    std::unordered_map<unsigned, OGL_char_info> glyphs;
    unsigned char* tex_mem = nullptr;   // atlas_width x tex_rows bytes, row 0 first
    FT_FaceRec_* face = nullptr;
    xmap_class font_file;               // the mapped font when it is not a resource
};

// Draws text, wrapped at wrap_width when that is above 0 and below 9999 (each line then 10 units
// below the last); a carriage return or line feed always ends a line. Returns the y for the next
// line (y itself without wrapping).
float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width, charset_t charset,
                 just_t just);
// How many lines OGL_string draws the text in with this wrap width and face (0 for no text).
int OGL_count_lines(const std::string& text, float wrap_width, charset_t charset);
// Summed advances (whole units) in the regular face, up to the first zero byte.
float OGL_measure_string(const std::string& text);
float OGL_measure_range(const unsigned char* begin, const unsigned char* end);
// The end of the longest head of begin..end no wider than width.
const unsigned char* OGL_fit_forward(const unsigned char* begin, const unsigned char* end, float width);
// The start of the longest tail of begin..end no wider than width.
const unsigned char* OGL_fit_reverse(const unsigned char* begin, const unsigned char* end, float width);
// A number. With cs_fixed10 every character sits in its own 10-unit cell (digits from x, sign,
// point and thousands commas between them) and layout and just are not used; otherwise the
// number is formatted by flt_to_str and drawn as text.
void OGL_number(int colour, float x, float y, float value, int digits, int decimals, charset_t charset,
                str_format_type layout, just_t just);
// One character (its low byte) in a 10-unit cell; 0 draws nothing.
void OGL_char(int colour, float x, float y, int character);
// Text centred on x over a half-transparent grey box.
void OGL_gray_string(int colour, float x, float y, std::string text);
// How far the regular face reaches above (ascent) and below (descent, positive) its baseline, in
// whole units: a box that holds every line of text drawn in it.
void TT_line_extent(float* ascent, float* descent);
// Forgets the cached glyphs of a face that exists and reloads it.
void TT_reset_font(tt_t which);

// The faces, null until first used.
extern TT_font_info* tt_font[2];

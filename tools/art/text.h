#pragma once
// Real text painted with FreeType from a TrueType face, hinted for small interface sizes.

#include <string>

#include "art/canvas.h"

struct FT_FaceRec_;

namespace art {

class Face {
public:
    // Opens a font file; ok() tells whether it could be read.
    explicit Face(const std::string& path);
    ~Face();
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    bool ok() const { return face_ != nullptr; }
    void set_pixel_size(int pixels);
    int pixel_size() const { return size_; }

    // Advance width of a UTF-8 text in whole pixels, kerning included.
    int measure(const std::string& utf8) const;
    // Height of a capital letter above the baseline, in pixels.
    int cap_height() const;
    // Paints the text with its baseline at y (from the bottom) and its pen starting at x.
    // Only texels inside the clip box are touched.
    void draw(Canvas& canvas, const Box& clip, int x, int baseline, const std::string& utf8,
              const Colour& colour) const;

private:
    void* library_ = nullptr;
    ::FT_FaceRec_* face_ = nullptr;
    int size_ = 0;
};

// Code points of a UTF-8 text; a malformed byte stands for itself.
std::u32string decode_utf8(const std::string& utf8);

}  // namespace art

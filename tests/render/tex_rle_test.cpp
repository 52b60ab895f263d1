// The run-length code: the words the packer writes, tiles cut out of a packed picture, blending,
// and the end of a stream.
#include "render/tex_rle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/memory.h"

namespace {

using words = std::vector<int32_t>;

int32_t px(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t bytes[4] = {r, g, b, a};
    int32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

TEX_image_desc desc_of(int w, int h, int padding = 0) {
    TEX_image_desc d;
    d.format = GL_RGBA;
    d.width = w;
    d.height = h;
    d.row_padding = padding;
    return d;
}

// Packs the pixels and returns the stream's words, counted by walking its runs over the picture's
// rows, then the end word when the picture has fewer rows than the output.
words pack(const std::vector<int32_t>& pixels, const TEX_image_desc& d, int W, int H, int T) {
    unsigned char* stream = nullptr;
    TEX_pack_image_rle(d, reinterpret_cast<const unsigned char*>(pixels.data()), W, H, T, stream);
    const auto* at = reinterpret_cast<const int32_t*>(stream);
    words out;
    for (int64_t pixels_left = int64_t(W) * d.height; pixels_left > 0;) {
        const int32_t n = *at++;
        out.push_back(n);
        if (n == 0) break;
        const int count = n > 0 ? n : 1;
        for (int i = 0; i < count; ++i) out.push_back(*at++);
        pixels_left -= n > 0 ? n : -n;
    }
    if (d.height < H) out.push_back(*at);
    xfree(stream);
    return out;
}

TEST(RleCode, RepeatsNeedThreeEqualPixelsAndMissingPixelsAreOneZeroRun) {
    const int32_t P = px(1, 2, 3, 4), Q = px(5, 5, 5, 5), R = px(9, 0, 0, 255), S = px(7, 7, 7, 7),
                  V = px(20, 30, 40, 255);
    struct pack_case {
        const char* name;
        std::vector<int32_t> row;
        int W, T;
        words expect;
    };
    const pack_case cases[] = {
        {"a pair stays literal", {P, P, P, P, Q, R, R, S}, 8, 8, {-4, P, 4, Q, R, R, S}},
        {"second segment beyond the picture", {V, V, V, V, V, V, V, V}, 16, 8, {-8, V, -8, 0}},
        {"one wide segment half outside", {V, V, V, V, V, V, V, V}, 16, 16, {-8, V, -8, 0}},
        {"two segments beyond, none ends the row", {V, V, V, V}, 16, 4, {-4, V, -4, 0, -4, 0, -4, 0}},
        {"two-pixel segments are literal", {V, V, V, V}, 4, 2, {2, V, V, 2, V, V}},
        {"no run crosses a segment edge", {P, P, P, P, P, P}, 6, 3, {-3, P, -3, P}},
        {"literal before and after a repeat", {Q, P, P, P, R}, 5, 5, {1, Q, -3, P, 1, R}},
    };
    for (const pack_case& c : cases)
        EXPECT_EQ(pack(c.row, desc_of(int(c.row.size()), 1), c.W, 1, c.T), c.expect) << c.name;
}

TEST(RleCode, TilesUnpackOnTheirOwnAndRowPaddingIsSkipped) {
    // 8 x 4 pixels, each different enough to tell apart, in rows padded by two pixels.
    const int w = 8, h = 4, padded = 10;
    std::vector<int32_t> picture(size_t(padded) * h, px(0xEE, 0xEE, 0xEE, 0xEE));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) picture[size_t(y * padded + x)] = px(uint8_t(x), uint8_t(y), 0, 255);
    unsigned char* stream = nullptr;
    TEX_pack_image_rle(desc_of(w, h, 8), reinterpret_cast<const unsigned char*>(picture.data()), 8, 4, 4, stream);

    // The 4 x 2 tile at tile column 1, tile row 1: skip 2 rows and one segment, 4 pixels a row.
    // It is the last tile of a picture that fills every row, so the stream has no end word: no
    // row skip may follow its last row.
    std::vector<int32_t> tile(8, -1);
    TEX_unpack_image_rle(stream, 2 * 8 + 4, 4, 4, 2, reinterpret_cast<unsigned char*>(tile.data()));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(tile[size_t(y * 4 + x)], px(uint8_t(4 + x), uint8_t(2 + y), 0, 255));
    xfree(stream);
}

// A picture of flat bands, noise and pairs, narrower than the packed width: every tile unpacks
// to exactly its pixels (zero beyond the picture), and a blend at full opacity over zero agrees.
TEST(RleCode, EveryTileOfAPackedPictureRoundTrips) {
    const int w = 93, h = 40, W = 128, H = 48, T = 32;
    std::vector<int32_t> picture(size_t(w) * h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            int32_t v = px(uint8_t(x / 7), uint8_t(y), 9, 255);   // runs of up to 7
            if ((x + y) % 11 == 0) v = int32_t(seed | 0x01000000u);  // noise, never transparent
            if (x % 23 == 5) v = picture[size_t(y * w + x - 1)];     // a pair or more
            picture[size_t(y * w + x)] = v;
        }
    unsigned char* stream = nullptr;
    TEX_pack_image_rle(desc_of(w, h), reinterpret_cast<const unsigned char*>(picture.data()), W, H, T, stream);
    for (int ty = 0; ty < H / 8; ++ty)
        for (int tx = 0; tx < W / T; ++tx) {
            std::vector<int32_t> tile(size_t(T) * 8, -1), blended(size_t(T) * 8, 0);
            const int skip = ty * 8 * W + tx * T;
            TEX_unpack_image_rle(stream, skip, W - T, T, 8, reinterpret_cast<unsigned char*>(tile.data()));
            TEX_unpack_composite_rle(stream, skip, W - T, T, 8, reinterpret_cast<unsigned char*>(blended.data()), 256);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < T; ++x) {
                    const int sx = tx * T + x, sy = ty * 8 + y;
                    const int32_t want = sx < w && sy < h ? picture[size_t(sy * w + sx)] : 0;
                    ASSERT_EQ(tile[size_t(y * T + x)], want) << "tile " << tx << "," << ty << " at " << x << "," << y;
                    unsigned char b[4];
                    std::memcpy(b, &blended[size_t(y * T + x)], 4);
                    unsigned char p[4];
                    std::memcpy(p, &want, 4);
                    if (p[3] == 255) {
                        ASSERT_EQ(std::vector<int>(b, b + 3), std::vector<int>(p, p + 3));
                    }
                }
        }
    xfree(stream);
}

TEST(RleCode, AShortPictureEndsInOneZeroWordAndReadsAsZeroOrUntouched) {
    const int32_t V = px(10, 20, 30, 255);
    const std::vector<int32_t> two_rows(8, V);
    EXPECT_EQ(pack(two_rows, desc_of(4, 2), 4, 4, 4), (words{-4, V, -4, V, 0}));

    unsigned char* stream = nullptr;
    TEX_pack_image_rle(desc_of(4, 2), reinterpret_cast<const unsigned char*>(two_rows.data()), 4, 4, 4, stream);
    std::vector<int32_t> out(16, -1);
    TEX_unpack_image_rle(stream, 0, 0, 4, 4, reinterpret_cast<unsigned char*>(out.data()));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[size_t(i)], i < 8 ? V : 0) << i;

    const int32_t under = px(1, 1, 1, 0);
    std::vector<int32_t> blended(16, under);
    TEX_unpack_composite_rle(stream, 0, 0, 4, 4, reinterpret_cast<unsigned char*>(blended.data()), 256);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(blended[size_t(i)], i < 8 ? px(10, 20, 30, 255) : under) << i;
    xfree(stream);
}

TEST(RleCode, BlendingWeighsBySourceAlphaAndOpacity) {
    struct blend_case {
        int32_t source, under;
        int opacity;
        int32_t expect;
    };
    const blend_case cases[] = {
        {px(10, 20, 30, 255), px(0, 0, 0, 0), 256, px(10, 20, 30, 255)},
        {px(10, 20, 30, 255), px(0, 0, 0, 0), 128, px(5, 10, 15, 255)},
        {px(10, 20, 30, 0), px(7, 8, 9, 10), 256, px(7, 8, 9, 10)},
        {px(200, 200, 200, 127), px(0, 0, 0, 200), 256, px(100, 100, 100, 255)},
        {px(10, 20, 30, 255), px(7, 8, 9, 10), 0, px(7, 8, 9, 10)},
    };
    for (const blend_case& c : cases) {
        // Once as a literal run, once as a repeat run.
        for (const std::vector<int32_t>& row :
             {std::vector<int32_t>{c.source, px(1, 2, 3, 0)}, std::vector<int32_t>{c.source, c.source, c.source}}) {
            unsigned char* stream = nullptr;
            const int w = int(row.size());
            TEX_pack_image_rle(desc_of(w, 1), reinterpret_cast<const unsigned char*>(row.data()), w, 1, w, stream);
            std::vector<int32_t> d(size_t(w), c.under);
            TEX_unpack_composite_rle(stream, 0, 0, w, 1, reinterpret_cast<unsigned char*>(d.data()), c.opacity);
            EXPECT_EQ(d[0], c.expect) << c.opacity << " over " << c.under;
            xfree(stream);
        }
    }
}

TEST(RleCode, PlanesInterleaveWithZeroForAMissingPlane) {
    const unsigned char r[2] = {1, 2}, g[2] = {3, 4}, b[2] = {5, 6};
    std::vector<int32_t> out(2, -1);
    TEX_pack_rgba(r, g, b, nullptr, 2, reinterpret_cast<unsigned char*>(out.data()));
    EXPECT_EQ(out, (std::vector<int32_t>{px(1, 3, 5, 0), px(2, 4, 6, 0)}));
}

}  // namespace

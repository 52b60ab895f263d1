// Tinting while unpacking: the factor sums and their clamp, base and weight runs of every kind
// against each other, the ends of both streams, windows cut inside a run, and whole tiles of
// packed pictures compared texel by texel with the formula.
#include "render/rle_mix.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "render/tex_rle.h"

namespace {

using words = std::vector<int>;

int px(int r, int g, int b, int a) {
    const uint8_t bytes[4] = {uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)};
    int v;
    std::memcpy(&v, bytes, 4);
    return v;
}

std::vector<int> bytes_of(int v) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    return {b[0], b[1], b[2], b[3]};
}

int T0[4] = {256, 256, 256, 256}, Tz[4] = {0, 0, 0, 0}, Bz[4] = {0, 0, 0, 0}, Bfull[4] = {256, 256, 256, 256};

// The output texel the formula asks for.
int expected(int base, int weight, const int* t0, const int* t1, const int* t2, const int* t3, const int* b) {
    if (base == 0) return 0;
    int F[4];
    unpack_and_mix(weight, t0, t1, t2, t3, b, F);
    const std::vector<int> c = bytes_of(base);
    return px(c[0] * F[0] >> 8, c[1] * F[1] >> 8, c[2] * F[2] >> 8, c[3] * F[3] >> 8);
}

TEST(RleMix, FactorsSumTheWeightedTablesAndClamp) {
    int t1[4] = {-256, 0, 0, 0}, b[4] = {40, 300, 0, -5};
    int F[4];
    unpack_and_mix(px(200, 0, 0, 0), T0, Tz, Tz, Tz, Bz, F);
    EXPECT_EQ(std::vector<int>(F, F + 4), (std::vector<int>{200, 200, 200, 200}));
    // w1 = 3 against -256: (3 * -256) >> 8 = -3; the sum rounds toward minus infinity.
    unpack_and_mix(px(0, 3, 0, 0), Tz, t1, Tz, Tz, b, F);
    EXPECT_EQ(std::vector<int>(F, F + 4), (std::vector<int>{37, 256, 0, 0}));
    int t2[4] = {1, 1, 1, 1};   // 255 * 1 >> 8 = 0: each weight's share is shifted on its own
    unpack_and_mix(px(255, 255, 255, 255), t2, t2, t2, t2, Bz, F);
    EXPECT_EQ(F[0], 0);
}

TEST(RleMix, RunsOfEveryKindMixTexelByTexel) {
    const int P = px(100, 50, 200, 255), Q = px(10, 20, 30, 40), w1 = px(128, 0, 0, 0), w2 = px(64, 0, 0, 0);
    struct mix_case {
        const char* name;
        words base, weights;
        std::vector<int> want;   // with T0 = 256 and B = 0: channel * w0 >> 8
    };
    const int P1 = expected(P, w1, T0, Tz, Tz, Tz, Bz), P2 = expected(P, w2, T0, Tz, Tz, Tz, Bz),
              Q1 = expected(Q, w1, T0, Tz, Tz, Tz, Bz), Q2 = expected(Q, w2, T0, Tz, Tz, Tz, Bz);
    ASSERT_EQ(P1, px(50, 25, 100, 127));
    const mix_case cases[] = {
        {"both repeat", {-4, P}, {-4, w1}, {P1, P1, P1, P1}},
        {"repeat base, literal weights", {-3, P}, {3, w1, w2, w1}, {P1, P2, P1}},
        {"literal base, repeat weights", {3, P, Q, P}, {-3, w2}, {P2, Q2, P2}},
        {"both literal", {2, P, Q}, {2, w2, w1}, {P2, Q1}},
        {"runs out of step", {-3, P, 1, Q}, {2, w1, w2, -2, w1}, {P1, P2, P1, Q1}},
        {"a zero run is zero whatever the weights", {-2, 0, 1, P}, {3, w1, w1, w2}, {0, 0, P2}},
        {"weights ended: the base passes through", {-2, Q, 2, P, Q}, {1, w1, 0}, {Q1, Q, P, Q}},
    };
    for (const mix_case& c : cases) {
        const int* b = c.base.data();
        const int* w = c.weights.data();
        std::vector<int> out(c.want.size() + 1, 7);
        EXPECT_EQ(unpack_mix(b, w, out.data(), int(c.want.size()), T0, Tz, Tz, Tz, Bz), 0) << c.name;
        EXPECT_EQ(std::vector<int>(out.begin(), out.end() - 1), c.want) << c.name;
        EXPECT_EQ(out.back(), 7) << c.name;
        EXPECT_EQ(b, c.base.data() + c.base.size()) << c.name;   // both streams moved past what was used
    }
}

TEST(RleMix, NeutralAndPlainTables) {
    const words base = {3, px(1, 2, 3, 4), px(250, 128, 7, 255), px(9, 9, 9, 9)};
    const words weights = {3, px(0, 0, 0, 0), px(255, 0, 0, 0), px(128, 77, 1, 1)};
    std::vector<int> out(3);
    const int* b = base.data();
    const int* w = weights.data();
    // B = 256 and zero weights (here T0 = 0) reproduce the base exactly.
    unpack_mix(b, w, out.data(), 3, Tz, Tz, Tz, Tz, Bfull);
    EXPECT_EQ(out, (std::vector<int>{base[1], base[2], base[3]}));
    b = base.data();
    w = weights.data();
    unpack_mix(b, w, out.data(), 3, T0, Tz, Tz, Tz, Bz);
    EXPECT_EQ(bytes_of(out[1]), (std::vector<int>{249, 127, 6, 254}));   // c * 255 >> 8
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(bytes_of(out[2]), (std::vector<int>{4, 4, 4, 4}));
}

TEST(RleMix, AnEndedBaseFillsZerosAndStaysEnded) {
    const words base = {-2, px(5, 5, 5, 5), 0};
    const words weights = {-8, px(255, 0, 0, 0)};
    const int* b = base.data();
    const int* w = weights.data();
    std::vector<int> out(5, 7);
    EXPECT_EQ(unpack_mix(b, w, out.data(), 4, Tz, Tz, Tz, Tz, Bfull), 1);
    EXPECT_EQ(out, (std::vector<int>{px(5, 5, 5, 5), px(5, 5, 5, 5), 0, 0, 7}));
    EXPECT_EQ(b, base.data() + 2);
    out.assign(5, 7);
    EXPECT_EQ(unpack_mix(b, w, out.data(), 4, Tz, Tz, Tz, Tz, Bfull), 1);
    EXPECT_EQ(out, (std::vector<int>{0, 0, 0, 0, 7}));
}

TEST(RleMix, AWindowEndingInsideARunWritesNoMoreThanItsCount) {
    const int P = px(1, 2, 3, 4), Q = px(5, 6, 7, 8), w1 = px(255, 255, 255, 255);
    const words base = {-6, P, 3, Q, Q, P, -2, Q};
    const words weights = {5, w1, w1, w1, w1, w1, -6, w1};
    const int* b = base.data();
    const int* w = weights.data();
    std::vector<int> out(5, 7);
    EXPECT_EQ(unpack_mix(b, w, out.data(), 4, Tz, Tz, Tz, Tz, Bfull), 0);
    EXPECT_EQ(out, (std::vector<int>{P, P, P, P, 7}));
    // The rest of both cut runs is passed over: the next window starts on the next runs.
    EXPECT_EQ(b, base.data() + 2);
    EXPECT_EQ(w, weights.data() + 6);
    out.assign(5, 7);
    EXPECT_EQ(unpack_mix(b, w, out.data(), 5, Tz, Tz, Tz, Tz, Bfull), 0);
    EXPECT_EQ(out, (std::vector<int>{Q, Q, P, Q, Q}));
}

TEST(RleMix, TilesOfPackedPicturesMixAsTheFormulaSays) {
    const int w = 48, h = 12, W = 64, T = 16;
    std::vector<int> base(size_t(w) * h), weight(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            base[size_t(y * w + x)] = x % 13 == 0 ? 0 : px(x / 4 * 10, y * 20, 90, 255);
            weight[size_t(y * w + x)] = px(x * 5, y / 3 * 60, (x + y) % 2 * 200, 30);
        }
    TEX_image_desc d;
    d.format = GL_RGBA;
    d.width = w;
    d.height = h;
    unsigned char *sa = nullptr, *sb = nullptr;
    TEX_pack_image_rle(d, reinterpret_cast<const unsigned char*>(base.data()), W, 16, T, sa);
    TEX_pack_image_rle(d, reinterpret_cast<const unsigned char*>(weight.data()), W, 16, T, sb);
    int t0[4] = {256, 0, 0, 0}, t1[4] = {0, 256, 0, -128}, t2[4] = {0, 0, 300, 0}, t3[4] = {10, 10, 10, 10};
    int bias[4] = {0, 20, -10, 256};
    // The 16 x 8 tile at tile column 2, rows 4 to 11; then one reaching past the picture's right edge.
    for (const int tx : {2, 3}) {
        std::vector<int> out(size_t(T) * 8, 7);
        TEX_unpack_multi_mix_rle(sa, sb, 4 * W + tx * T, W - T, T, 8, reinterpret_cast<unsigned char*>(out.data()),
                                 t0, t1, t2, t3, bias);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < T; ++x) {
                const int sx = tx * T + x, sy = 4 + y;
                const int want = sx < w ? expected(base[size_t(sy * w + sx)], weight[size_t(sy * w + sx)], t0, t1,
                                                   t2, t3, bias)
                                        : 0;
                ASSERT_EQ(out[size_t(y * T + x)], want) << tx << ": " << x << "," << y;
            }
    }
    xfree(sa);
    xfree(sb);
}

}  // namespace

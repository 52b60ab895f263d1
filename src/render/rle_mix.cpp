#include "render/rle_mix.h"

#include <algorithm>
#include <cstring>

namespace {

int mix(int texel, const int* F) {
    unsigned char c[4];
    std::memcpy(c, &texel, 4);
    for (int k = 0; k < 4; ++k) c[k] = static_cast<unsigned char>((c[k] * F[k]) >> 8);
    int out;
    std::memcpy(&out, c, 4);
    return out;
}

// The run a stream position is in: how many texels are left, and whether they repeat one texel
// (which the position then points at) or follow one another.
struct run {
    int left = 0;
    bool repeat = false;

    // Reads the next count word; false on the end word, which the position stays on.
    bool open(const int*& at) {
        const int n = *at;
        if (n == 0) return false;
        repeat = n < 0;
        left = repeat ? -n : n;
        ++at;
        return true;
    }
    // Uses n texels; a used-up repeat run moves past its texel.
    void use(const int*& at, int n) {
        left -= n;
        if (!repeat) at += n;
        else if (left == 0) ++at;
    }
    // A window that ends inside the run passes over the rest of it.
    void drop(const int*& at) {
        if (left > 0) use(at, left);
    }
};

}  // namespace

void unpack_and_mix(int weight, const int* T0, const int* T1, const int* T2, const int* T3, const int* B, int* F) {
    unsigned char w[4];
    std::memcpy(w, &weight, 4);
    for (int k = 0; k < 4; ++k) {
        const int f = B[k] + ((w[0] * T0[k]) >> 8) + ((w[1] * T1[k]) >> 8) + ((w[2] * T2[k]) >> 8) +
                      ((w[3] * T3[k]) >> 8);
        F[k] = std::clamp(f, 0, 256);
    }
}

int unpack_mix(const int*& base, const int*& weights, int* out, int count, const int* T0, const int* T1,
               const int* T2, const int* T3, const int* B) {
    run b, w;
    bool weights_ended = false;
    int F[4];
    while (count > 0) {
        if (b.left == 0 && !b.open(base)) {
            std::fill(out, out + count, 0);
            return 1;
        }
        if (!weights_ended && w.left == 0 && !w.open(weights)) weights_ended = true;

        const int n = std::min(weights_ended ? b.left : std::min(b.left, w.left), count);
        if (b.repeat && *base == 0) {
            std::fill(out, out + n, 0);
        } else if (weights_ended) {
            if (b.repeat) std::fill(out, out + n, *base);
            else std::copy(base, base + n, out);
        } else if (b.repeat && w.repeat) {
            unpack_and_mix(*weights, T0, T1, T2, T3, B, F);
            std::fill(out, out + n, mix(*base, F));
        } else if (b.repeat) {
            for (int i = 0; i < n; ++i) {
                unpack_and_mix(weights[i], T0, T1, T2, T3, B, F);
                out[i] = mix(*base, F);
            }
        } else if (w.repeat) {
            unpack_and_mix(*weights, T0, T1, T2, T3, B, F);
            for (int i = 0; i < n; ++i) out[i] = mix(base[i], F);
        } else {
            for (int i = 0; i < n; ++i) {
                unpack_and_mix(weights[i], T0, T1, T2, T3, B, F);
                out[i] = mix(base[i], F);
            }
        }
        out += n;
        count -= n;
        b.use(base, n);
        if (!weights_ended) w.use(weights, n);
    }
    b.drop(base);
    if (!weights_ended) w.drop(weights);
    return 0;
}

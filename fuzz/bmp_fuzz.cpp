// libFuzzer target: TEX_load_bmp over arbitrary bytes, in every layout and option.
#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "files/xmap.h"
#include "fuzz_support.h"
#include "render/tex_bmp.h"
#include "render/tex_scratch.h"

namespace {
// Header fields as the reader takes them: little-endian, 0 when not wholly inside the file.
uint32_t field(const uint8_t* data, size_t size, size_t at, int bytes) {
    if (at + size_t(bytes) > size) return 0;
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | data[at + size_t(i)];
    return v;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::unattended();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Other depths and compressed files end the program with a quit alert, by design.
    if (field(data, size, 28, 2) != 24 || field(data, size, 30, 4) != 0) return 0;
    // Keep each run small (see png_fuzz.cpp): a few bytes claiming a big picture would spend the
    // run clearing megabytes. Into the staging buffer nothing is cleared, and taller pictures
    // reach its capacity check.
    const auto w = static_cast<int32_t>(field(data, size, 18, 4)), h = static_cast<int32_t>(field(data, size, 22, 4));
    const fuzzsupport::options o = fuzzsupport::options_from(data, size);
    if (o.into_scratch ? (w > 2048 || h > 4096) : int64_t(w) * h > (1 << 18)) return 0;

    auto* copy = new char[size ? size : 1];
    std::memcpy(copy, data, size);
    xmap_class file;
    file.mem_start = file.mem_cur = copy;
    file.mem_end = copy + size;
    file.not_owned = 1;

    unsigned char* buffer = o.into_scratch ? scratch_array : nullptr;
    TEX_image_desc desc;
    const int row_pixels = fuzzsupport::row_pixels_for(o, w);
    const int pow2 = o.into_scratch ? 0 : o.pow2;
    const int ok = TEX_load_bmp("fuzz.bmp", file, buffer, o.format, row_pixels, pow2, desc);
    if (ok && buffer && buffer != scratch_array) {
        const int64_t bpp = o.format == 0x1908 ? 4 : o.format == 0x1907 ? 3 : 1;
        const int64_t rows = pow2 ? TEX_next_pow2(desc.height) : desc.height;
        buffer[(bpp * desc.width + desc.row_padding) * rows - 1] ^= 1;
        xfree(buffer);
    }
    delete[] copy;
    return 0;
}

// libFuzzer target: TEX_load_png over arbitrary bytes that begin with the PNG signature (every
// caller sniffs the signature first), in every layout and option the program uses.
#include <png.h>

#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "files/xmap.h"
#include "fuzz_support.h"
#include "render/tex_png.h"
#include "render/tex_scratch.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::unattended();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return 0;
    // Keep each run's memory small: a header claiming a huge picture could ask for up to the
    // decoder's own limit (a gigabyte). That limit is the unit tests' business.
    uint32_t w = 0;
    if (size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        w = (uint32_t(data[16]) << 24) | (data[17] << 16) | (data[18] << 8) | data[19];
        const uint32_t h = (uint32_t(data[20]) << 24) | (data[21] << 16) | (data[22] << 8) | data[23];
        if (w > 2048 || h > 4096) return 0;
    }
    const fuzzsupport::options o = fuzzsupport::options_from(data, size);

    // An exact-size heap copy, so a read past the end is caught.
    auto* copy = new char[size];
    std::memcpy(copy, data, size);
    xmap_class file;
    file.mem_start = file.mem_cur = copy;
    file.mem_end = copy + size;
    file.not_owned = 1;

    unsigned char* buffer = o.into_scratch ? scratch_array : nullptr;
    TEX_image_desc desc;
    const int row_pixels = fuzzsupport::row_pixels_for(o, static_cast<int>(w));
    const int ok = TEX_load_png("fuzz.png", file, buffer, o.format, row_pixels, o.into_scratch ? 0 : o.pow2,
                                static_cast<png_alpha_mode>(o.mode), o.gamma, desc);
    if (ok && buffer && buffer != scratch_array) {
        // Touch the last byte the description promises, so a short buffer shows.
        const int64_t bpp = desc.format == 0x1908 ? 4 : desc.format == 0x1907 ? 3 : 1;
        const int64_t rows = o.pow2 ? TEX_next_pow2(desc.height) : desc.height;
        buffer[(bpp * desc.width + desc.row_padding) * rows - 1] ^= 1;
        xfree(buffer);
    }
    delete[] copy;
    return 0;
}

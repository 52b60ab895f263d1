// libFuzzer target: TEX_load_dds over arbitrary bytes, then what a texture does with the result:
// copy the whole chain, flip it upright (gamma-correcting the blocks) and decompress the top level.
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "fuzz_support.h"
#include "render/tex_dds.h"
#include "render/tex_utils.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::unattended();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> copy(data, data + size);
    xmap_class file;
    file.mem_start = file.mem_cur = copy.data();
    file.mem_end = copy.data() + size;
    file.not_owned = 1;

    const unsigned char* pixels = nullptr;
    TEX_image_desc desc;
    if (!TEX_load_dds("fuzz.dds", file, pixels, desc)) return 0;

    const int64_t bytes = TEX_bytes_needed_for_image64(desc);
    std::vector<unsigned char> chain(pixels, pixels + bytes);
    TEX_flip_y(desc, chain.data());
    const bool s3tc = desc.format >= 0x83F0 && desc.format <= 0x83F3;
    if (s3tc && int64_t(desc.width) * desc.height <= (1 << 20)) {
        std::vector<unsigned char> rgba(size_t(desc.width) * size_t(desc.height) * 4);
        TEX_decode_s3tc(desc, desc, chain.data(), rgba.data());
    }
    return 0;
}

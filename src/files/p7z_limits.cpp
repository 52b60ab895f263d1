#include "files/p7z_limits.h"

#include <lzma.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int damaged = 1;
// A header larger than this would describe millions of files.
constexpr uint64_t header_cap = uint64_t(64) << 20;
// No coder turns one byte into more than this many.
constexpr uint64_t expansion_cap = 8192;
constexpr unsigned max_coders = 64;

enum : uint64_t {
    k_end = 0x00, k_header = 0x01, k_archive_properties = 0x02, k_additional_streams = 0x03,
    k_main_streams = 0x04, k_files_info = 0x05, k_pack_info = 0x06, k_unpack_info = 0x07,
    k_substreams_info = 0x08, k_size = 0x09, k_crc = 0x0A, k_folder = 0x0B, k_coders_unpack_size = 0x0C,
    k_num_unpack_stream = 0x0D, k_encoded_header = 0x17,
};

uint64_t add_sat(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }
uint64_t mul_sat(uint64_t a, uint64_t b) { return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b; }

// Reads the header's bytes; any read past the end marks it bad and yields zeros.
struct cursor {
    const uint8_t* p;
    size_t n;
    size_t at = 0;
    bool bad = false;

    size_t left() const { return n - at; }
    uint8_t byte() {
        if (at >= n) {
            bad = true;
            return 0;
        }
        return p[at++];
    }
    uint64_t number() {
        const uint8_t first = byte();
        uint8_t mask = 0x80;
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            if ((first & mask) == 0) return value | (uint64_t(first & (mask - 1)) << (8 * i));
            value |= uint64_t(byte()) << (8 * i);
            mask >>= 1;
        }
        return value;
    }
    // A count of items that each take at least a byte of what is left.
    uint64_t count() {
        const uint64_t k = number();
        if (k > left()) bad = true;
        return bad ? 0 : k;
    }
    std::string take(uint64_t k) {
        if (k > left()) {
            bad = true;
            return "";
        }
        std::string out(reinterpret_cast<const char*>(p + at), size_t(k));
        at += size_t(k);
        return out;
    }
    void skip(uint64_t k) {
        if (k > left()) bad = true;
        else at += size_t(k);
    }
};

struct folder_info {
    std::string coder_id;      // the first coder's, for decoding an encoded header
    std::string coder_props;
    unsigned coders = 0;
    uint64_t memory = 0;       // the largest dictionary or model memory its coders ask for
    uint64_t outs = 0;
    uint64_t unpack = 0;       // its largest output
    bool crc = false;
};

struct streams_info {
    uint64_t pack_pos = 0;
    std::vector<uint64_t> pack_sizes;
    std::vector<folder_info> folders;
};

struct bounds {
    uint64_t archive_size;
    uint64_t unpack_limit;
    uint64_t unpacked = 0;     // output of every folder read so far
};

uint32_t le32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}

const std::string id_copy("\x00", 1);
const std::string id_lzma("\x03\x01\x01", 3);
const std::string id_lzma2("\x21", 1);
const std::string id_ppmd("\x03\x04\x01", 3);

// Memory a coder sets aside before decoding: its dictionary or model size. -1 for bad properties.
int64_t coder_memory(const std::string& id, const std::string& props) {
    if (id == id_lzma || id == id_ppmd) return props.size() < 5 ? -1 : int64_t(le32(props, 1));
    if (id == id_lzma2) {
        if (props.size() < 1 || uint8_t(props[0]) > 40) return -1;
        const unsigned p = uint8_t(props[0]);
        return p == 40 ? int64_t(0xFFFFFFFFu) : int64_t(uint64_t(2 | (p & 1)) << (p / 2 + 11));
    }
    return 0;
}

void read_digests(cursor& r, uint64_t n) {
    uint64_t defined = n;
    if (r.byte() == 0) {
        if ((n + 7) / 8 > r.left()) {
            r.bad = true;
            return;
        }
        defined = 0;
        for (uint64_t i = 0; i < n; ++i)
            if (r.p[r.at + i / 8] & (0x80 >> (i % 8))) ++defined;
        r.skip((n + 7) / 8);
    }
    r.skip(mul_sat(defined, 4));
}

void read_pack_info(cursor& r, const bounds& b, streams_info& s) {
    s.pack_pos = r.number();
    const uint64_t k = r.count();
    for (;;) {
        const uint64_t id = r.number();
        if (r.bad || id == k_end) break;
        if (id == k_size) {
            uint64_t end = add_sat(32, s.pack_pos);
            for (uint64_t i = 0; i < k && !r.bad; ++i) {
                s.pack_sizes.push_back(r.number());
                end = add_sat(end, s.pack_sizes.back());
            }
            if (end > b.archive_size) r.bad = true;
        } else if (id == k_crc) {
            read_digests(r, k);
        } else {
            r.bad = true;
        }
    }
}

void read_folder(cursor& r, folder_info& f) {
    const uint64_t coders = r.number();
    if (coders == 0 || coders > max_coders) {
        r.bad = true;
        return;
    }
    f.coders = unsigned(coders);
    uint64_t ins = 0;
    for (uint64_t c = 0; c < coders && !r.bad; ++c) {
        const uint8_t flags = r.byte();
        if (flags & 0x80) {   // alternative methods: never written
            r.bad = true;
            return;
        }
        const std::string id = r.take(flags & 0x0F);
        uint64_t in = 1, out = 1;
        if (flags & 0x10) {
            in = r.number();
            out = r.number();
            if (in > max_coders || out > max_coders) r.bad = true;
        }
        std::string props;
        if (flags & 0x20) props = r.take(r.number());
        const int64_t memory = coder_memory(id, props);
        if (memory < 0) r.bad = true;
        f.memory = std::max<uint64_t>(f.memory, uint64_t(std::max<int64_t>(memory, 0)));
        if (c == 0) {
            f.coder_id = id;
            f.coder_props = props;
        }
        ins += in;
        f.outs += out;
    }
    if (r.bad || f.outs == 0 || ins + 1 < f.outs) {
        r.bad = true;
        return;
    }
    const uint64_t bind_pairs = f.outs - 1;
    for (uint64_t i = 0; i < bind_pairs; ++i)
        if (r.number() >= ins || r.number() >= f.outs) r.bad = true;
    const uint64_t packed = ins - bind_pairs;
    if (packed > 1)
        for (uint64_t i = 0; i < packed; ++i)
            if (r.number() >= ins) r.bad = true;
}

void read_unpack_info(cursor& r, bounds& b, streams_info& s) {
    if (r.number() != k_folder) {
        r.bad = true;
        return;
    }
    const uint64_t folders = r.count();
    if (r.byte() != 0) {   // folders kept in another stream: not written by any tool we read
        r.bad = true;
        return;
    }
    s.folders.resize(size_t(folders));
    for (folder_info& f : s.folders) {
        if (r.bad) return;
        read_folder(r, f);
    }
    if (r.number() != k_coders_unpack_size) {
        r.bad = true;
        return;
    }
    for (folder_info& f : s.folders) {
        for (uint64_t o = 0; o < f.outs && !r.bad; ++o) f.unpack = std::max(f.unpack, r.number());
        b.unpacked = add_sat(b.unpacked, f.unpack);
        const uint64_t output_cap = std::min(b.unpack_limit, mul_sat(b.archive_size, expansion_cap));
        if (b.unpacked > b.unpack_limit || f.memory > std::max(p7z_coder_memory_floor, std::min(f.unpack, output_cap)))
            r.bad = true;
    }
    for (;;) {
        const uint64_t id = r.number();
        if (r.bad || id == k_end) break;
        if (id != k_crc) {
            r.bad = true;
            break;
        }
        // Which folders carry a CRC matters for the substreams' digests.
        const size_t start = r.at;
        read_digests(r, folders);
        if (r.bad) break;
        if (r.p[start] != 0) {
            for (folder_info& f : s.folders) f.crc = true;
        } else {
            for (uint64_t i = 0; i < folders; ++i) s.folders[size_t(i)].crc = r.p[start + 1 + i / 8] & (0x80 >> (i % 8));
        }
    }
}

void read_substreams_info(cursor& r, streams_info& s) {
    std::vector<uint64_t> per_folder(s.folders.size(), 1);
    uint64_t id = r.number();
    if (id == k_num_unpack_stream) {
        // Every stream past a folder's first needs a size, and every file a name: more streams
        // than header bytes is a lie.
        uint64_t total = 0;
        for (uint64_t& k : per_folder) {
            k = r.number();
            total = add_sat(total, k);
        }
        if (total > r.left() + s.folders.size()) r.bad = true;
        id = r.number();
    }
    if (id == k_size) {
        for (size_t f = 0; f < per_folder.size() && !r.bad; ++f) {
            uint64_t sum = 0;
            for (uint64_t i = 1; i < per_folder[f] && !r.bad; ++i) sum = add_sat(sum, r.number());
            if (sum > s.folders[f].unpack) r.bad = true;
        }
        id = r.number();
    }
    while (!r.bad && id != k_end) {
        if (id != k_crc) {
            r.bad = true;
            break;
        }
        uint64_t digests = 0;
        for (size_t f = 0; f < per_folder.size(); ++f)
            if (!(per_folder[f] == 1 && s.folders[f].crc)) digests = add_sat(digests, per_folder[f]);
        if (digests > mul_sat(r.left(), 8)) {
            r.bad = true;
            break;
        }
        read_digests(r, digests);
        id = r.number();
    }
}

void read_streams_info(cursor& r, bounds& b, streams_info& s) {
    for (;;) {
        const uint64_t id = r.number();
        if (r.bad || id == k_end) return;
        if (id == k_pack_info) read_pack_info(r, b, s);
        else if (id == k_unpack_info) read_unpack_info(r, b, s);
        else if (id == k_substreams_info) read_substreams_info(r, s);
        else r.bad = true;
    }
}

void read_files_info(cursor& r) {
    r.count();   // every file has at least its name's terminator
    for (;;) {
        const uint64_t type = r.number();
        if (r.bad || type == k_end) return;
        r.skip(r.number());
    }
}

// The plain header, after its kHeader byte.
bool header_within_bounds(cursor& r, bounds& b) {
    uint64_t id = r.number();
    if (id == k_archive_properties) {
        for (;;) {
            const uint64_t type = r.number();
            if (r.bad || type == k_end) break;
            r.skip(r.number());
        }
        id = r.number();
    }
    if (id == k_additional_streams) {
        streams_info s;
        read_streams_info(r, b, s);
        id = r.number();
    }
    if (id == k_main_streams) {
        streams_info s;
        read_streams_info(r, b, s);
        id = r.number();
    }
    if (id == k_files_info) {
        read_files_info(r);
        id = r.number();
    }
    return !r.bad && id == k_end;
}

bool read_exact(int fd, uint64_t at, void* out, size_t n) {
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, off_t(at));
        if (got <= 0) return false;
        p += got;
        at += uint64_t(got);
        n -= size_t(got);
    }
    return true;
}

// An encoded header's one folder decoded into out (sized to its unpacked size).
bool decode_header(const folder_info& f, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (f.coders != 1) return false;
    if (f.coder_id == id_copy) {
        if (in.size() < out.size()) return false;
        std::memcpy(out.data(), in.data(), out.size());
        return true;
    }
    if (f.coder_id != id_lzma && f.coder_id != id_lzma2) return false;
    lzma_filter filters[2];
    filters[0].id = f.coder_id == id_lzma ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2;
    filters[0].options = nullptr;
    filters[1].id = LZMA_VLI_UNKNOWN;
    filters[1].options = nullptr;
    if (lzma_properties_decode(&filters[0], nullptr, reinterpret_cast<const uint8_t*>(f.coder_props.data()),
                               f.coder_props.size()) != LZMA_OK)
        return false;
    // A dictionary larger than the whole output is never used.
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    options->dict_size = uint32_t(std::clamp<uint64_t>(out.size(), LZMA_DICT_SIZE_MIN, options->dict_size));
    lzma_stream s = LZMA_STREAM_INIT;
    const lzma_ret started = lzma_raw_decoder(&s, filters);
    std::free(filters[0].options);
    if (started != LZMA_OK) return false;
    s.next_in = in.data();
    s.avail_in = in.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    bool ok = false;
    for (;;) {
        const size_t before_in = s.avail_in, before_out = s.avail_out;
        const lzma_ret r = lzma_code(&s, LZMA_RUN);
        if (s.avail_out == 0) {
            ok = r == LZMA_OK || r == LZMA_STREAM_END;
            break;
        }
        if (r != LZMA_OK || (s.avail_in == before_in && s.avail_out == before_out)) break;
    }
    lzma_end(&s);
    return ok;
}

}  // namespace

int p7z_check_limits(int fd, uint64_t archive_size, uint64_t unpack_limit) {
    static const uint8_t signature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    uint8_t start[32];
    // Not a 7z archive at all: the reader itself says so.
    if (archive_size < 32 || !read_exact(fd, 0, start, sizeof start) || std::memcmp(start, signature, 6) != 0)
        return 0;
    uint64_t offset = 0, size = 0;
    for (int i = 7; i >= 0; --i) {
        offset = offset << 8 | start[12 + i];
        size = size << 8 | start[20 + i];
    }
    if (size == 0) return 0;   // no entries
    if (offset > archive_size || size > archive_size - 32 || add_sat(32 + offset, size) > archive_size ||
        size > header_cap)
        return damaged;
    std::vector<uint8_t> header(static_cast<size_t>(size));
    if (!read_exact(fd, 32 + offset, header.data(), header.size())) return damaged;

    bounds b{archive_size, unpack_limit};
    cursor r{header.data(), header.size()};
    const uint64_t kind = r.number();
    if (kind == k_header) return header_within_bounds(r, b) ? 0 : damaged;
    if (kind != k_encoded_header) return damaged;

    // The header itself is packed: its size is bounded by the archive's, not by the caller's.
    bounds hb{archive_size, std::min(header_cap, add_sat(uint64_t(1) << 20, mul_sat(archive_size, 64)))};
    streams_info s;
    read_streams_info(r, hb, s);
    if (r.bad || s.folders.size() != 1 || s.pack_sizes.empty() || s.pack_sizes[0] > header_cap ||
        s.folders[0].unpack == 0)
        return damaged;
    std::vector<uint8_t> packed(static_cast<size_t>(s.pack_sizes[0]));
    if (!read_exact(fd, 32 + s.pack_pos, packed.data(), packed.size())) return damaged;
    std::vector<uint8_t> plain(static_cast<size_t>(s.folders[0].unpack));
    if (!decode_header(s.folders[0], packed, plain)) return damaged;
    cursor inner{plain.data(), plain.size()};
    if (inner.number() != k_header) return damaged;
    return header_within_bounds(inner, b) ? 0 : damaged;
}

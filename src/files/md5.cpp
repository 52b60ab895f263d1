// The install engine hashes whole install sets even in debug builds; unoptimised, that takes minutes.
#if defined(__GNUC__) && !defined(__clang__) && !defined(__OPTIMIZE__)
#pragma GCC optimize("O2")
#endif

#include "files/md5.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "files/file_ops.h"
#include "files/paths.h"
#include "platform/beneath.h"

namespace {

inline uint32_t rotl(uint32_t v, int s) { return (v << s) | (v >> (32 - s)); }

inline uint32_t load_le32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

// The round functions are arranged so that the terms not depending on the previous step's
// result (b) are formed first; that keeps the dependency chain per step short.
#define MD5_F(a, b, c, d, m, k, s)                     \
    a += (m) + (k);                                     \
    a += (d) ^ ((b) & ((c) ^ (d)));                     \
    a = rotl(a, s) + (b);
#define MD5_G(a, b, c, d, m, k, s)                     \
    a += (m) + (k);                                     \
    a += (c) & ~(d);                                    \
    a += (b) & (d);                                     \
    a = rotl(a, s) + (b);
#define MD5_H(a, b, c, d, m, k, s)                     \
    a += (m) + (k);                                     \
    a += (b) ^ (c) ^ (d);                               \
    a = rotl(a, s) + (b);
#define MD5_I(a, b, c, d, m, k, s)                     \
    a += (m) + (k);                                     \
    a += (c) ^ ((b) | ~(d));                            \
    a = rotl(a, s) + (b);

// The compression function over n consecutive 64-byte blocks.
void Transform(uint32_t st[4], const unsigned char* p, size_t n) {
    uint32_t a0 = st[0], b0 = st[1], c0 = st[2], d0 = st[3];
    for (; n; --n, p += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = load_le32(p + 4 * i);
        uint32_t a = a0, b = b0, c = c0, d = d0;

        MD5_F(a, b, c, d, x[0], 0xd76aa478, 7)   MD5_F(d, a, b, c, x[1], 0xe8c7b756, 12)
        MD5_F(c, d, a, b, x[2], 0x242070db, 17)  MD5_F(b, c, d, a, x[3], 0xc1bdceee, 22)
        MD5_F(a, b, c, d, x[4], 0xf57c0faf, 7)   MD5_F(d, a, b, c, x[5], 0x4787c62a, 12)
        MD5_F(c, d, a, b, x[6], 0xa8304613, 17)  MD5_F(b, c, d, a, x[7], 0xfd469501, 22)
        MD5_F(a, b, c, d, x[8], 0x698098d8, 7)   MD5_F(d, a, b, c, x[9], 0x8b44f7af, 12)
        MD5_F(c, d, a, b, x[10], 0xffff5bb1, 17) MD5_F(b, c, d, a, x[11], 0x895cd7be, 22)
        MD5_F(a, b, c, d, x[12], 0x6b901122, 7)  MD5_F(d, a, b, c, x[13], 0xfd987193, 12)
        MD5_F(c, d, a, b, x[14], 0xa679438e, 17) MD5_F(b, c, d, a, x[15], 0x49b40821, 22)

        MD5_G(a, b, c, d, x[1], 0xf61e2562, 5)   MD5_G(d, a, b, c, x[6], 0xc040b340, 9)
        MD5_G(c, d, a, b, x[11], 0x265e5a51, 14) MD5_G(b, c, d, a, x[0], 0xe9b6c7aa, 20)
        MD5_G(a, b, c, d, x[5], 0xd62f105d, 5)   MD5_G(d, a, b, c, x[10], 0x02441453, 9)
        MD5_G(c, d, a, b, x[15], 0xd8a1e681, 14) MD5_G(b, c, d, a, x[4], 0xe7d3fbc8, 20)
        MD5_G(a, b, c, d, x[9], 0x21e1cde6, 5)   MD5_G(d, a, b, c, x[14], 0xc33707d6, 9)
        MD5_G(c, d, a, b, x[3], 0xf4d50d87, 14)  MD5_G(b, c, d, a, x[8], 0x455a14ed, 20)
        MD5_G(a, b, c, d, x[13], 0xa9e3e905, 5)  MD5_G(d, a, b, c, x[2], 0xfcefa3f8, 9)
        MD5_G(c, d, a, b, x[7], 0x676f02d9, 14)  MD5_G(b, c, d, a, x[12], 0x8d2a4c8a, 20)

        MD5_H(a, b, c, d, x[5], 0xfffa3942, 4)   MD5_H(d, a, b, c, x[8], 0x8771f681, 11)
        MD5_H(c, d, a, b, x[11], 0x6d9d6122, 16) MD5_H(b, c, d, a, x[14], 0xfde5380c, 23)
        MD5_H(a, b, c, d, x[1], 0xa4beea44, 4)   MD5_H(d, a, b, c, x[4], 0x4bdecfa9, 11)
        MD5_H(c, d, a, b, x[7], 0xf6bb4b60, 16)  MD5_H(b, c, d, a, x[10], 0xbebfbc70, 23)
        MD5_H(a, b, c, d, x[13], 0x289b7ec6, 4)  MD5_H(d, a, b, c, x[0], 0xeaa127fa, 11)
        MD5_H(c, d, a, b, x[3], 0xd4ef3085, 16)  MD5_H(b, c, d, a, x[6], 0x04881d05, 23)
        MD5_H(a, b, c, d, x[9], 0xd9d4d039, 4)   MD5_H(d, a, b, c, x[12], 0xe6db99e5, 11)
        MD5_H(c, d, a, b, x[15], 0x1fa27cf8, 16) MD5_H(b, c, d, a, x[2], 0xc4ac5665, 23)

        MD5_I(a, b, c, d, x[0], 0xf4292244, 6)   MD5_I(d, a, b, c, x[7], 0x432aff97, 10)
        MD5_I(c, d, a, b, x[14], 0xab9423a7, 15) MD5_I(b, c, d, a, x[5], 0xfc93a039, 21)
        MD5_I(a, b, c, d, x[12], 0x655b59c3, 6)  MD5_I(d, a, b, c, x[3], 0x8f0ccc92, 10)
        MD5_I(c, d, a, b, x[10], 0xffeff47d, 15) MD5_I(b, c, d, a, x[1], 0x85845dd1, 21)
        MD5_I(a, b, c, d, x[8], 0x6fa87e4f, 6)   MD5_I(d, a, b, c, x[15], 0xfe2ce6e0, 10)
        MD5_I(c, d, a, b, x[6], 0xa3014314, 15)  MD5_I(b, c, d, a, x[13], 0x4e0811a1, 21)
        MD5_I(a, b, c, d, x[4], 0xf7537e82, 6)   MD5_I(d, a, b, c, x[11], 0xbd3af235, 10)
        MD5_I(c, d, a, b, x[2], 0x2ad7d2bb, 15)  MD5_I(b, c, d, a, x[9], 0xeb86d391, 21)

        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    st[0] = a0;
    st[1] = b0;
    st[2] = c0;
    st[3] = d0;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

// Takes in any number of bytes; whole blocks are hashed straight from the caller's memory.
void update(md5_context* ctx, const unsigned char* data, uint64_t len) {
    if (!len) return;
    const uint32_t pos = (ctx->bits[0] >> 3) & 63;
    const uint64_t total = ((uint64_t(ctx->bits[1]) << 32) | ctx->bits[0]) + (len << 3);
    ctx->bits[0] = uint32_t(total);
    ctx->bits[1] = uint32_t(total >> 32);

    if (pos) {
        const uint64_t room = 64 - pos;
        if (len < room) {
            std::memcpy(ctx->in + pos, data, size_t(len));
            return;
        }
        std::memcpy(ctx->in + pos, data, size_t(room));
        Transform(ctx->state, ctx->in, 1);
        data += room;
        len -= room;
    }
    const uint64_t blocks = len / 64;
    if (blocks) Transform(ctx->state, data, size_t(blocks));
    data += blocks * 64;
    len -= blocks * 64;
    if (len) std::memcpy(ctx->in, data, size_t(len));
}

}  // namespace

void MD5Init(md5_context* ctx) {
    ctx->bits[0] = ctx->bits[1] = 0;
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xefcdab89;
    ctx->state[2] = 0x98badcfe;
    ctx->state[3] = 0x10325476;
}

void MD5Update(md5_context* ctx, const unsigned char* data, uint16_t len) { update(ctx, data, len); }

void MD5UpdateWide(md5_context* ctx, const unsigned char* data, uint32_t len) {
    // Feeding in 64 KiB pieces or all at once gives the same digest; one call is faster.
    update(ctx, data, len);
}

void MD5Final(md5_context* ctx) {
    const uint32_t count[2] = {ctx->bits[0], ctx->bits[1]};
    const uint32_t pos = (count[0] >> 3) & 63;
    static const unsigned char pad[64] = {0x80};
    update(ctx, pad, pos < 56 ? 56 - pos : 120 - pos);
    unsigned char len_bytes[8];
    for (int i = 0; i < 8; ++i) len_bytes[i] = (unsigned char)(count[i / 4] >> (8 * (i % 4)));
    update(ctx, len_bytes, 8);
    for (int i = 0; i < 16; ++i) ctx->digest[i] = (unsigned char)(ctx->state[i / 4] >> (8 * (i % 4)));
}

std::string md5_text(const unsigned char digest[16]) {
    static const char hex[] = "0123456789abcdef";
    std::string s(32, '0');
    for (int i = 0; i < 16; ++i) {
        s[2 * i] = hex[digest[i] >> 4];
        s[2 * i + 1] = hex[digest[i] & 15];
    }
    return s;
}

namespace {
// MD5 of the link text.
std::string link_text_md5(const std::string& target) {
    md5_context ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(target.data()), uint32_t(target.size()));
    MD5Final(&ctx);
    return md5_text(ctx.digest);
}

// MD5 of a regular file open as fd; closes fd. 0 or 20006.
int fd_md5(int fd, std::string& md5) {
    if (fd < 0) return 20006;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return 20006;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Read through a buffer that stays in the cache: on virtual machines, faulting in a mapping of
    // the file page by page costs more than the hashing itself.
    constexpr size_t kBuffer = size_t(128) << 10;
    thread_local std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBuffer]);
    md5_context ctx;
    MD5Init(&ctx);
    while (true) {
        const ssize_t got = ::read(fd, buffer.get(), kBuffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return 20006;
        }
        if (got == 0) break;
        MD5UpdateWide(&ctx, buffer.get(), uint32_t(got));
    }
    ::close(fd);
    MD5Final(&ctx);
    md5 = md5_text(ctx.digest);
    return 0;
}
}  // namespace

int calc_file_md5(const std::string& path, std::string& md5) {
    std::string target;
    if (is_sim_link(path, &target)) {
        md5 = link_text_md5(target);
        return 0;
    }
    std::string full = path;
    set_path_to_full(full);
    // Not blocking: a FIFO with no writer would otherwise wait forever; only files are hashed.
    return fd_md5(::open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY), md5);
}

int calc_file_md5_beneath(int rootfd, const std::string& rel, std::string& md5) {
    std::string leaf;
    const int parent = platform::open_parent_beneath(rootfd, rel, leaf);
    if (parent < 0) return 20006;
    struct stat st;
    int result = 20006;
    if (::fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode)) {
            std::string target(size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
            const ssize_t n = ::readlinkat(parent, leaf.c_str(), target.data(), target.size());
            if (n >= 0 && size_t(n) < target.size()) {
                target.resize(size_t(n));
                md5 = link_text_md5(target);
                result = 0;
            }
        } else {
            result = fd_md5(::openat(parent, leaf.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW), md5);
        }
    }
    ::close(parent);
    return result;
}

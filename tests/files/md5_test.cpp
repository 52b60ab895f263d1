#include "files/md5.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "support/temp_dir.h"

using testsupport::temp_dir;
using testsupport::write_file;

namespace {

std::string digest_of(const std::string& bytes) {
    md5_context ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(bytes.data()), uint32_t(bytes.size()));
    MD5Final(&ctx);
    return md5_text(ctx.digest);
}

// The reference: the openssl command line over the same file.
std::string openssl_md5(const std::string& path) {
    FILE* p = ::popen(("openssl md5 -r '" + path + "'").c_str(), "r");
    if (!p) return "";
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    ::pclose(p);
    return got ? std::string(line, 32) : "";
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

}  // namespace

TEST(Md5, KnownVectors) {
    const struct {
        const char* text;
        const char* md5;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(digest_of(c.text), c.md5) << '"' << c.text << '"';
}

// Padding takes one or two blocks depending on where the message ends; pieces of any size,
// including MD5Update's 16-bit ones, must give the digest of the whole.
TEST(Md5, PiecesAndBlockEdgesAgreeWithOpenssl) {
    temp_dir tmp;
    for (const size_t n : {55u, 56u, 63u, 64u, 65u, 65535u, 65536u, 200000u}) {
        const std::string data = random_bytes(n, unsigned(n));
        write_file(tmp / "f", data);
        const std::string want = openssl_md5(tmp / "f");
        ASSERT_EQ(want.size(), 32u);
        EXPECT_EQ(digest_of(data), want) << n << " bytes in one piece";

        md5_context ctx;
        MD5Init(&ctx);
        for (size_t at = 0; at < n;) {
            const size_t piece = std::min<size_t>(n - at, 1 + (at * 7919) % 70000);
            if (piece <= 65535)
                MD5Update(&ctx, reinterpret_cast<const unsigned char*>(data.data() + at), uint16_t(piece));
            else
                MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(data.data() + at), uint32_t(piece));
            at += piece;
        }
        MD5Final(&ctx);
        EXPECT_EQ(md5_text(ctx.digest), want) << n << " bytes in uneven pieces";
    }
}

TEST(Md5, FilesAgreeWithOpenssl) {
    temp_dir tmp;
    std::mt19937 rng(7);
    for (int i = 0; i < 6; ++i) {
        const std::string path = tmp / ("r" + std::to_string(i));
        write_file(path, random_bytes(rng() % 3000000, rng()));
        std::string md5;
        ASSERT_EQ(calc_file_md5(path, md5), 0);
        EXPECT_EQ(md5, openssl_md5(path));
    }
}

TEST(Md5, EmptyFileLinksAndMissingFile) {
    temp_dir tmp;
    write_file(tmp / "empty", "");
    write_file(tmp / "target", "contents");
    ASSERT_EQ(::symlink("target", (tmp / "link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere/at/all", (tmp / "dangling").c_str()), 0);

    std::string md5;
    EXPECT_EQ(calc_file_md5(tmp / "empty", md5), 0);
    EXPECT_EQ(md5, "d41d8cd98f00b204e9800998ecf8427e");
    // A link is hashed by its text, never by what it points to.
    EXPECT_EQ(calc_file_md5(tmp / "link", md5), 0);
    EXPECT_EQ(md5, digest_of("target"));
    EXPECT_EQ(calc_file_md5(tmp / "dangling", md5), 0);
    EXPECT_EQ(md5, digest_of("nowhere/at/all"));

    md5 = "unchanged";
    EXPECT_EQ(calc_file_md5(tmp / "missing", md5), 20006);
    EXPECT_EQ(md5, "unchanged");
    EXPECT_EQ(calc_file_md5(tmp.path(), md5), 20006);
    EXPECT_EQ(md5, "unchanged");
    // A FIFO has nothing to map, and must not wait for a writer that never comes.
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(calc_file_md5(tmp / "fifo", md5), 20006);
    EXPECT_EQ(md5, "unchanged");
}

// Past 2 GiB the size no longer fits 32 bits and the bit count has carried into its high word.
TEST(Md5, FileOfMoreThanTwoGigabytes) {
    temp_dir tmp;
    const std::string path = tmp / "big";
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = (off_t(1) << 31) + 12345;
    ASSERT_EQ(::pwrite(fd, "tail", 4, size - 4), 4);   // sparse: cheap to make
    ::close(fd);
    std::string md5;
    ASSERT_EQ(calc_file_md5(path, md5), 0);
    EXPECT_EQ(md5, "ed062d27936a6c409139885b28a01b58");   // openssl md5 of the same file
}

#pragma once
// MD5 digests (RFC 1321) of byte ranges and of whole files.
#include <cstdint>
#include <string>

struct md5_context {
    uint32_t bits[2];            // message length in bits, low word first (modulo 2^64)
    uint32_t state[4];           // running digest
    unsigned char in[64];        // bytes of the block not yet complete
    unsigned char digest[16];    // written by MD5Final
};

void MD5Init(md5_context* ctx);
void MD5Update(md5_context* ctx, const unsigned char* data, uint16_t len);
void MD5UpdateWide(md5_context* ctx, const unsigned char* data, uint32_t len);
void MD5Final(md5_context* ctx);

// The digest as 32 lowercase hex digits.
std::string md5_text(const unsigned char digest[16]);

// MD5 of a file, or of a symbolic link's own text. 0, or 20006 when the file cannot be read
// (md5 is then left as it was).
int calc_file_md5(const std::string& path, std::string& md5);
// The same for rel beneath the folder open as rootfd: every folder on the way resolves beneath it
// (a link that leads out is not followed), and a link at rel itself gives its own text's MD5.
int calc_file_md5_beneath(int rootfd, const std::string& rel, std::string& md5);

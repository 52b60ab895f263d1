#include "platform/cf_string.h"

namespace platform {
namespace {

// Unicode of Mac Roman bytes 0x80 to 0xFF.
const char32_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

bool decode_utf8(const std::string& in, std::u32string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        int len;
        char32_t c;
        if (b < 0x80) { len = 1; c = b; }
        else if ((b & 0xE0) == 0xC0) { len = 2; c = b & 0x1F; }
        else if ((b & 0xF0) == 0xE0) { len = 3; c = b & 0x0F; }
        else if ((b & 0xF8) == 0xF0) { len = 4; c = b & 0x07; }
        else return false;
        if (n - i < static_cast<std::size_t>(len)) return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        out.push_back(c);
        i += static_cast<std::size_t>(len);
    }
    return true;
}

void encode_utf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

int mac_roman_byte(char32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    for (int i = 0; i < 128; ++i)
        if (kMacRomanHigh[i] == c) return 0x80 + i;
    return -1;
}

}  // namespace

cf_string* cf_string_create(const std::string& bytes, unsigned encoding) {
    std::u32string chars;
    if (encoding == kCFStringEncodingUTF8) {
        if (!decode_utf8(bytes, chars)) return nullptr;
    } else if (encoding == kCFStringEncodingMacRoman) {
        for (const unsigned char b : bytes) chars.push_back(b < 0x80 ? char32_t(b) : kMacRomanHigh[b - 0x80]);
    } else {
        return nullptr;
    }
    return new cf_string{std::move(chars)};
}

void cf_release(const cf_string* s) { delete s; }

std::string cf_string_get_bytes(const cf_string& s, unsigned encoding, bool* complete) {
    std::string out;
    if (complete) *complete = true;
    for (const char32_t c : s.chars) {
        if (encoding == kCFStringEncodingUTF8) {
            encode_utf8(c, out);
            continue;
        }
        const int b = encoding == kCFStringEncodingMacRoman ? mac_roman_byte(c) : -1;
        if (b < 0) {
            if (complete) *complete = false;
            break;
        }
        out.push_back(static_cast<char>(b));
    }
    return out;
}

}  // namespace platform

#pragma once
// A stand-in for the desktop OS's immutable Unicode string objects: made from bytes in
// an encoding, turned back into bytes in an encoding, released by its owner.
#include <string>

namespace platform {

// Encoding numbers as the callers pass them.
enum : unsigned { kCFStringEncodingMacRoman = 0, kCFStringEncodingUTF8 = 0x08000100 };

struct cf_string {
    std::u32string chars;
};

// Null when the bytes are not valid in the encoding (or the encoding is unknown).
cf_string* cf_string_create(const std::string& bytes, unsigned encoding);
void cf_release(const cf_string* s);

// The string in the encoding; converting stops at the first character the encoding lacks.
// complete is set to false in that case.
std::string cf_string_get_bytes(const cf_string& s, unsigned encoding, bool* complete = nullptr);

}  // namespace platform

using CFStringRef = const platform::cf_string*;
using CFStringEncoding = unsigned;
using platform::kCFStringEncodingMacRoman;
using platform::kCFStringEncodingUTF8;

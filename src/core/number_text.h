#pragma once
// Small conversions between numbers and text, and between UTF-8 and UTF-16.
#include <string>

enum str_format_type {
    sft_plain = 0,       // no padding; a sign only for negative values
    sft_zeros = 1,       // leading zeros up to the digit count
    sft_blanks = 2,      // leading blanks up to the digit count; the sign goes before the blanks
    sft_plus_zeros = 3,  // leading zeros, and "+" for zero and positive values
};

// Replaces *out with the text of value. digits is the padded width (the sign is not counted);
// a nonzero negative forces a leading "-" even for zero or positive values.
void int_to_str(int value, std::string* out, int digits, str_format_type format, int negative);

// With decimals: fixed-point text, digits counting the decimals too. With none: an integer, or a
// short "1.2x5" mantissa-and-exponent form when the value does not fit its digit count.
void flt_to_str(float value, std::string* out, int digits, int decimals, str_format_type format);

// A signed decimal of at most nine digits; -1 for anything else (the same as the text "-1").
int str_to_int(const std::string& text);

// The int a text reads as: an optional sign, then one or more decimal digits (leading zeros
// allowed), within int's range. False, with out untouched, for anything else.
bool text_to_whole_number(const std::string& text, int& out);

// lo to hi, both included; hi below lo is a crash alert.
int int_rand(int lo, int hi);

// The 19-character path of a one-degree tile file inside its ten-degree folder:
// latitude 47, longitude -75 give "+40-080/+47-075.dsf".
void return_latlon_str_dsf(int lat, int lon, std::string* out);

// True when every lead byte has its continuation bytes (no check for overlong forms).
bool string_is_utf8(const std::string& s);
void string_utf_8_to_16(const std::string& in, std::u16string& out);
void string_utf_16_to_8(const std::u16string& in, std::string& out);

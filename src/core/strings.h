#pragma once
// The program's strings: std::string holding one byte per character.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hvn {

// The shared integer parse: leading white space (codes below 33) skipped, an optional
// "+" or "-", then "$" for hexadecimal or "%" for base-2 digits, else decimal digits,
// read up to the first other character; no digits give 0. Wraps like a 64-bit integer.
int64_t StrToLong(std::string_view text);
// The same, cut to 32 bits (two's complement).
int32_t StrToInt(std::string_view text);

// ASCII letter case only, byte by byte.
std::string Upper(std::string_view text);
std::string Lower(std::string_view text);
// Removes leading and trailing characters with codes below 33.
std::string Trim(std::string_view text);
// Every occurrence of `from` replaced by `to` (from must not be empty).
std::string Replace(std::string_view text, std::string_view from, std::string_view to);
// Pieces between separators; "a,,b" gives "a", "", "b"; "" gives one empty piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator);
bool Contains(std::string_view text, std::string_view part);
// The text after the last "." of a name; "" when it has none or a "/" follows it.
std::string ExtractExt(std::string_view name);
// "key=value" lines: the text before the first "=" ("" without one) and the text after
// it (the whole line without one).
std::string LineKey(std::string_view line);
std::string LineValue(std::string_view line);

// The first n bytes (all when shorter).
std::string Left(std::string_view text, size_t n);

// UTF-8 bytes to 16-bit code units and back (the program's tags are decoded this way).
// A character beyond U+FFFF becomes a surrogate pair and makes ok false. A sequence cut
// short at the end is dropped.
std::u16string Utf8ToUtf16(std::string_view bytes, bool &ok);
std::string Utf16ToUtf8(std::u16string_view units);

} // namespace hvn

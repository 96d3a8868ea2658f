// Text encodings of the simulated Mac: UTF-8 (how strings are held and how paths are spelled)
// and Mac Roman (the system encoding: resource names, length-prefixed strings, settings).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace macsim {

// Decodes the code point that starts at pos and moves pos past it. Nothing (pos unchanged) when
// the bytes there are not well-formed UTF-8: overlong forms, surrogates, code points past
// U+10FFFF and truncated sequences are all refused.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& pos);
bool isValidUtf8(std::string_view text);
// Appends c (a Unicode scalar value) as UTF-8.
void appendUtf8(std::string& out, char32_t c);
// The number of UTF-16 code units of well-formed UTF-8 text (the length strings report).
std::size_t utf16Length(std::string_view utf8);

// Mac Roman has a character for every byte, so this never fails.
char32_t macRomanToUnicode(unsigned char byte);
// Nothing when Mac Roman has no character for c.
std::optional<unsigned char> unicodeToMacRoman(char32_t c);
std::string macRomanToUtf8(std::string_view macRoman);
// Nothing when the text is not well-formed UTF-8 or holds a character Mac Roman does not have.
std::optional<std::string> utf8ToMacRoman(std::string_view utf8);

} // namespace macsim

// The little JSON the window server writes: strings, four-character codes and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace macsim::jsontext {

// Appends text as a JSON string. Bytes that are not well-formed UTF-8 become U+FFFD, so that the
// output is always valid JSON whatever the text held.
void appendString(std::string& out, std::string_view text);
std::string quote(std::string_view text);
// A four-character code as its four characters ('ok  ' -> "ok  "), each byte read as Mac Roman.
std::string fourCharCode(std::uint32_t code);
// Seconds with millisecond precision and no trailing noise ("3", "0.25").
std::string seconds(double value);

} // namespace macsim::jsontext

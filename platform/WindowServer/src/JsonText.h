// The window server's own JSON values: four-character codes and times. Strings go through
// macsim/Json.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace macsim::jsontext {

// A four-character code as its four characters ('ok  ' -> "ok  "), each byte read as Mac Roman.
std::string fourCharCode(std::uint32_t code);
// Seconds with millisecond precision and no trailing noise ("3", "0.25").
std::string seconds(double value);

} // namespace macsim::jsontext

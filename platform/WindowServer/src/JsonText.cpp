#include "JsonText.h"

#include <macsim/Json.h>
#include <macsim/TextEncoding.h>

#include <cmath>
#include <cstdio>

namespace macsim::jsontext {

std::string fourCharCode(std::uint32_t code) {
    std::string utf8;
    for (int shift = 24; shift >= 0; shift -= 8)
        appendUtf8(utf8, macRomanToUnicode(static_cast<unsigned char>(code >> shift)));
    return json::quote(utf8);
}

std::string seconds(double value) {
    if (!std::isfinite(value))
        return "0";
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string out = text;
    while (!out.empty() && out.back() == '0')
        out.pop_back();
    if (!out.empty() && out.back() == '.')
        out.pop_back();
    return out == "-0" ? "0" : out;
}

} // namespace macsim::jsontext

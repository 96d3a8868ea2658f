#include "JsonText.h"

#include <macsim/TextEncoding.h>

#include <cmath>
#include <cstdio>

namespace macsim::jsontext {

void appendString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const auto c = decodeUtf8(text, pos);
        if (!c) {
            out += "\xEF\xBF\xBD";
            ++pos;
            continue;
        }
        switch (*c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (*c < 0x20 || *c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(*c));
                out += escaped;
            } else {
                out.append(text.substr(start, pos - start));
            }
        }
    }
    out += '"';
}

std::string quote(std::string_view text) {
    std::string out;
    appendString(out, text);
    return out;
}

std::string fourCharCode(std::uint32_t code) {
    std::string utf8;
    for (int shift = 24; shift >= 0; shift -= 8)
        appendUtf8(utf8, macRomanToUnicode(static_cast<unsigned char>(code >> shift)));
    return quote(utf8);
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

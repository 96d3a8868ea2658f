// Four-character codes in messages.
#pragma once

#include <cstdint>
#include <string>

namespace macsim {

// 'SLpr' with its quotes; bytes that are not printable ASCII appear as \xNN.
inline std::string fourCCText(std::uint32_t code) {
    static const char hex[] = "0123456789ABCDEF";
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(code >> shift);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += char(c);
        } else {
            text += "\\x";
            text += hex[c >> 4];
            text += hex[c & 0xF];
        }
    }
    return text + "'";
}

} // namespace macsim

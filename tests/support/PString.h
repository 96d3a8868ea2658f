// A length-prefixed copy of a text, for the calls that take a ConstStr255Param; cut at 255 bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace kreloed::test {

struct PString {
    explicit PString(std::string_view text) {
        const std::size_t length = std::min<std::size_t>(text.size(), 255);
        bytes[0] = static_cast<unsigned char>(length);
        std::copy_n(text.begin(), length, bytes + 1);
    }
    operator const unsigned char*() const { return bytes; }
    unsigned char bytes[256] = {};
};

} // namespace kreloed::test

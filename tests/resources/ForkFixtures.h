// Byte fixtures written from the documented layouts, never from our own writer, so that a reader
// and a writer that share a mistake are still caught.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kreloed::test {

using Bytes = std::vector<std::uint8_t>;

// "00 0A ff" -> {0x00, 0x0A, 0xFF}; spaces and line breaks are ignored.
inline Bytes hex(std::string_view text) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw std::invalid_argument("not a hex digit");
    };
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\n')
            continue;
        if (high < 0) {
            high = nibble(c);
        } else {
            out.push_back(std::uint8_t(high << 4 | nibble(c)));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes zeros(std::size_t n) {
    return Bytes(n, 0);
}

// The fork that an empty resource file has: header, reserved area, a 30-byte map with no types.
inline Bytes emptyFork() {
    return hex("00000100 00000100 00000000 0000001E") + zeros(240) +
           hex("00000100 00000100 00000000 0000001E") + hex("00000000 0000 0000 001C 001E") +
           hex("FFFF");
}

// The settings fork: one resource 'SLpr' 128 named "prefs", no attributes, with the 12-byte
// record given (big-endian fields).
inline Bytes settingsFork(const Bytes& record) {
    return hex("00000100 00000110 00000010 00000038") + zeros(240) + hex("0000000C") + record +
           hex("00000100 00000110 00000010 00000038") + hex("00000000 0000 0000 001C 0032") +
           hex("0000 534C7072 0000 000A") + hex("0080 0000 00 000000 00000000") +
           hex("05 707265 6673");
}

// The record of the worked example: default 1000, user 800, keep 1, mode 1, load 0, current 1000.
inline Bytes exampleRecord() {
    return hex("03E8 0320 0001 0001 0000 03E8");
}

// A companion in the simple form: Finder Info (type, creator) at 50, then the fork at 82.
inline Bytes companion(const Bytes& fork, std::string_view typeHex = "70726566",
                       std::string_view creatorHex = "534C6170") {
    Bytes out = hex("00051607 00020000") + zeros(16) + hex("0002");
    out = out + hex("00000009 00000032 00000020");
    Bytes forkEntry = hex("00000002 00000052");
    forkEntry.push_back(std::uint8_t(fork.size() >> 24));
    forkEntry.push_back(std::uint8_t(fork.size() >> 16));
    forkEntry.push_back(std::uint8_t(fork.size() >> 8));
    forkEntry.push_back(std::uint8_t(fork.size()));
    out = out + forkEntry + hex(typeHex) + hex(creatorHex) + zeros(24) + fork;
    return out;
}

} // namespace kreloed::test

namespace kreloed::test {

// A fork that is valid but far from the conventional form: the map right after the header (over
// the reserved area) and before the data, the data at an odd offset with gaps and its blocks out
// of order, reference lists out of type order, a nonzero handle field, an empty name.
// It holds 'DLOG' 128 "Alert" (purgeable, AA BB CC), 'DITL' 128 (no name, purgeable, no bytes)
// and 'DITL' -1 (empty name, 00 00).
inline Bytes unconventionalFork() {
    const Bytes header = hex("0000006C 00000010 00000012 00000059");
    const Bytes map = zeros(16) + hex("00000000 0000 0000 001C 0052") +
                      hex("0001 444C4F47 0000 002A 4449544C 0001 0012") + // DLOG, DITL
                      hex("0080 FFFF 20 00000E DEADBEEF") +               // DITL 128
                      hex("FFFF 0006 00 000000 00000000") +               // DITL -1
                      hex("0080 0000 20 000007 00000000") +               // DLOG 128
                      hex("05 416C657274 00");                            // "Alert", ""
    const Bytes data = hex("00000002 0000") + hex("EE") + hex("00000003 AABBCC") + hex("00000000");
    return header + map + hex("112233") + data;
}

} // namespace kreloed::test

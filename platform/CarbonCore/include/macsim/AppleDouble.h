// The companion file "._NAME" that holds what the Linux file system cannot: the Finder Info
// (type and creator) and the resource fork of NAME, as entries of a version 2 double file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace macsim {

class AppleDouble {
public:
    static constexpr std::uint32_t magic = 0x00051607;
    static constexpr std::uint32_t version = 0x00020000;
    static constexpr std::uint32_t resourceForkId = 2;
    static constexpr std::uint32_t finderInfoId = 9;
    static constexpr std::size_t finderInfoSize = 32;
    static constexpr std::size_t maxEntries = 15;

    struct Entry {
        std::uint32_t id = 0;
        std::vector<std::uint8_t> data;
    };

    // Reads a companion file with the checks the platform's own reader makes: exact magic and
    // version, 1 to 15 entries, none starting inside the descriptors, running past the end or
    // overlapping another, Finder Info of at least 32 bytes. Nothing (and a reason) otherwise.
    static std::optional<AppleDouble> parse(std::span<const std::uint8_t> bytes,
                                            std::string* error = nullptr);

    // The simple layout: header, descriptors, Finder Info first, every other entry in the order
    // read (unknown ones kept as they were), the resource fork last so that it can grow.
    std::vector<std::uint8_t> serialize() const;

    const Entry* entry(std::uint32_t id) const;
    // Replaces or adds an entry; false when that would make more entries than a reader accepts.
    bool setEntry(std::uint32_t id, std::vector<std::uint8_t> data);

    // Finder Info with only the type and creator set.
    static std::vector<std::uint8_t> finderInfo(std::uint32_t type, std::uint32_t creator);
    // The type and creator from the Finder Info, when there is one.
    std::optional<std::array<std::uint32_t, 2>> typeAndCreator() const;

    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

} // namespace macsim

// A resource fork as bytes and as a model: the map and the data of every resource, read from the
// platform's published layout and written back in its conventional form. The Resource Manager
// keeps one per open resource file; build tools use it to write data-fork resource files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace macsim {

struct Resource {
    std::uint32_t type = 0; // four-character code, 'SLpr'
    std::int16_t id = 0;
    // Mac Roman bytes, at most 255; none is not the same as an empty name.
    std::optional<std::string> name;
    std::uint8_t attributes = 0; // resPurgeable 0x20 ...; resChanged is never stored
    std::vector<std::uint8_t> data;
};

class ResourceFork {
public:
    // Bytes that every fork starts with before its data: the header and the reserved area.
    static constexpr std::size_t headerAreaSize = 256;
    // References address data blocks with 24-bit offsets from the start of the data area.
    static constexpr std::uint32_t maxDataOffset = 0xFFFFFF;
    static constexpr std::uint8_t resChanged = 0x02;
    static constexpr std::uint16_t mapReadOnly = 0x0080;

    // Reads a fork. Every offset, count and length is checked against the bytes given, so a
    // truncated or hostile fork gives nothing (and a reason in *error), never a read outside
    // `bytes` or an allocation larger than `bytes`.
    static std::optional<ResourceFork> parse(std::span<const std::uint8_t> bytes,
                                             std::string* error = nullptr);

    // The fork in the conventional layout: data at 256 in type-list order, the map right after
    // it, zeros in the reserved area. Nothing (and a reason) when the resources do not fit the
    // format: 16-bit map offsets, 24-bit data offsets, names of at most 255 bytes.
    std::optional<std::vector<std::uint8_t>> serialize(std::string* error = nullptr) const;

    // Why serialize() would fail; empty when the fork fits the format.
    std::string limitError() const;

    // The first resource of that type and ID, as a lookup on the platform finds it.
    Resource* find(std::uint32_t type, std::int16_t id);
    const Resource* find(std::uint32_t type, std::int16_t id) const;

    // Adds a resource; refused (with a reason) when one of that type and ID exists already or the
    // fork would no longer fit the format.
    std::optional<std::string> add(Resource resource);

    std::vector<Resource>& resources() { return resources_; }
    const std::vector<Resource>& resources() const { return resources_; }

    // The map attributes as read; written back as 0, as the platform does for memory-only bits.
    std::uint16_t mapAttributes() const { return mapAttributes_; }

private:
    std::vector<Resource> resources_;
    std::uint16_t mapAttributes_ = 0;
};

} // namespace macsim

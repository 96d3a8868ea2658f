#include <macsim/ResourceFork.h>

#include "Bytes.h"
#include "FourCC.h"

#include <algorithm>
#include <utility>

namespace macsim {

namespace {

constexpr std::size_t forkHeaderSize = 16;
constexpr std::size_t mapHeaderSize = 28;
constexpr std::size_t typeEntrySize = 8;
constexpr std::size_t referenceSize = 12;
constexpr std::uint16_t noName = 0xFFFF;

using Interval = std::pair<std::uint64_t, std::uint64_t>; // [first, second)

// True when two of the non-empty intervals share a byte.
bool anyOverlap(std::vector<Interval> intervals) {
    std::sort(intervals.begin(), intervals.end());
    for (std::size_t i = 1; i < intervals.size(); ++i)
        if (intervals[i].first < intervals[i - 1].second)
            return true;
    return false;
}

std::string describe(std::uint32_t type, std::int16_t id) {
    return "resource " + fourCCText(type) + " " + std::to_string(id);
}

// The types in the order of their first resource, each with its resources in order: the order of
// the type list, the reference lists, the data blocks and the names.
std::vector<std::pair<std::uint32_t, std::vector<const Resource*>>>
groupByType(const std::vector<Resource>& resources) {
    std::vector<std::pair<std::uint32_t, std::vector<const Resource*>>> groups;
    for (const Resource& resource : resources) {
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == resource.type; });
        if (group == groups.end())
            group = groups.insert(groups.end(), {resource.type, {}});
        group->second.push_back(&resource);
    }
    return groups;
}

// Lays out the fork in the conventional form. With out null it only checks the limits; the
// returned reason is empty when the fork fits.
std::string layOut(const std::vector<Resource>& resources, std::vector<std::uint8_t>* out) {
    const auto groups = groupByType(resources);
    const std::uint64_t typeCount = groups.size();
    const std::uint64_t refCount = resources.size();

    // Offsets of the reference lists (from the type list) and of the name list (from the map)
    // are 16-bit; the biggest of them is the name list's.
    const std::uint64_t nameListOffset =
        mapHeaderSize + 2 + typeEntrySize * typeCount + referenceSize * refCount;
    if (nameListOffset > 0xFFFF)
        return "too many resources for one map (" + std::to_string(refCount) + ")";
    for (const auto& group : groups)
        if (group.second.size() > 0x10000)
            return "too many resources of type " + fourCCText(group.first);

    std::uint64_t nameBytes = 0;
    std::uint64_t dataBytes = 0;
    for (const auto& group : groups) {
        for (const Resource* resource : group.second) {
            if (resource->name) {
                if (resource->name->size() > 255)
                    return "name of " + describe(resource->type, resource->id) +
                           " is longer than 255 bytes";
                if (nameBytes >= noName)
                    return "too many resource names for one map";
                nameBytes += 1 + resource->name->size();
            }
            if (dataBytes > ResourceFork::maxDataOffset)
                return "resource data beyond the 16 MiB the map can address";
            dataBytes += 4 + resource->data.size();
        }
    }
    const std::uint64_t mapLength = nameListOffset + nameBytes;
    if (ResourceFork::headerAreaSize + dataBytes + mapLength > 0xFFFFFFFFu)
        return "resource fork larger than 4 GiB";
    if (!out)
        return {};

    const auto dataOffset = std::uint32_t(ResourceFork::headerAreaSize);
    const auto mapOffset = std::uint32_t(dataOffset + dataBytes);
    std::vector<std::uint8_t>& fork = *out;
    fork.clear();
    fork.reserve(mapOffset + mapLength);
    auto putHeader = [&] {
        bytes::putU32(fork, dataOffset);
        bytes::putU32(fork, mapOffset);
        bytes::putU32(fork, std::uint32_t(dataBytes));
        bytes::putU32(fork, std::uint32_t(mapLength));
    };
    putHeader();
    fork.resize(ResourceFork::headerAreaSize, 0);
    for (const auto& group : groups) {
        for (const Resource* resource : group.second) {
            bytes::putU32(fork, std::uint32_t(resource->data.size()));
            bytes::putBytes(fork, resource->data);
        }
    }

    putHeader();                        // the map's copy of the header, as the platform writes it
    bytes::putU32(fork, 0);             // next-map handle
    bytes::putU16(fork, 0);             // file reference
    bytes::putU16(fork, 0);             // map attributes
    bytes::putU16(fork, mapHeaderSize); // type list right after the map header
    bytes::putU16(fork, std::uint16_t(nameListOffset));
    bytes::putU16(fork, std::uint16_t(typeCount - 1)); // 0xFFFF for an empty map
    std::uint64_t refListOffset = 2 + typeEntrySize * typeCount;
    for (const auto& group : groups) {
        bytes::putU32(fork, group.first);
        bytes::putU16(fork, std::uint16_t(group.second.size() - 1));
        bytes::putU16(fork, std::uint16_t(refListOffset));
        refListOffset += referenceSize * group.second.size();
    }
    std::uint32_t nextName = 0;
    std::uint32_t nextData = 0;
    for (const auto& group : groups) {
        for (const Resource* resource : group.second) {
            bytes::putU16(fork, std::uint16_t(resource->id));
            if (resource->name) {
                bytes::putU16(fork, std::uint16_t(nextName));
                nextName += 1 + std::uint32_t(resource->name->size());
            } else {
                bytes::putU16(fork, noName);
            }
            const std::uint8_t attributes = resource->attributes & ~ResourceFork::resChanged;
            bytes::putU32(fork, std::uint32_t(attributes) << 24 | nextData);
            bytes::putU32(fork, 0); // handle
            nextData += 4 + std::uint32_t(resource->data.size());
        }
    }
    for (const auto& group : groups) {
        for (const Resource* resource : group.second) {
            if (!resource->name)
                continue;
            bytes::putU8(fork, std::uint8_t(resource->name->size()));
            fork.insert(fork.end(), resource->name->begin(), resource->name->end());
        }
    }
    return {};
}

} // namespace

std::optional<ResourceFork> ResourceFork::parse(std::span<const std::uint8_t> bytes,
                                                std::string* error) {
    auto fail = [&](std::string why) -> std::optional<ResourceFork> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    const bytes::Reader fork(bytes);
    std::uint32_t dataOffset = 0, mapOffset = 0, dataLength = 0, mapLength = 0;
    if (!fork.u32(0, dataOffset) || !fork.u32(4, mapOffset) || !fork.u32(8, dataLength) ||
        !fork.u32(12, mapLength))
        return fail("shorter than the 16-byte header");
    if (!fork.holds(dataOffset, dataLength))
        return fail("data area runs past the end of the fork");
    if (!fork.holds(mapOffset, mapLength))
        return fail("resource map runs past the end of the fork");
    if (mapLength < mapHeaderSize + 2)
        return fail("resource map shorter than 30 bytes");
    if (dataLength > 0 && anyOverlap({{dataOffset, std::uint64_t(dataOffset) + dataLength},
                                      {mapOffset, std::uint64_t(mapOffset) + mapLength}}))
        return fail("data area and resource map overlap");

    const bytes::Reader map(bytes.subspan(mapOffset, mapLength));
    const bytes::Reader data(bytes.subspan(dataOffset, dataLength));
    std::uint16_t attributes = 0, typeListOffset = 0, nameListOffset = 0, typeCountField = 0;
    map.u16(22, attributes);
    map.u16(24, typeListOffset);
    map.u16(26, nameListOffset);
    if (!map.u16(typeListOffset, typeCountField))
        return fail("type list starts past the end of the map");
    // Counts are stored minus one: 0xFFFF is an empty list, not 65536 entries.
    const std::uint32_t typeCount = (typeCountField + 1u) & 0xFFFF;
    if (!map.holds(typeListOffset + 2u, std::uint64_t(typeEntrySize) * typeCount))
        return fail("type list runs past the end of the map");

    struct TypeEntry {
        std::uint32_t type;
        std::uint32_t count;
        std::uint64_t refList; // from the map's start
    };
    std::vector<TypeEntry> types;
    types.reserve(typeCount);
    std::vector<Interval> lists{{typeListOffset, typeListOffset + 2u + typeEntrySize * typeCount}};
    std::uint64_t refCount = 0;
    for (std::uint32_t i = 0; i < typeCount; ++i) {
        const std::uint64_t entry = typeListOffset + 2u + typeEntrySize * i;
        std::uint32_t type = 0;
        std::uint16_t countField = 0, listOffset = 0;
        map.u32(entry, type);
        map.u16(entry + 4, countField);
        map.u16(entry + 6, listOffset);
        const std::uint32_t count = (countField + 1u) & 0xFFFF;
        const std::uint64_t start = std::uint64_t(typeListOffset) + listOffset;
        if (count == 0)
            continue;
        if (!map.holds(start, std::uint64_t(referenceSize) * count))
            return fail("reference list of type " + fourCCText(type) +
                        " runs past the end of the map");
        types.push_back({type, count, start});
        lists.push_back({start, start + referenceSize * count});
        refCount += count;
    }
    // Lists that share bytes would let a small map name the same resources many times over.
    if (anyOverlap(lists))
        return fail("type list and reference lists overlap");

    ResourceFork result;
    result.mapAttributes_ = attributes;
    result.resources_.reserve(refCount);
    std::vector<Interval> blocks;
    blocks.reserve(refCount);
    for (const TypeEntry& type : types) {
        for (std::uint32_t i = 0; i < type.count; ++i) {
            const std::uint64_t ref = type.refList + referenceSize * i;
            std::uint16_t id = 0, nameOffset = 0;
            std::uint32_t word = 0;
            map.u16(ref, id);
            map.u16(ref + 2, nameOffset);
            map.u32(ref + 4, word);
            Resource resource;
            resource.type = type.type;
            resource.id = std::int16_t(id);
            resource.attributes = std::uint8_t(word >> 24) & ~resChanged;
            const std::uint32_t blockOffset = word & maxDataOffset;
            std::uint32_t length = 0;
            if (!data.u32(blockOffset, length) || !data.holds(blockOffset + 4u, length))
                return fail("data of " + describe(resource.type, resource.id) +
                            " runs past the end of the data area");
            blocks.push_back({blockOffset, blockOffset + 4u + std::uint64_t(length)});
            const auto block = data.slice(blockOffset + 4u, length);
            resource.data.assign(block.begin(), block.end());
            if (nameOffset != noName) {
                const std::uint64_t at = std::uint64_t(nameListOffset) + nameOffset;
                std::uint8_t nameLength = 0;
                if (!map.u8(at, nameLength) || !map.holds(at + 1, nameLength))
                    return fail("name of " + describe(resource.type, resource.id) +
                                " runs past the end of the map");
                const auto name = map.slice(at + 1, nameLength);
                resource.name.emplace(name.begin(), name.end());
            }
            result.resources_.push_back(std::move(resource));
        }
    }
    // Shared data blocks would likewise multiply the bytes that a small fork makes us allocate.
    if (anyOverlap(std::move(blocks)))
        return fail("data blocks of two resources overlap");
    return result;
}

std::optional<std::vector<std::uint8_t>> ResourceFork::serialize(std::string* error) const {
    std::vector<std::uint8_t> out;
    std::string why = layOut(resources_, &out);
    if (!why.empty()) {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    }
    return out;
}

std::string ResourceFork::limitError() const {
    return layOut(resources_, nullptr);
}

Resource* ResourceFork::find(std::uint32_t type, std::int16_t id) {
    auto it = std::find_if(resources_.begin(), resources_.end(),
                           [&](const Resource& r) { return r.type == type && r.id == id; });
    return it == resources_.end() ? nullptr : &*it;
}

const Resource* ResourceFork::find(std::uint32_t type, std::int16_t id) const {
    return const_cast<ResourceFork*>(this)->find(type, id);
}

std::optional<std::string> ResourceFork::add(Resource resource) {
    if (find(resource.type, resource.id))
        return describe(resource.type, resource.id) + " exists already";
    resources_.push_back(std::move(resource));
    std::string why = limitError();
    if (!why.empty()) {
        resources_.pop_back();
        return why;
    }
    return std::nullopt;
}

} // namespace macsim

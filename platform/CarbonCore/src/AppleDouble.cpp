#include <macsim/AppleDouble.h>

#include "Bytes.h"

#include <algorithm>
#include <utility>

namespace macsim {

namespace {

constexpr std::size_t headerSize = 26;
constexpr std::size_t descriptorSize = 12;

} // namespace

std::optional<AppleDouble> AppleDouble::parse(std::span<const std::uint8_t> bytes,
                                              std::string* error) {
    auto fail = [&](std::string why) -> std::optional<AppleDouble> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    const bytes::Reader in(bytes);
    std::uint32_t fileMagic = 0, fileVersion = 0;
    std::uint16_t count = 0;
    if (!in.u32(0, fileMagic) || !in.u32(4, fileVersion) || !in.u16(24, count))
        return fail("shorter than the 26-byte header");
    if (fileMagic != magic)
        return fail("not a double file (wrong magic number)");
    if (fileVersion != version)
        return fail("unsupported double file version");
    if (count == 0 || count > maxEntries)
        return fail("entry count " + std::to_string(count) + " outside 1 to 15");
    const std::uint64_t tableEnd = headerSize + descriptorSize * std::uint64_t(count);
    if (!in.holds(0, tableEnd))
        return fail("entry descriptors run past the end of the file");

    struct Span {
        std::uint64_t start, end;
    };
    std::vector<Span> used;
    AppleDouble result;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint64_t at = headerSize + descriptorSize * i;
        std::uint32_t id = 0, offset = 0, length = 0;
        in.u32(at, id);
        in.u32(at + 4, offset);
        in.u32(at + 8, length);
        const std::string which = "entry " + std::to_string(id);
        if (id == 0)
            return fail("entry with the invalid ID 0");
        if (offset < tableEnd)
            return fail(which + " starts inside the entry descriptors");
        if (!in.holds(offset, length))
            return fail(which + " runs past the end of the file");
        if (id == finderInfoId && length < finderInfoSize)
            return fail("Finder Info shorter than 32 bytes");
        if (result.entry(id))
            return fail(which + " appears twice");
        const Span span{offset, std::uint64_t(offset) + length};
        for (const Span& other : used)
            if (span.start < other.end && other.start < span.end)
                return fail(which + " overlaps another entry");
        if (length > 0)
            used.push_back(span);
        const auto data = in.slice(offset, length);
        result.entries_.push_back({id, {data.begin(), data.end()}});
    }
    return result;
}

std::vector<std::uint8_t> AppleDouble::serialize() const {
    // Finder Info first and the resource fork last; the rest keep their order in between.
    std::vector<const Entry*> order;
    if (const Entry* info = entry(finderInfoId))
        order.push_back(info);
    for (const Entry& e : entries_)
        if (e.id != finderInfoId && e.id != resourceForkId)
            order.push_back(&e);
    if (const Entry* fork = entry(resourceForkId))
        order.push_back(fork);

    std::vector<std::uint8_t> out;
    bytes::putU32(out, magic);
    bytes::putU32(out, version);
    out.resize(out.size() + 16, 0); // filler
    bytes::putU16(out, std::uint16_t(order.size()));
    std::uint32_t offset = std::uint32_t(headerSize + descriptorSize * order.size());
    for (const Entry* e : order) {
        bytes::putU32(out, e->id);
        bytes::putU32(out, offset);
        bytes::putU32(out, std::uint32_t(e->data.size()));
        offset += std::uint32_t(e->data.size());
    }
    for (const Entry* e : order)
        bytes::putBytes(out, e->data);
    return out;
}

const AppleDouble::Entry* AppleDouble::entry(std::uint32_t id) const {
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == id; });
    return it == entries_.end() ? nullptr : &*it;
}

bool AppleDouble::setEntry(std::uint32_t id, std::vector<std::uint8_t> data) {
    for (Entry& e : entries_) {
        if (e.id == id) {
            e.data = std::move(data);
            return true;
        }
    }
    if (entries_.size() >= maxEntries)
        return false;
    entries_.push_back({id, std::move(data)});
    return true;
}

std::vector<std::uint8_t> AppleDouble::finderInfo(std::uint32_t type, std::uint32_t creator) {
    std::vector<std::uint8_t> info;
    bytes::putU32(info, type);
    bytes::putU32(info, creator);
    info.resize(finderInfoSize, 0);
    return info;
}

std::optional<std::array<std::uint32_t, 2>> AppleDouble::typeAndCreator() const {
    const Entry* info = entry(finderInfoId);
    if (!info)
        return std::nullopt;
    const bytes::Reader in(info->data);
    std::array<std::uint32_t, 2> result{};
    if (!in.u32(0, result[0]) || !in.u32(4, result[1]))
        return std::nullopt;
    return result;
}

} // namespace macsim

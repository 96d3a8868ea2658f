// Big-endian reading and writing for the on-disk formats of the file and resource managers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace macsim::bytes {

// A bounds-checked reader over a byte span: every read of bytes outside the span answers false
// instead of touching them, so a parser can test once per field.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t size() const { return data_.size(); }
    // True when [offset, offset + length) lies inside the data, without overflow.
    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= data_.size() && length <= data_.size() - offset;
    }
    bool u8(std::uint64_t offset, std::uint8_t& out) const {
        if (!holds(offset, 1))
            return false;
        out = data_[offset];
        return true;
    }
    bool u16(std::uint64_t offset, std::uint16_t& out) const {
        if (!holds(offset, 2))
            return false;
        out = std::uint16_t(data_[offset] << 8 | data_[offset + 1]);
        return true;
    }
    bool u32(std::uint64_t offset, std::uint32_t& out) const {
        if (!holds(offset, 4))
            return false;
        out = std::uint32_t(data_[offset]) << 24 | std::uint32_t(data_[offset + 1]) << 16 |
              std::uint32_t(data_[offset + 2]) << 8 | std::uint32_t(data_[offset + 3]);
        return true;
    }
    // The bytes [offset, offset + length); empty when they are not all inside.
    std::span<const std::uint8_t> slice(std::uint64_t offset, std::uint64_t length) const {
        if (!holds(offset, length))
            return {};
        return data_.subspan(offset, length);
    }

private:
    std::span<const std::uint8_t> data_;
};

inline void putU8(std::vector<std::uint8_t>& out, std::uint8_t value) {
    out.push_back(value);
}
inline void putU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}
inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(std::uint8_t(value >> 24));
    out.push_back(std::uint8_t(value >> 16));
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}
inline void putBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data) {
    out.insert(out.end(), data.begin(), data.end());
}
inline void setU32(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t value) {
    out[offset] = std::uint8_t(value >> 24);
    out[offset + 1] = std::uint8_t(value >> 16);
    out[offset + 2] = std::uint8_t(value >> 8);
    out[offset + 3] = std::uint8_t(value);
}

} // namespace macsim::bytes

#include "macsim/Json.h"

#include "macsim/TextEncoding.h"

#include <array>
#include <charconv>
#include <cmath>

namespace macsim::json {

void appendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x80) {
            const std::size_t start = pos;
            if (decodeUtf8(text, pos)) {
                out.append(text, start, pos - start);
            } else {
                out += "\\ufffd";
                ++pos;
            }
            continue;
        }
        ++pos;
        switch (byte) {
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
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else {
                out += static_cast<char>(byte);
            }
        }
    }
    out += '"';
}

std::string quote(std::string_view text) {
    std::string out;
    appendQuoted(out, text);
    return out;
}

namespace detail {

void appendValue(std::string& out, std::string_view text) {
    appendQuoted(out, text);
}

void appendValue(std::string& out, const char* text) {
    if (text)
        appendQuoted(out, text);
    else
        out += "null";
}

void appendValue(std::string& out, bool value) {
    out += value ? "true" : "false";
}

void appendValue(std::string& out, std::int64_t value) {
    out += std::to_string(value);
}

void appendValue(std::string& out, std::uint64_t value) {
    out += std::to_string(value);
}

void appendValue(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

void appendValue(std::string& out, std::nullptr_t) {
    out += "null";
}

void appendValue(std::string& out, const Object& value) {
    out += value.str();
}

void appendValue(std::string& out, const Array& value) {
    out += value.str();
}

} // namespace detail

Object& Object::addRaw(std::string_view key, std::string_view json) {
    body_ += body_.empty() ? "" : ",";
    appendQuoted(body_, key);
    body_ += ':';
    body_ += json;
    return *this;
}

Array& Array::addRaw(std::string_view json) {
    body_ += body_.empty() ? "" : ",";
    body_ += json;
    return *this;
}

} // namespace macsim::json

// A small JSON writer for the lines of the trace, screen dumps and the tools' reports. Strings
// are UTF-8; bytes that are not well-formed UTF-8 are written as U+FFFD, so every line written
// is valid JSON whatever text it carries.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace macsim::json {

// Appends text to out as a quoted JSON string.
void appendQuoted(std::string& out, std::string_view text);
std::string quote(std::string_view text);

class Object;
class Array;

namespace detail {
void appendValue(std::string& out, std::string_view text);
void appendValue(std::string& out, const char* text); // null writes null
void appendValue(std::string& out, bool value);
void appendValue(std::string& out, std::int64_t value);
void appendValue(std::string& out, std::uint64_t value);
void appendValue(std::string& out, double value); // NaN and infinities write null
void appendValue(std::string& out, std::nullptr_t);
void appendValue(std::string& out, const Object& value);
void appendValue(std::string& out, const Array& value);

template <typename T> void appendAny(std::string& out, const T& value) {
    if constexpr (std::same_as<T, bool>)
        appendValue(out, value);
    else if constexpr (std::signed_integral<T>)
        appendValue(out, static_cast<std::int64_t>(value));
    else if constexpr (std::unsigned_integral<T>)
        appendValue(out, static_cast<std::uint64_t>(value));
    else if constexpr (std::floating_point<T>)
        appendValue(out, static_cast<double>(value));
    else if constexpr (std::convertible_to<const T&, const char*>)
        appendValue(out, static_cast<const char*>(value));
    else
        appendValue(out, value);
}
} // namespace detail

// {"key": value, ...} built member by member: Object().add("t", 3).add("event", "beep").str()
class Object {
public:
    template <typename T> Object& add(std::string_view key, const T& value) {
        body_ += body_.empty() ? "" : ",";
        appendQuoted(body_, key);
        body_ += ':';
        detail::appendAny(body_, value);
        return *this;
    }
    // Adds a member whose value is already JSON text.
    Object& addRaw(std::string_view key, std::string_view json);
    bool empty() const { return body_.empty(); }
    std::string str() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};

// [value, ...] built item by item.
class Array {
public:
    template <typename T> Array& add(const T& value) {
        body_ += body_.empty() ? "" : ",";
        detail::appendAny(body_, value);
        return *this;
    }
    Array& addRaw(std::string_view json);
    bool empty() const { return body_.empty(); }
    std::string str() const { return "[" + body_ + "]"; }

private:
    std::string body_;
};

} // namespace macsim::json

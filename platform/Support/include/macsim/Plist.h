// XML property lists: the system version file, the hardware description, bundles' Info.plist and
// the kernel state are all kept in this form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace macsim::plist {

struct Value;
struct Member;

using Array = std::vector<Value>;
// Keys are unique; members keep the order of the file, so a rewritten file reads the same.
using Dict = std::vector<Member>;
struct Data {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Data&) const = default;
};
// A <date> element, kept as its ISO 8601 text.
struct Date {
    std::string text;
    bool operator==(const Date&) const = default;
};

struct Value {
    std::variant<std::string, std::int64_t, double, bool, Data, Date, Array, Dict> v;

    Value() = default;
    Value(std::string s) : v(std::move(s)) {}
    Value(const char* s) : v(std::string(s)) {}
    Value(std::int64_t i) : v(i) {}
    Value(int i) : v(std::int64_t{i}) {}
    Value(double d) : v(d) {}
    Value(bool b) : v(b) {}
    Value(Data d) : v(std::move(d)) {}
    Value(Date d) : v(std::move(d)) {}
    Value(Array a) : v(std::move(a)) {}
    Value(Dict d) : v(std::move(d)) {}

    const std::string* string() const { return std::get_if<std::string>(&v); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&v); }
    const double* real() const { return std::get_if<double>(&v); }
    const bool* boolean() const { return std::get_if<bool>(&v); }
    const Array* array() const { return std::get_if<Array>(&v); }
    const Dict* dict() const { return std::get_if<Dict>(&v); }
    Dict* dict() { return std::get_if<Dict>(&v); }

    // The value of key in a dictionary; null when this is no dictionary or has no such key.
    const Value* find(std::string_view key) const;
    // Adds key or replaces its value (this must be a dictionary).
    void set(std::string_view key, Value value);

    bool operator==(const Value&) const;
};

struct Member {
    std::string key;
    Value value;
    bool operator==(const Member&) const = default;
};

// Inputs past this size are refused rather than parsed.
inline constexpr std::size_t kDefaultMaxSize = 1 << 20;

// Parses a whole XML property list. Nothing, with a one-line reason in *error, when the bytes
// are not one: not XML, no <plist> root, unknown elements, bad numbers or base64, duplicate or
// missing keys, nesting deeper than a sane limit, or more than maxSize bytes.
std::optional<Value> parse(std::span<const std::uint8_t> bytes, std::string* error = nullptr,
                           std::size_t maxSize = kDefaultMaxSize);
std::optional<Value> parse(std::string_view text, std::string* error = nullptr,
                           std::size_t maxSize = kDefaultMaxSize);
// Reads and parses a file; a missing or unreadable file is an error like a malformed one.
std::optional<Value> load(const std::filesystem::path& path, std::string* error = nullptr,
                          std::size_t maxSize = kDefaultMaxSize);

// The XML text of value, with an XML declaration, indented with tabs.
std::string serialize(const Value& value);
// Writes value to path atomically (see writeFileAtomically); false when that fails.
bool save(const std::filesystem::path& path, const Value& value);

// Shortcuts for the common look-up of one typed key in a dictionary.
std::optional<std::string> lookupString(const Value& dict, std::string_view key);
std::optional<std::int64_t> lookupInteger(const Value& dict, std::string_view key);

} // namespace macsim::plist

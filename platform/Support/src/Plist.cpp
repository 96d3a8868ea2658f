#include "macsim/Plist.h"

#include "macsim/Disk.h"
#include "macsim/TextEncoding.h"

#include <array>
#include <charconv>
#include <cstring>
#include <pugixml.hpp>

namespace macsim::plist {

namespace {

// Deeper nesting than this is no configuration file but an attack on the stack.
constexpr int kMaxDepth = 64;

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    int padding = 0;
    for (char c : text) {
        int sextet;
        if (c >= 'A' && c <= 'Z')
            sextet = c - 'A';
        else if (c >= 'a' && c <= 'z')
            sextet = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            sextet = c - '0' + 52;
        else if (c == '+')
            sextet = 62;
        else if (c == '/')
            sextet = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        else
            return std::nullopt;
        if (padding > 0)
            return std::nullopt; // data after the padding
        bits = (bits << 6) | static_cast<std::uint32_t>(sextet);
        if (++count == 4) {
            bytes.push_back(static_cast<std::uint8_t>(bits >> 16));
            bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
            bytes.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    // What is left over: 2 sextets make one byte, 3 make two; 1 is never valid.
    if (count == 1 || padding > 2 || (padding > 0 && count + padding != 4))
        return std::nullopt;
    if (count == 2) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> 4));
    } else if (count == 3) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> 10));
        bytes.push_back(static_cast<std::uint8_t>(bits >> 2));
    }
    return bytes;
}

std::string encodeBase64(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t bits = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kDigits[(bits >> shift) & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        std::uint32_t bits = bytes[i] << 16;
        if (rest == 2)
            bits |= bytes[i + 1] << 8;
        out += kDigits[(bits >> 18) & 63];
        out += kDigits[(bits >> 12) & 63];
        out += rest == 2 ? kDigits[(bits >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

class Reader {
public:
    explicit Reader(std::string* error) : error_(error) {}

    std::optional<Value> document(const pugi::xml_document& doc) {
        pugi::xml_node root;
        for (pugi::xml_node child : doc.children()) {
            if (child.type() == pugi::node_element) {
                if (root)
                    return fail("more than one root element");
                root = child;
            } else if (child.type() == pugi::node_pcdata && !isBlank(child.value())) {
                return fail("text outside the root element");
            }
        }
        if (!root || std::strcmp(root.name(), "plist") != 0)
            return fail("the root element is not <plist>");
        std::optional<Value> result;
        for (pugi::xml_node child : root.children()) {
            if (!significant(child))
                continue;
            if (result)
                return fail("<plist> holds more than one value");
            if (child.type() != pugi::node_element)
                return fail("text in <plist>");
            result = value(child, 1);
            if (!result)
                return std::nullopt;
        }
        if (!result)
            return fail("<plist> holds no value");
        return result;
    }

private:
    std::nullopt_t fail(const std::string& why) {
        if (error_ && error_->empty())
            *error_ = why;
        return std::nullopt;
    }

    // Comments, processing instructions and blank text between elements carry no value.
    static bool significant(pugi::xml_node node) {
        switch (node.type()) {
        case pugi::node_element:
        case pugi::node_cdata:
            return true;
        case pugi::node_pcdata:
            return !isBlank(node.value());
        default:
            return false;
        }
    }

    // The text of an element that may hold only text.
    std::optional<std::string> text(pugi::xml_node element) {
        std::string result;
        for (pugi::xml_node child : element.children()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                result += child.value();
            else if (child.type() == pugi::node_element)
                return fail(std::string("element <") + child.name() + "> inside <" +
                            element.name() + ">");
        }
        if (!isValidUtf8(result))
            return fail(std::string("text of <") + element.name() + "> is not UTF-8");
        return result;
    }

    std::optional<Value> value(pugi::xml_node element, int depth) {
        if (depth > kMaxDepth)
            return fail("values nested too deeply");
        const std::string_view name = element.name();
        if (name == "dict")
            return dict(element, depth);
        if (name == "array") {
            Array array;
            for (pugi::xml_node child : element.children()) {
                if (!significant(child))
                    continue;
                if (child.type() != pugi::node_element)
                    return fail("text in <array>");
                auto item = value(child, depth + 1);
                if (!item)
                    return std::nullopt;
                array.push_back(std::move(*item));
            }
            return Value(std::move(array));
        }
        if (name == "true" || name == "false") {
            for (pugi::xml_node child : element.children()) {
                if (significant(child))
                    return fail("<" + std::string(name) + "> is not empty");
            }
            return Value(name == "true");
        }
        auto content = text(element);
        if (!content)
            return std::nullopt;
        if (name == "string")
            return Value(std::move(*content));
        if (name == "date")
            return Value(Date{std::string(trimmed(*content))});
        if (name == "integer") {
            std::string_view digits = trimmed(*content);
            // One sign at most: "+5" is 5, "+-5" is no number.
            if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-')
                digits.remove_prefix(1);
            std::int64_t number = 0;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), number);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
                return fail("bad <integer> \"" + *content + "\"");
            return Value(number);
        }
        if (name == "real") {
            const std::string_view digits = trimmed(*content);
            double number = 0;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), number);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
                return fail("bad <real> \"" + *content + "\"");
            return Value(number);
        }
        if (name == "data") {
            auto bytes = decodeBase64(*content);
            if (!bytes)
                return fail("bad base64 in <data>");
            return Value(Data{std::move(*bytes)});
        }
        return fail("unknown element <" + std::string(name) + ">");
    }

    std::optional<Value> dict(pugi::xml_node element, int depth) {
        Dict members;
        std::optional<std::string> key;
        for (pugi::xml_node child : element.children()) {
            if (!significant(child))
                continue;
            if (child.type() != pugi::node_element)
                return fail("text in <dict>");
            if (!key) {
                if (std::strcmp(child.name(), "key") != 0)
                    return fail(std::string("<") + child.name() + "> where <dict> needs a <key>");
                key = text(child);
                if (!key)
                    return std::nullopt;
                for (const Member& member : members) {
                    if (member.key == *key)
                        return fail("duplicate key \"" + *key + "\"");
                }
                continue;
            }
            if (std::strcmp(child.name(), "key") == 0)
                return fail("key \"" + *key + "\" has no value");
            auto item = value(child, depth + 1);
            if (!item)
                return std::nullopt;
            members.push_back(Member{std::move(*key), std::move(*item)});
            key.reset();
        }
        if (key)
            return fail("key \"" + *key + "\" has no value");
        return Value(std::move(members));
    }

    std::string* error_;
};

void write(pugi::xml_node parent, const Value& value) {
    struct Writer {
        mutable pugi::xml_node parent;
        void element(const char* name, const std::string& content) const {
            parent.append_child(name).text().set(content.c_str());
        }
        void operator()(const std::string& s) const { element("string", s); }
        void operator()(std::int64_t i) const { element("integer", std::to_string(i)); }
        void operator()(double d) const {
            std::array<char, 64> buffer{};
            const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d);
            element("real", std::string(buffer.data(), result.ptr));
        }
        void operator()(bool b) const { parent.append_child(b ? "true" : "false"); }
        void operator()(const Data& d) const { element("data", encodeBase64(d.bytes)); }
        void operator()(const Date& d) const { element("date", d.text); }
        void operator()(const Array& a) const {
            pugi::xml_node node = parent.append_child("array");
            for (const Value& item : a)
                write(node, item);
        }
        void operator()(const Dict& d) const {
            pugi::xml_node node = parent.append_child("dict");
            for (const Member& member : d) {
                node.append_child("key").text().set(member.key.c_str());
                write(node, member.value);
            }
        }
    };
    std::visit(Writer{parent}, value.v);
}

} // namespace

bool Value::operator==(const Value& other) const {
    return v == other.v;
}

const Value* Value::find(std::string_view key) const {
    if (const Dict* members = dict()) {
        for (const Member& member : *members) {
            if (member.key == key)
                return &member.value;
        }
    }
    return nullptr;
}

void Value::set(std::string_view key, Value value) {
    Dict* members = dict();
    if (!members) {
        v = Dict{};
        members = dict();
    }
    for (Member& member : *members) {
        if (member.key == key) {
            member.value = std::move(value);
            return;
        }
    }
    members->push_back(Member{std::string(key), std::move(value)});
}

std::optional<Value> parse(std::span<const std::uint8_t> bytes, std::string* error,
                           std::size_t maxSize) {
    if (error)
        error->clear();
    if (bytes.size() > maxSize) {
        if (error)
            *error = "larger than " + std::to_string(maxSize) + " bytes";
        return std::nullopt;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed) {
        if (error)
            *error = std::string("not XML: ") + parsed.description() + " at byte " +
                     std::to_string(parsed.offset);
        return std::nullopt;
    }
    return Reader(error).document(doc);
}

std::optional<Value> parse(std::string_view text, std::string* error, std::size_t maxSize) {
    return parse(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), error,
                 maxSize);
}

std::optional<Value> load(const std::filesystem::path& path, std::string* error,
                          std::size_t maxSize) {
    const auto bytes = readFile(path, maxSize);
    if (!bytes) {
        if (error)
            *error = path.string() + ": missing, unreadable or larger than " +
                     std::to_string(maxSize) + " bytes";
        return std::nullopt;
    }
    auto value = parse(*bytes, error, maxSize);
    if (!value && error)
        *error = path.string() + ": " + *error;
    return value;
}

std::string serialize(const Value& value) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("plist");
    root.append_attribute("version") = "1.0";
    write(root, value);
    // Straight into a string: a string stream would set up the whole locale machinery first.
    struct StringWriter final : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    } out;
    doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    return std::move(out.text);
}

bool save(const std::filesystem::path& path, const Value& value) {
    const std::string text = serialize(value);
    return writeFileAtomically(
        path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<std::string> lookupString(const Value& dict, std::string_view key) {
    const Value* value = dict.find(key);
    if (const std::string* s = value ? value->string() : nullptr)
        return *s;
    return std::nullopt;
}

std::optional<std::int64_t> lookupInteger(const Value& dict, std::string_view key) {
    const Value* value = dict.find(key);
    if (const std::int64_t* i = value ? value->integer() : nullptr)
        return *i;
    return std::nullopt;
}

} // namespace macsim::plist

#include "ResourceSource.h"

#include <macsim/TextEncoding.h>

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <vector>

namespace rsrcbuild {
namespace {

constexpr std::uint8_t kPurgeable = 0x20;

// Thrown inside this file only, to leave a half-read element; buildFork turns it into an error.
struct SourceError {
    std::string message;
};

std::string where(const pugi::xml_node& node) {
    return "<" + std::string(node.name()) + "> at byte " + std::to_string(node.offset_debug());
}

[[noreturn]] void fail(const pugi::xml_node& node, const std::string& what) {
    throw SourceError{where(node) + ": " + what};
}

// Refuses attributes the element does not have, so that a misspelt one is not silently dropped.
void checkAttributes(const pugi::xml_node& node, std::initializer_list<std::string_view> known) {
    for (const pugi::xml_attribute& attribute : node.attributes())
        if (std::find(known.begin(), known.end(), attribute.name()) == known.end())
            fail(node, "unknown attribute \"" + std::string(attribute.name()) + "\"");
}

std::int64_t integer(const pugi::xml_node& node, const char* name, std::int64_t minimum,
                     std::int64_t maximum, std::optional<std::int64_t> fallback = std::nullopt) {
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        if (fallback)
            return *fallback;
        fail(node, std::string("missing attribute \"") + name + "\"");
    }
    std::string_view text = attribute.value();
    int base = 10;
    if (text.starts_with("0x")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        fail(node, std::string("attribute \"") + name + "\" is not a number");
    if (value < minimum || value > maximum)
        fail(node, std::string("attribute \"") + name + "\" is out of range");
    return value;
}

std::int16_t int16(const pugi::xml_node& node, const char* name,
                   std::optional<std::int64_t> fallback = std::nullopt) {
    return std::int16_t(integer(node, name, std::numeric_limits<std::int16_t>::min(),
                                std::numeric_limits<std::int16_t>::max(), fallback));
}

bool flag(const pugi::xml_node& node, const char* name, bool fallback) {
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        return fallback;
    std::string_view text = attribute.value();
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    fail(node, std::string("attribute \"") + name + "\" is neither true nor false");
}

// Text as the resource holds it: Mac Roman, at most 255 bytes.
std::string macRoman(const pugi::xml_node& node, std::string_view utf8, const char* what) {
    std::optional<std::string> text = macsim::utf8ToMacRoman(utf8);
    if (!text)
        fail(node, std::string(what) + " has characters that Mac Roman does not have");
    if (text->size() > 255)
        fail(node, std::string(what) + " is longer than 255 bytes");
    return *text;
}

class Bytes {
public:
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u16(std::uint16_t value) {
        u8(std::uint8_t(value >> 8));
        u8(std::uint8_t(value));
    }
    void u32(std::uint32_t value) {
        u16(std::uint16_t(value >> 16));
        u16(std::uint16_t(value));
    }
    void pascal(const std::string& text) {
        u8(std::uint8_t(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    void padToEven() {
        if (bytes_.size() % 2)
            u8(0);
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

void rect(const pugi::xml_node& node, Bytes& out) {
    std::int16_t top = int16(node, "top"), left = int16(node, "left");
    std::int16_t bottom = int16(node, "bottom"), right = int16(node, "right");
    if (bottom < top || right < left)
        fail(node, "the rectangle is inverted");
    out.u16(std::uint16_t(top));
    out.u16(std::uint16_t(left));
    out.u16(std::uint16_t(bottom));
    out.u16(std::uint16_t(right));
}

macsim::Resource header(const pugi::xml_node& node, std::uint32_t type) {
    macsim::Resource resource;
    resource.type = type;
    resource.id = int16(node, "id");
    if (pugi::xml_attribute name = node.attribute("name"))
        resource.name = macRoman(node, name.value(), "the name");
    resource.attributes = flag(node, "purgeable", false) ? kPurgeable : 0;
    return resource;
}

macsim::Resource dialogTemplate(const pugi::xml_node& node) {
    checkAttributes(node, {"id", "name", "purgeable", "top", "left", "bottom", "right", "proc",
                           "visible", "goAway", "refCon", "items", "title", "position"});
    macsim::Resource resource = header(node, 'DLOG');
    Bytes out;
    rect(node, out);
    out.u16(std::uint16_t(int16(node, "proc")));
    out.u8(flag(node, "visible", false));
    out.u8(0);
    out.u8(flag(node, "goAway", false));
    out.u8(0);
    out.u32(std::uint32_t(integer(node, "refCon", std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int32_t>::max(), 0)));
    out.u16(std::uint16_t(int16(node, "items")));
    out.pascal(macRoman(node, node.attribute("title").value(), "the title"));
    if (node.attribute("position")) {
        out.padToEven();
        out.u16(std::uint16_t(integer(node, "position", 0, 0xFFFF)));
    }
    resource.data = out.take();
    return resource;
}

struct ItemKind {
    std::string_view name;
    std::uint8_t code;
};
constexpr ItemKind kItemKinds[] = {
    {"button", 4}, {"check-box", 5}, {"radio-button", 6}, {"static-text", 8}, {"edit-text", 16},
};

macsim::Resource itemList(const pugi::xml_node& node) {
    checkAttributes(node, {"id", "name", "purgeable"});
    macsim::Resource resource = header(node, 'DITL');
    std::vector<pugi::xml_node> items;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (std::string_view(child.name()) != "item")
            fail(child, "is not an item");
        items.push_back(child);
    }
    if (items.empty() || items.size() > 0x10000)
        fail(node, "needs between 1 and 65536 items");
    Bytes out;
    out.u16(std::uint16_t(items.size() - 1)); // the count is stored minus one
    for (const pugi::xml_node& item : items) {
        checkAttributes(item, {"kind", "enabled", "top", "left", "bottom", "right"});
        std::string_view kindName = item.attribute("kind").value();
        auto kind = std::find_if(std::begin(kItemKinds), std::end(kItemKinds),
                                 [&](const ItemKind& k) { return k.name == kindName; });
        if (kind == std::end(kItemKinds))
            fail(item, "unknown kind \"" + std::string(kindName) + "\"");
        std::string text = macRoman(item, item.text().get(), "the text");
        out.u32(0);
        rect(item, out);
        out.u8(std::uint8_t(kind->code | (flag(item, "enabled", true) ? 0 : 0x80)));
        out.pascal(text);
        out.padToEven();
    }
    resource.data = out.take();
    return resource;
}

} // namespace

bool buildFork(std::string_view source, macsim::ResourceFork& fork, std::string& error) {
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(source.data(), source.size());
    if (!parsed) {
        error = "not well-formed XML at byte " + std::to_string(parsed.offset) + ": " +
                parsed.description();
        return false;
    }
    pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "resources") {
        error = "the document element is not <resources>";
        return false;
    }
    try {
        for (pugi::xml_node node : root.children()) {
            if (node.type() != pugi::node_element)
                continue;
            std::string_view name = node.name();
            macsim::Resource resource;
            if (name == "dlog")
                resource = dialogTemplate(node);
            else if (name == "ditl")
                resource = itemList(node);
            else
                fail(node, "is not a kind of resource this tool knows");
            if (std::optional<std::string> refused = fork.add(std::move(resource)))
                fail(node, *refused);
        }
    } catch (const SourceError& e) {
        error = e.message;
        return false;
    }
    return true;
}

} // namespace rsrcbuild

// The nib reader. A nib is read whole and checked whole: any element, attribute or value it does
// not know refuses the file, so that a typing error in a nib shows up as an error, not as a
// window that quietly lacks a button.
#include <Carbon/Carbon.h>
#include <macsim/Disk.h>
#include <macsim/Nib.h>
#include <macsim/TextEncoding.h>

#include <pugixml.hpp>

#include <charconv>
#include <initializer_list>
#include <set>

namespace macsim {

namespace {

constexpr std::size_t kMaxObjects = 64;
constexpr std::size_t kMaxMenus = 32;
constexpr std::size_t kMaxItems = 64;
constexpr std::size_t kMaxControls = 64;
constexpr std::size_t kMaxText = 1024;

struct Failure {
    std::string message;
};

std::string where(const pugi::xml_node& node) {
    return "<" + std::string(node.name()) + ">";
}

void checkAttributes(const pugi::xml_node& node, std::initializer_list<std::string_view> known) {
    for (const pugi::xml_attribute& a : node.attributes()) {
        bool ok = false;
        for (std::string_view k : known)
            ok = ok || k == a.name();
        if (!ok)
            throw Failure{where(node) + " has an unknown attribute \"" + a.name() + "\""};
    }
}

std::string text(std::string_view value, const pugi::xml_node& node, std::string_view what) {
    if (value.size() > kMaxText)
        throw Failure{where(node) + " " + std::string(what) + " is too long"};
    if (!isValidUtf8(value))
        throw Failure{where(node) + " " + std::string(what) + " is not UTF-8"};
    // Runs of white space are one space, so that long texts can be laid out in the file.
    std::string out;
    bool space = false;
    for (char c : value) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

std::string attribute(const pugi::xml_node& node, const char* name, bool required) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) {
        if (required)
            throw Failure{where(node) + " needs the attribute \"" + name + "\""};
        return {};
    }
    return text(a.value(), node, name);
}

bool flag(const pugi::xml_node& node, const char* name, bool otherwise) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a)
        return otherwise;
    const std::string_view v = a.value();
    if (v == "true")
        return true;
    if (v == "false")
        return false;
    throw Failure{where(node) + " " + name + " must be true or false"};
}

std::int32_t integer(const pugi::xml_node& node, const char* name, std::int32_t otherwise) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a)
        return otherwise;
    const std::string_view v = a.value();
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size())
        throw Failure{where(node) + " " + name + " must be a 32-bit integer"};
    return value;
}

std::uint32_t fourCharCode(const pugi::xml_node& node, const char* name, bool required) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) {
        if (required)
            throw Failure{where(node) + " needs the attribute \"" + name + "\""};
        return 0;
    }
    const std::string_view v = a.value();
    bool printable = v.size() == 4;
    for (char c : v)
        printable = printable && c >= 0x20 && c <= 0x7E;
    if (!printable)
        throw Failure{where(node) + " " + name + " must be four printable ASCII characters"};
    return FOUR_CHAR_CODE(v[0], v[1], v[2], v[3]);
}

Rect bounds(const pugi::xml_node& node) {
    Rect r;
    const pugi::xml_attribute a = node.attribute("bounds");
    if (!a)
        return r;
    const std::string_view v = a.value();
    int values[4] = {};
    const char* p = v.data();
    const char* end = v.data() + v.size();
    for (int i = 0; i < 4; ++i) {
        while (p < end && *p == ' ')
            ++p;
        const auto [next, ec] = std::from_chars(p, end, values[i]);
        if (ec != std::errc() || values[i] < -32768 || values[i] > 32767)
            throw Failure{where(node) + " bounds must be four numbers: top left bottom right"};
        p = next;
    }
    while (p < end && *p == ' ')
        ++p;
    if (p != end || values[2] < values[0] || values[3] < values[1])
        throw Failure{where(node) + " bounds must be four numbers: top left bottom right"};
    r.top = values[0];
    r.left = values[1];
    r.bottom = values[2];
    r.right = values[3];
    return r;
}

std::string objectName(const pugi::xml_node& node, std::set<std::string>& names) {
    std::string name = attribute(node, "name", true);
    if (name.empty())
        throw Failure{where(node) + " has an empty name"};
    if (!names.insert(name).second)
        throw Failure{"two objects are named \"" + name + "\""};
    return name;
}

NibMenuBar readMenuBar(const pugi::xml_node& node, std::set<std::string>& names) {
    checkAttributes(node, {"name"});
    NibMenuBar bar;
    bar.name = objectName(node, names);
    for (const pugi::xml_node& m : node.children()) {
        if (m.type() != pugi::node_element)
            continue;
        if (std::string_view(m.name()) != "menu")
            throw Failure{"<menubar> may hold only <menu>, not " + where(m)};
        if (bar.menus.size() == kMaxMenus)
            throw Failure{"too many menus"};
        checkAttributes(m, {"title"});
        Menu menu;
        menu.title = attribute(m, "title", true);
        for (const pugi::xml_node& i : m.children()) {
            if (i.type() != pugi::node_element)
                continue;
            if (menu.items.size() == kMaxItems)
                throw Failure{"too many items in menu \"" + menu.title + "\""};
            MenuItem item;
            const std::string_view kind = i.name();
            if (kind == "separator") {
                checkAttributes(i, {});
                item.separator = true;
            } else if (kind == "item") {
                checkAttributes(i, {"title", "command", "enabled", "checked"});
                item.title = attribute(i, "title", true);
                item.command = fourCharCode(i, "command", false);
                item.enabled = flag(i, "enabled", true);
                item.checked = flag(i, "checked", false);
            } else {
                throw Failure{"<menu> may hold only <item> and <separator>, not " + where(i)};
            }
            menu.items.push_back(std::move(item));
        }
        bar.menus.push_back(std::move(menu));
    }
    return bar;
}

Control readControl(const pugi::xml_node& node) {
    for (const pugi::xml_node& child : node.children())
        if (child.type() == pugi::node_element)
            throw Failure{where(node) + " may hold only text, not " + where(child)};
    Control c;
    const std::string_view kind = node.name();
    if (kind == "button") {
        checkAttributes(node, {"signature", "id", "bounds", "enabled", "default", "cancel"});
        c.kind = ControlKind::PushButton;
        c.isDefault = flag(node, "default", false);
        c.isCancel = flag(node, "cancel", false);
        c.text = text(node.child_value(), node, "title");
    } else if (kind == "text") {
        checkAttributes(node, {"signature", "id", "bounds", "enabled"});
        c.kind = ControlKind::StaticText;
        c.text = text(node.child_value(), node, "text");
    } else if (kind == "slider") {
        checkAttributes(node,
                        {"signature", "id", "bounds", "enabled", "value", "minimum", "maximum"});
        c.kind = ControlKind::Slider;
        c.minimum = integer(node, "minimum", 0);
        c.maximum = integer(node, "maximum", 100);
        c.value = integer(node, "value", c.minimum);
        if (c.maximum < c.minimum || c.value < c.minimum || c.value > c.maximum)
            throw Failure{"<slider> needs minimum <= value <= maximum"};
    } else {
        throw Failure{"<window> may hold only <button>, <text> and <slider>, not " + where(node)};
    }
    c.signature = fourCharCode(node, "signature", true);
    c.number = integer(node, "id", 0);
    c.bounds = bounds(node);
    c.enabled = flag(node, "enabled", true);
    return c;
}

NibWindow readWindow(const pugi::xml_node& node, std::set<std::string>& names) {
    checkAttributes(node, {"name", "title", "bounds", "closebox", "standard-handler"});
    NibWindow w;
    w.name = objectName(node, names);
    w.window.name = w.name;
    w.window.title = attribute(node, "title", false);
    w.window.bounds = bounds(node);
    w.window.hasCloseBox = flag(node, "closebox", true);
    w.standardHandler = flag(node, "standard-handler", false);
    bool hasDefault = false, hasCancel = false;
    for (const pugi::xml_node& c : node.children()) {
        if (c.type() != pugi::node_element)
            continue;
        if (w.controls.size() == kMaxControls)
            throw Failure{"too many controls in window \"" + w.name + "\""};
        Control control = readControl(c);
        if ((control.isDefault && hasDefault) || (control.isCancel && hasCancel))
            throw Failure{"window \"" + w.name + "\" has two default or two cancel buttons"};
        hasDefault = hasDefault || control.isDefault;
        hasCancel = hasCancel || control.isCancel;
        w.controls.push_back(std::move(control));
    }
    return w;
}

std::size_t lineOf(std::string_view xml, std::ptrdiff_t offset) {
    std::size_t line = 1;
    for (std::ptrdiff_t i = 0; i < offset && i < std::ptrdiff_t(xml.size()); ++i)
        line += xml[static_cast<std::size_t>(i)] == '\n';
    return line;
}

} // namespace

const NibMenuBar* Nib::menuBar(std::string_view name) const {
    for (const NibMenuBar& m : menuBars)
        if (m.name == name)
            return &m;
    return nullptr;
}

const NibWindow* Nib::window(std::string_view name) const {
    for (const NibWindow& w : windows)
        if (w.name == name)
            return &w;
    return nullptr;
}

bool Nib::hasObject(std::string_view name) const {
    return menuBar(name) || window(name);
}

std::optional<Nib> parseNib(std::string_view xml, NibError* error) {
    auto fail = [error](std::string message) -> std::optional<Nib> {
        if (error)
            *error = NibError{kIBCarbonRuntimeMalformedNib, std::move(message)};
        return std::nullopt;
    };
    if (xml.size() > kMaxNibSize)
        return fail("the nib is larger than " + std::to_string(kMaxNibSize) + " bytes");
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        return fail("line " + std::to_string(lineOf(xml, parsed.offset)) + ": " +
                    parsed.description());
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "nib")
        return fail("the root element is not <nib>");
    try {
        checkAttributes(root, {"version"});
        if (root.attribute("version") && std::string_view(root.attribute("version").value()) != "1")
            throw Failure{"only nib version 1 is known"};
        Nib nib;
        std::set<std::string> names;
        for (const pugi::xml_node& node : root.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (names.size() == kMaxObjects)
                throw Failure{"too many objects"};
            const std::string_view kind = node.name();
            if (kind == "menubar")
                nib.menuBars.push_back(readMenuBar(node, names));
            else if (kind == "window")
                nib.windows.push_back(readWindow(node, names));
            else
                throw Failure{"<nib> may hold only <menubar> and <window>, not " + where(node)};
        }
        return nib;
    } catch (const Failure& failure) {
        return fail(failure.message);
    }
}

std::optional<Nib> loadNibFile(const std::filesystem::path& path, NibError* error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error)
            *error = NibError{kIBCarbonRuntimeCantFindNibFile, "no nib at " + path.string()};
        return std::nullopt;
    }
    const auto bytes = readFile(path, kMaxNibSize);
    if (!bytes) {
        if (error)
            *error = NibError{kIBCarbonRuntimeMalformedNib,
                              "cannot read " + path.string() + " (unreadable or too large)"};
        return std::nullopt;
    }
    return parseNib(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                    error);
}

} // namespace macsim

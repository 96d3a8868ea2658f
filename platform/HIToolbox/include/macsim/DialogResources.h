// The Dialog Manager's two resource formats, 'DLOG' (a dialog template) and 'DITL' (its item
// list), parsed from their big-endian bytes. Resource data comes from files, so every length and
// offset is checked against the bytes at hand: a malformed resource gives an error, never a read
// past its end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace macsim {

struct DialogRect {
    std::int16_t top = 0, left = 0, bottom = 0, right = 0;
};

// The window definition a 'DLOG' asks for.
enum class DialogProc : std::int16_t {
    Document = 0,
    DBox = 1, // modal dialog box
    PlainDBox = 2,
    AltDBox = 3,
    NoGrowDoc = 4,
    MovableDBox = 5,
    ZoomDoc = 8,
    ZoomNoGrow = 12,
    RDoc = 16,
};

struct DialogTemplate {
    DialogRect bounds;
    DialogProc procID = DialogProc::DBox;
    bool visible = false; // shown at once by GetNewDialog
    bool goAway = false;  // has a close box
    std::int32_t refCon = 0;
    std::int16_t itemsID = 0;              // the 'DITL' that holds the items
    std::string title;                     // Mac Roman bytes, as stored
    std::optional<std::uint16_t> position; // the System 7 position word, when present
};

enum class DialogItemKind : std::uint8_t {
    User = 0,
    Help = 1,
    Button = 4,
    CheckBox = 5,
    RadioButton = 6,
    Control = 7,
    StaticText = 8,
    EditText = 16,
    Icon = 32,
    Picture = 64,
};

struct DialogItem {
    DialogRect bounds;
    DialogItemKind kind = DialogItemKind::User;
    bool enabled = true;            // the type byte's 0x80 bit clear
    std::vector<std::uint8_t> data; // the title or text (Mac Roman), or a resource ID
};

// A parse result: the value, or the reason it was refused.
template <typename T> struct Parsed {
    std::optional<T> value;
    std::string error;
    explicit operator bool() const { return value.has_value(); }
};

Parsed<DialogTemplate> parseDialogTemplate(std::span<const std::uint8_t> bytes);
Parsed<std::vector<DialogItem>> parseDialogItemList(std::span<const std::uint8_t> bytes);

} // namespace macsim

#include <macsim/DialogResources.h>

#include <algorithm>

namespace macsim {

namespace {

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint16_t((bytes[at] << 8) | bytes[at + 1]);
}

std::int32_t read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::int32_t((std::uint32_t(read16(bytes, at)) << 16) | read16(bytes, at + 2));
}

// Reads a rectangle at the given offset; the caller has checked that 8 bytes are there.
std::optional<DialogRect> readRect(std::span<const std::uint8_t> bytes, std::size_t at) {
    DialogRect rect{std::int16_t(read16(bytes, at)), std::int16_t(read16(bytes, at + 2)),
                    std::int16_t(read16(bytes, at + 4)), std::int16_t(read16(bytes, at + 6))};
    if (rect.bottom < rect.top || rect.right < rect.left)
        return std::nullopt;
    return rect;
}

bool knownProc(std::int16_t proc) {
    switch (DialogProc(proc)) {
    case DialogProc::Document:
    case DialogProc::DBox:
    case DialogProc::PlainDBox:
    case DialogProc::AltDBox:
    case DialogProc::NoGrowDoc:
    case DialogProc::MovableDBox:
    case DialogProc::ZoomDoc:
    case DialogProc::ZoomNoGrow:
    case DialogProc::RDoc:
        return true;
    }
    return false;
}

// The data lengths each item kind allows; a negative entry means any length.
struct ItemShape {
    DialogItemKind kind;
    int length1;
    int length2;
};
constexpr ItemShape kItemShapes[] = {
    {DialogItemKind::User, 0, 0},          {DialogItemKind::Help, 4, 6},
    {DialogItemKind::Button, -1, -1},      {DialogItemKind::CheckBox, -1, -1},
    {DialogItemKind::RadioButton, -1, -1}, {DialogItemKind::Control, 2, 2},
    {DialogItemKind::StaticText, -1, -1},  {DialogItemKind::EditText, -1, -1},
    {DialogItemKind::Icon, 2, 2},          {DialogItemKind::Picture, 2, 2},
};

const ItemShape* shapeOf(std::uint8_t kind) {
    auto it = std::find_if(std::begin(kItemShapes), std::end(kItemShapes),
                           [kind](const ItemShape& s) { return std::uint8_t(s.kind) == kind; });
    return it == std::end(kItemShapes) ? nullptr : it;
}

template <typename T> Parsed<T> refuse(std::string why) {
    return Parsed<T>{std::nullopt, why};
}

} // namespace

Parsed<DialogTemplate> parseDialogTemplate(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kFixedPart = 21; // up to and including the title's length byte
    if (bytes.size() < kFixedPart)
        return refuse<DialogTemplate>("'DLOG' is " + std::to_string(bytes.size()) +
                                      " bytes, shorter than its fixed part of 21");
    DialogTemplate dlog;
    auto bounds = readRect(bytes, 0);
    if (!bounds)
        return refuse<DialogTemplate>("'DLOG' bounds are inverted");
    dlog.bounds = *bounds;
    auto proc = std::int16_t(read16(bytes, 8));
    if (!knownProc(proc))
        return refuse<DialogTemplate>("'DLOG' asks for unknown window kind " +
                                      std::to_string(proc));
    dlog.procID = DialogProc(proc);
    dlog.visible = bytes[10] != 0;
    dlog.goAway = bytes[12] != 0;
    dlog.refCon = read32(bytes, 14);
    dlog.itemsID = std::int16_t(read16(bytes, 18));
    std::size_t titleLength = bytes[20];
    if (kFixedPart + titleLength > bytes.size())
        return refuse<DialogTemplate>("'DLOG' title runs past the end of the resource");
    dlog.title.assign(reinterpret_cast<const char*>(bytes.data() + kFixedPart), titleLength);
    // The position word, when there is one, stands at the next even offset.
    std::size_t at = kFixedPart + titleLength;
    at += at % 2;
    if (at + 2 <= bytes.size())
        dlog.position = read16(bytes, at);
    return Parsed<DialogTemplate>{std::move(dlog), {}};
}

Parsed<std::vector<DialogItem>> parseDialogItemList(std::span<const std::uint8_t> bytes) {
    using Result = std::vector<DialogItem>;
    constexpr std::size_t kItemHeader = 14;
    if (bytes.size() < 2)
        return refuse<Result>("'DITL' is too short to hold its item count");
    // The count is stored minus one, so 0xFFFF stands for an empty list.
    std::size_t count = (read16(bytes, 0) + 1u) & 0xFFFFu;
    Result items;
    items.reserve(std::min(count, bytes.size() / kItemHeader));
    std::size_t at = 2;
    for (std::size_t n = 1; n <= count; ++n) {
        std::string which = "'DITL' item " + std::to_string(n);
        if (at + kItemHeader > bytes.size())
            return refuse<Result>(which + " runs past the end of the resource");
        DialogItem item;
        auto bounds = readRect(bytes, at + 4);
        if (!bounds)
            return refuse<Result>(which + " has an inverted rectangle");
        item.bounds = *bounds;
        std::uint8_t type = bytes[at + 12];
        item.enabled = (type & 0x80) == 0;
        const ItemShape* shape = shapeOf(type & 0x7F);
        if (!shape)
            return refuse<Result>(which + " is of unknown kind " + std::to_string(type & 0x7F));
        item.kind = shape->kind;
        std::size_t length = bytes[at + 13];
        if (shape->length1 >= 0 && int(length) != shape->length1 && int(length) != shape->length2)
            return refuse<Result>(which + " has data of the wrong length " +
                                  std::to_string(length));
        if (at + kItemHeader + length > bytes.size())
            return refuse<Result>(which + " data runs past the end of the resource");
        auto data = bytes.subspan(at + kItemHeader, length);
        item.data.assign(data.begin(), data.end());
        items.push_back(std::move(item));
        // Items start at even offsets; the last one's pad byte may be left out.
        at += kItemHeader + length + length % 2;
    }
    return Parsed<Result>{std::move(items), {}};
}

} // namespace macsim

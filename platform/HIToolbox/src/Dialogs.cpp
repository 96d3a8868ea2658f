// The Dialog Manager: dialogs from 'DLOG' and 'DITL' resources, shown as alert windows of the
// window server, with the ParamText slots and ModalDialog.
#include "Toolbox.h"

#include <macsim/DialogResources.h>
#include <macsim/NoDestructor.h>
#include <macsim/TextEncoding.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace macsim {
namespace {

struct DialogRecord {
    std::vector<Id> items; // the items' controls, in item order
    // The Mac Roman text of each static text item as the resource has it, with its ^0-^3 still
    // in place; nothing for other items.
    std::vector<std::optional<std::string>> texts;
};

// The process's open dialogs, by window id, and the ParamText slots: state of the Dialog Manager
// that the window server does not hold. Never destroyed, like the window server itself.
std::map<Id, DialogRecord>& dialogs() {
    static NoDestructor<std::map<Id, DialogRecord>> open;
    return *open;
}

std::array<std::string, 4>& paramSlots() {
    static NoDestructor<std::array<std::string, 4>> slots;
    return *slots;
}

DialogRef dialogRef(Id window) {
    return reinterpret_cast<DialogRef>(std::uintptr_t(window));
}

Id windowOf(DialogRef dialog) {
    return Id(reinterpret_cast<std::uintptr_t>(dialog));
}

// The record of a dialog that is still open; null for anything else.
DialogRecord* recordOf(DialogRef dialog) {
    auto it = dialogs().find(windowOf(dialog));
    if (it == dialogs().end() || !WindowServer::shared().window(it->first))
        return nullptr;
    return &it->second;
}

// The bytes of a resource of the current chain; nothing when it is missing.
std::optional<std::span<const std::uint8_t>> resourceBytes(ResType type, ResID id) {
    Handle handle = GetResource(type, id);
    if (!handle || !*handle)
        return std::nullopt;
    Size size = GetHandleSize(handle);
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(*handle),
                                         std::size_t(std::max<Size>(size, 0)));
}

// Replaces ^0 to ^3 by the ParamText slots; a caret before anything else stays as it is. What a
// slot brings in is not searched again.
std::string substitute(std::string_view text) {
    const auto& slots = paramSlots();
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
            out += slots[std::size_t(text[i + 1] - '0')];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string textOf(const std::vector<std::uint8_t>& macRoman) {
    return macRomanToUtf8(
        std::string_view(reinterpret_cast<const char*>(macRoman.data()), macRoman.size()));
}

Rect rectOf(const DialogRect& r) {
    return Rect{r.top, r.left, r.bottom, r.right};
}

std::string pascalText(ConstStr255Param text) {
    return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
}

void drawDialog(const DialogRecord& record) {
    WindowServer& server = WindowServer::shared();
    for (std::size_t i = 0; i < record.items.size(); ++i) {
        if (record.texts[i])
            server.setControlText(record.items[i], macRomanToUtf8(substitute(*record.texts[i])));
    }
}

// The frontmost window that is an open dialog; 0 when there is none.
Id frontDialog() {
    for (Id window : WindowServer::shared().windowsFrontToBack())
        if (dialogs().contains(window))
            return window;
    return 0;
}

DialogRef newDialog(SInt16 dialogID) {
    auto dlogBytes = resourceBytes('DLOG', dialogID);
    if (!dlogBytes)
        return nullptr;
    Parsed<DialogTemplate> dlog = parseDialogTemplate(*dlogBytes);
    if (!dlog)
        return nullptr;
    auto ditlBytes = resourceBytes('DITL', dlog.value->itemsID);
    if (!ditlBytes)
        return nullptr;
    Parsed<std::vector<DialogItem>> items = parseDialogItemList(*ditlBytes);
    // A dialog without items could never be dismissed, and items are numbered with 16 bits.
    if (!items || items.value->empty() ||
        items.value->size() > std::size_t(std::numeric_limits<DialogItemIndex>::max()))
        return nullptr;

    Window window;
    window.name = "DLOG " + std::to_string(dialogID);
    window.title = macRomanToUtf8(dlog.value->title);
    window.kind = WindowKind::Alert;
    window.hasCloseBox = dlog.value->goAway;
    window.bounds = rectOf(dlog.value->bounds);

    DialogRecord record;
    std::vector<Control> controls;
    for (std::size_t i = 0; i < items.value->size(); ++i) {
        const DialogItem& item = (*items.value)[i];
        Control control;
        control.number = std::int32_t(i + 1);
        control.enabled = item.enabled;
        control.bounds = rectOf(item.bounds);
        std::optional<std::string> text;
        switch (item.kind) {
        case DialogItemKind::Button:
            control.kind = ControlKind::PushButton;
            control.text = textOf(item.data);
            break;
        case DialogItemKind::StaticText:
            control.kind = ControlKind::StaticText;
            text.emplace(item.data.begin(), item.data.end());
            control.text = macRomanToUtf8(substitute(*text));
            break;
        default:
            return nullptr;
        }
        controls.push_back(std::move(control));
        record.texts.push_back(std::move(text));
    }

    const Id id = createToolboxWindow(std::move(window), std::move(controls));
    record.items = WindowServer::shared().window(id)->controls;
    auto& stored = dialogs()[id] = std::move(record);
    if (dlog.value->visible) {
        WindowServer::shared().showWindow(id, true);
        drawDialog(stored);
    }
    return dialogRef(id);
}

OSErr setSpecialItem(DialogRef dialog, DialogItemIndex item,
                     void (WindowServer::*set)(Id window, Id control)) {
    DialogRecord* record = recordOf(dialog);
    if (!record || item < 0 || std::size_t(item) > record->items.size())
        return paramErr;
    (WindowServer::shared().*set)(windowOf(dialog), item == 0 ? 0 : record->items[item - 1]);
    return noErr;
}

} // namespace
} // namespace macsim

using namespace macsim;

extern "C" {

// Stands in for GetNewDialog.
DialogRef GetNewDialog(SInt16 dialogID, void*, WindowRef) {
    return newDialog(dialogID);
}

// Stands in for GetDialogWindow.
WindowRef GetDialogWindow(DialogRef dialog) {
    return recordOf(dialog) ? windowRef(windowOf(dialog)) : nullptr;
}

// Stands in for GetDialogPort.
CGrafPtr GetDialogPort(DialogRef dialog) {
    return recordOf(dialog) ? GetWindowPort(windowRef(windowOf(dialog))) : nullptr;
}

// Stands in for SetDialogDefaultItem.
OSErr SetDialogDefaultItem(DialogRef dialog, DialogItemIndex item) {
    return setSpecialItem(dialog, item, &WindowServer::setDefaultControl);
}

// Stands in for SetDialogCancelItem.
OSErr SetDialogCancelItem(DialogRef dialog, DialogItemIndex item) {
    return setSpecialItem(dialog, item, &WindowServer::setCancelControl);
}

// Stands in for CountDITL.
DialogItemIndex CountDITL(DialogRef dialog) {
    const DialogRecord* record = recordOf(dialog);
    return record ? DialogItemIndex(record->items.size()) : 0;
}

// Stands in for GetDialogItemAsControl.
OSErr GetDialogItemAsControl(DialogRef dialog, SInt16 item, ControlRef* control) {
    const DialogRecord* record = recordOf(dialog);
    if (!control)
        return paramErr;
    *control = nullptr;
    if (!record || item < 1 || std::size_t(item) > record->items.size())
        return paramErr;
    *control = controlRef(record->items[std::size_t(item) - 1]);
    return noErr;
}

// Stands in for ParamText.
void ParamText(ConstStr255Param text0, ConstStr255Param text1, ConstStr255Param text2,
               ConstStr255Param text3) {
    const ConstStr255Param texts[] = {text0, text1, text2, text3};
    for (std::size_t i = 0; i < 4; ++i)
        if (texts[i])
            paramSlots()[i] = pascalText(texts[i]);
}

// Stands in for DrawDialog.
void DrawDialog(DialogRef dialog) {
    if (const DialogRecord* record = recordOf(dialog))
        drawDialog(*record);
}

// Stands in for ModalDialog.
void ModalDialog(ModalFilterUPP, DialogItemIndex* itemHit) {
    DialogItemIndex hit = 0;
    const Id window = frontDialog();
    if (window) {
        WindowServer& server = WindowServer::shared();
        const DialogRecord& record = dialogs()[window];
        server.showWindow(window, true);
        drawDialog(record);
        const std::vector<Id> items = record.items;
        runModalLoop(window, [&](const Action& action) {
            const std::optional<Id> chosen = controlChosenBy(action);
            if (!chosen)
                return false;
            auto it = std::find(items.begin(), items.end(), *chosen);
            const Control* control = server.control(*chosen);
            if (it == items.end() || !control || !control->enabled)
                return false;
            hit = DialogItemIndex(it - items.begin() + 1);
            return true;
        });
    }
    if (itemHit)
        *itemHit = hit;
}

// Stands in for DisposeDialog.
void DisposeDialog(DialogRef dialog) {
    auto it = dialogs().find(windowOf(dialog));
    if (it == dialogs().end())
        return;
    dialogs().erase(it);
    disposeToolboxWindow(windowOf(dialog));
}

} // extern "C"

// NSStatusBar and NSStatusItem, mirrored into the window server's status items.
#include "HeldString.h"

#include <AppKit/AppKit.h>
#include <macsim/CFString.h>
#include <macsim/WindowServer.h>

#include <algorithm>

NSStatusBar* NSStatusBar::systemStatusBar() {
    // The status bar is the window server's; this object is only its face, made once and
    // immortal, so no unbalanced release can take it away while status items are shown.
    static NSStatusBar* bar = [] {
        auto* made = new NSStatusBar();
        made->makeImmortal();
        return made;
    }();
    return bar;
}

// Out of line, so that the class's type information lives in the platform library alone.
NSStatusBar::~NSStatusBar() = default;

NSStatusItem* NSStatusBar::statusItemWithLength(CGFloat length) {
    auto* item = new NSStatusItem(length);
    macsim::WindowServer& server = macsim::WindowServer::shared();
    item->serverId_ = server.addStatusItem();
    server.setStatusChooser(item->serverId_, [item](std::size_t row) { item->choose(row); });
    items_.push_back(item); // the creation reference is the bar's
    return item;
}

void NSStatusBar::removeStatusItem(NSStatusItem* item) {
    auto found = std::find(items_.begin(), items_.end(), item);
    if (found == items_.end())
        return;
    items_.erase(found);
    item->leaveServer();
    item->release();
}

NSStatusItem::NSStatusItem(CGFloat length) : length_(length) {}

NSStatusItem::~NSStatusItem() {
    leaveServer();
    setMenu(nullptr);
    if (title_ != nullptr)
        CFRelease(title_);
}

void NSStatusItem::leaveServer() {
    if (serverId_ != 0)
        macsim::WindowServer::shared().removeStatusItem(serverId_);
    serverId_ = 0;
}

void NSStatusItem::setTitle(NSString* title) {
    macsim::appkit::replaceString(title_, title);
    if (serverId_ != 0)
        macsim::WindowServer::shared().setStatusTitle(serverId_, macsim::stringText(title_));
}

void NSStatusItem::setHighlightMode(BOOL on) {
    if (serverId_ != 0)
        macsim::WindowServer::shared().setStatusHighlightMode(serverId_, on != NO);
}

void NSStatusItem::setMenu(NSMenu* menu) {
    if (menu == menu_)
        return;
    if (menu != nullptr) {
        menu->retain();
        menu->shownBy_.push_back(this);
    }
    if (menu_ != nullptr) {
        std::erase(menu_->shownBy_, this);
        menu_->release();
    }
    menu_ = menu;
    showRows();
}

void NSStatusItem::showRows() {
    if (serverId_ == 0)
        return;
    std::vector<macsim::StatusRow> rows;
    if (menu_ != nullptr) {
        for (NSMenuItem* item : menu_->items_) {
            macsim::StatusRow row;
            row.separator = item->isSeparatorItem() != NO;
            if (!row.separator) {
                row.title = macsim::stringText(item->title());
                row.enabled = item->isEnabled() != NO;
                row.checked = item->state() == NSOnState;
            } else {
                row.enabled = false;
            }
            rows.push_back(std::move(row));
        }
    }
    macsim::WindowServer::shared().setStatusRows(serverId_, std::move(rows));
}

// A row chosen in a front end: its item's action goes to its target with the item as sender.
// Everything involved is held for the call, since the action may run for long (a modal dialog)
// and may change the menu or the status item meanwhile.
void NSStatusItem::choose(std::size_t row) {
    if (menu_ == nullptr || row >= menu_->items_.size())
        return;
    NSMenuItem* item = menu_->items_[row];
    if (item->isSeparatorItem() || !item->isEnabled())
        return;
    retain();
    item->retain();
    id target = item->target();
    if (target != nullptr)
        target->retain();
    item->action().perform(target, item);
    if (target != nullptr)
        target->release();
    item->release();
    release();
}

// NSMenu and NSMenuItem. A change to a menu or one of its items is shown at once by every status
// item that shows the menu.
#include "HeldString.h"

#include <AppKit/AppKit.h>

#include <algorithm>

using macsim::appkit::replaceString;

NSMenuItem::~NSMenuItem() {
    replaceString(title_, nullptr);
    replaceString(keyEquivalent_, nullptr);
}

NSMenuItem* NSMenuItem::initWithTitle_action_keyEquivalent(NSString* title, SEL action,
                                                           NSString* keyEquivalent) {
    NSObject::init();
    replaceString(title_, title);
    replaceString(keyEquivalent_, keyEquivalent);
    action_ = action;
    return this;
}

NSMenuItem* NSMenuItem::separatorItem() {
    NSMenuItem* item =
        alloc<NSMenuItem>()->initWithTitle_action_keyEquivalent(NSSTR(""), SEL(), NSSTR(""));
    item->separator_ = YES;
    item->enabled_ = NO;
    item->autorelease();
    return item;
}

void NSMenuItem::setTarget(id target) {
    target_ = target;
}

void NSMenuItem::setAction(SEL action) {
    action_ = action;
}

// The host sets the same titles, check marks and availability again on every refresh; only a
// real change reaches the status items that show the menu.
void NSMenuItem::setTitle(NSString* title) {
    const bool same = title == title_ || (title != nullptr && title_ != nullptr &&
                                          CFStringEqual((CFStringRef)title, (CFStringRef)title_));
    replaceString(title_, title);
    if (!same)
        changed();
}

void NSMenuItem::setState(NSInteger state) {
    if (state == state_)
        return;
    state_ = state;
    changed();
}

void NSMenuItem::setEnabled(BOOL enabled) {
    const BOOL value = enabled ? YES : NO;
    if (value == enabled_)
        return;
    enabled_ = value;
    changed();
}

void NSMenuItem::changed() {
    if (menu_ != nullptr)
        menu_->changed();
}

NSMenu::~NSMenu() {
    for (NSMenuItem* item : items_) {
        item->menu_ = nullptr;
        item->release();
    }
    replaceString(title_, nullptr);
}

NSZone* NSMenu::menuZone() {
    return nullptr;
}

NSMenu* NSMenu::initWithTitle(NSString* title) {
    NSObject::init();
    replaceString(title_, title);
    return this;
}

void NSMenu::addItem(NSMenuItem* item) {
    if (item == nullptr || item->menu_ != nullptr)
        return;
    item->retain();
    item->menu_ = this;
    items_.push_back(item);
    changed();
}

NSMenuItem* NSMenu::itemAtIndex(NSInteger index) const {
    if (index < 0 || index >= numberOfItems())
        return nullptr;
    return items_[std::size_t(index)];
}

void NSMenu::changed() {
    for (NSStatusItem* item : shownBy_)
        item->showRows();
}

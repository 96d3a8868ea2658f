// AppKit of the simulated Mac: just what a status-bar plug-in inside a Carbon application needs.
// Status items and their menus are mirrored into the window server, so the menu bar that Carbon
// shows and the status items that AppKit makes are one; choosing a status-menu row in a front end
// sends the row's action to its target, with the menu item as argument, inside the application's
// event loop.
#pragma once

#include <Foundation/Foundation.h>

#include <cstdint>
#include <vector>

enum : NSInteger {
    NSOffState = 0,
    NSOnState = 1,
    NSMixedState = -1,
};

constexpr CGFloat NSVariableStatusItemLength = -1.0;

class NSMenu;
class NSStatusItem;

class MACSIM_VISIBLE NSMenuItem : public NSObject {
public:
    ~NSMenuItem() override;

    NSMenuItem* initWithTitle_action_keyEquivalent(NSString* title, SEL action,
                                                   NSString* keyEquivalent);
    // A separator line; autoreleased.
    static NSMenuItem* separatorItem();

    // The target is not retained: it must outlive the item's use.
    void setTarget(id target);
    void setAction(SEL action);
    void setTitle(NSString* title);
    void setState(NSInteger state);
    void setEnabled(BOOL enabled);

    id target() const { return target_; }
    SEL action() const { return action_; }
    NSString* title() const { return title_; }
    NSInteger state() const { return state_; }
    BOOL isEnabled() const { return enabled_; }
    BOOL isSeparatorItem() const { return separator_; }
    NSMenu* menu() const { return menu_; }

    const char* typeName() const noexcept override { return "NSMenuItem"; }

private:
    friend class NSMenu;
    void changed();

    NSString* title_ = nullptr; // held
    // FIXME: key equivalents are kept but no front end offers them as shortcuts.
    NSString* keyEquivalent_ = nullptr; // held
    id target_ = nullptr;
    SEL action_;
    NSInteger state_ = NSOffState;
    BOOL enabled_ = YES;
    BOOL separator_ = NO;
    NSMenu* menu_ = nullptr; // the menu that holds this item, not held
};

class MACSIM_VISIBLE NSMenu : public NSObject {
public:
    ~NSMenu() override;

    static NSZone* menuZone();
    NSMenu* initWithTitle(NSString* title);
    // Appends item and holds it. An item already in a menu is refused, as it can be in one only.
    void addItem(NSMenuItem* item);

    NSInteger numberOfItems() const { return NSInteger(items_.size()); }
    // Null outside 0 ..< numberOfItems.
    NSMenuItem* itemAtIndex(NSInteger index) const;
    NSString* title() const { return title_; }

    const char* typeName() const noexcept override { return "NSMenu"; }

private:
    friend class NSMenuItem;
    friend class NSStatusItem;
    void changed();

    NSString* title_ = nullptr;          // held
    std::vector<NSMenuItem*> items_;     // held
    std::vector<NSStatusItem*> shownBy_; // status items that show this menu, not held
};

class MACSIM_VISIBLE NSStatusItem : public NSObject {
public:
    ~NSStatusItem() override;

    void setTitle(NSString* title);
    void setHighlightMode(BOOL on);
    // Holds menu; it drops down when the item is clicked.
    void setMenu(NSMenu* menu);

    NSString* title() const { return title_; }
    NSMenu* menu() const { return menu_; }
    // The item in the window server; 0 once it left the status bar.
    std::uint32_t serverId() const { return serverId_; }

    const char* typeName() const noexcept override { return "NSStatusItem"; }

private:
    friend class NSStatusBar;
    friend class NSMenu;
    explicit NSStatusItem(CGFloat length);
    void showRows();
    void choose(std::size_t row);
    void leaveServer();

    std::uint32_t serverId_ = 0;
    // FIXME: the length is kept, but every status item is as wide as its title.
    CGFloat length_;
    NSString* title_ = nullptr; // held
    NSMenu* menu_ = nullptr;    // held
};

class MACSIM_VISIBLE NSStatusBar : public NSObject {
public:
    // The one status bar of the menu bar.
    static NSStatusBar* systemStatusBar();
    ~NSStatusBar() override;
    // A new status item at the right end of the status bar, which holds it until
    // removeStatusItem:.
    NSStatusItem* statusItemWithLength(CGFloat length);
    void removeStatusItem(NSStatusItem* item);

    const char* typeName() const noexcept override { return "NSStatusBar"; }

private:
    NSStatusBar() = default;
    std::vector<NSStatusItem*> items_; // held
};

extern "C" {

// Readies AppKit for use inside an application that runs its own (Carbon) event loop.
BOOL NSApplicationLoad(void);

} // extern "C"

// The one class of StatusMenu: owns the status item, its menu and the five menu items the host
// changes later, and turns each menu choice into a call of the host's callback.
#pragma once

#include "BundleCommands.h"

#include <AppKit/AppKit.h>

class Controller : public NSObject {
public:
    // The shared instance; null before the first init.
    static Controller* sharedController();

    // Readies AppKit, loads the nib "MyWindow" (a failure is logged and otherwise ignored) and
    // makes this the shared controller.
    Controller* init();
    void setCallBack(BundleCommandCallback callBack);
    void showWindow();

    // The menu's actions: each calls the callback with its code.
    void aboutAction(id sender);
    void loadAction(id sender);
    void sdefAction(id sender);
    void susrAction(id sender);
    void ausrAction(id sender);
    void alkeAction(id sender);
    void quitAction(id sender);

    void insertMenu();
    void removeMenu();
    void setMenuItemClk(NSString* title);
    void setLoadItem();
    void setUnloadItem();
    void checkItemAUSR();
    void uncheckItemAUSR();
    void checkItemSDEF();
    void uncheckItemSDEF();
    void checkItemSUSR();
    void uncheckItemSUSR();
    void checkItemALKE();
    void uncheckItemALKE();
    void enableALLItems();
    void disableALLItems();

    const char* typeName() const noexcept override { return "Controller"; }

private:
    NSMenuItem* newMenuItem(NSString* key, SEL action);
    NSString* localized(NSString* key);
    void send(BundleCommand code);
    static void setItemState(NSMenuItem* item, NSInteger state);
    void setOptionItemsEnabled(BOOL enabled);

    NSStatusItem* myMenuStatusItem = nil; // held from insertMenu until removeMenu
    NSStatusBar* globalMenu = nil;        // held from insertMenu on
    NSMenu* newMenu = nil;                // held for the controller's life
    NSMenuItem* loadItem = nil;           // held, as are the four below
    NSMenuItem* sdefItem = nil;
    NSMenuItem* susrItem = nil;
    NSMenuItem* ausrItem = nil;
    NSMenuItem* alkeItem = nil;
    NSMenuItem* newItem = nil;  // not held: the About item, then the Quit item
    NSBundle* thisBundle = nil; // StatusMenu itself, for the localized titles
    BundleCommandCallback _callBack = nullptr;
};

#include "Controller.h"

namespace {

// Set by init. Neither the controller nor anything it holds is ever released.
Controller* sharedController = nullptr;

} // namespace

Controller* Controller::sharedController() {
    return ::sharedController;
}

Controller* Controller::init() {
    auto* self = static_cast<Controller*>(NSObject::init());
    NSApplicationLoad();
    if (!NSBundle::loadNibNamed(NSSTR("MyWindow"), self))
        NSLog(NSSTR("failed to load MyWindow nib"));
    ::sharedController = self;
    return self;
}

void Controller::setCallBack(BundleCommandCallback callBack) {
    _callBack = callBack;
}

void Controller::showWindow() {}

void Controller::send(BundleCommand code) {
    // A host that never gave a callback gets no calls, rather than a jump through null.
    if (_callBack != nullptr)
        _callBack(code);
}

void Controller::aboutAction(id) {
    send(kBundleCommandAbout);
}
void Controller::loadAction(id) {
    send(kBundleCommandLoad);
}
void Controller::sdefAction(id) {
    send(kBundleCommandSetDefault);
}
void Controller::susrAction(id) {
    send(kBundleCommandSetUser);
}
void Controller::ausrAction(id) {
    send(kBundleCommandKeepUser);
}
void Controller::alkeAction(id) {
    send(kBundleCommandLoadAtLaunch);
}
void Controller::quitAction(id) {
    send(kBundleCommandQuit);
}

NSString* Controller::localized(NSString* key) {
    if (thisBundle == nil)
        return key;
    return thisBundle->localizedStringForKey_value_table(key, nil, nil);
}

// A titled item, appended to newMenu. The caller gets the creation reference: it keeps it for
// the items it changes later and releases it for the others, which the menu alone then owns.
NSMenuItem* Controller::newMenuItem(NSString* key, SEL action) {
    NSMenuItem* item = allocWithZone<NSMenuItem>(NSMenu::menuZone())
                           ->initWithTitle_action_keyEquivalent(localized(key), SEL(), NSSTR(""));
    item->setTarget(this);
    item->setAction(action);
    newMenu->addItem(item);
    return item;
}

void Controller::insertMenu() {
    // The menu is built once; the host never asks twice.
    if (newMenu != nil)
        return;
    thisBundle = NSBundle::bundleForClass(getClass());
    if (thisBundle != nil)
        thisBundle->retain();
    globalMenu = NSStatusBar::systemStatusBar();
    globalMenu->retain();
    myMenuStatusItem = globalMenu->statusItemWithLength(NSVariableStatusItemLength);
    myMenuStatusItem->retain();
    myMenuStatusItem->setTitle(NSSTR("600"));
    myMenuStatusItem->setHighlightMode(YES);

    newMenu = allocWithZone<NSMenu>(NSMenu::menuZone())->initWithTitle(NSSTR("Krelo"));

    newItem = newMenuItem(NSSTR("About Kreloed"), &Controller::aboutAction);
    newItem->release();
    newMenu->addItem(NSMenuItem::separatorItem());
    loadItem = newMenuItem(NSSTR("Load Krelo.kext into kernel"), &Controller::loadAction);
    newMenu->addItem(NSMenuItem::separatorItem());
    sdefItem = newMenuItem(NSSTR("Set system default CPU speed"), &Controller::sdefAction);
    susrItem = newMenuItem(NSSTR("Set user-defined CPU speed ..."), &Controller::susrAction);
    newMenu->addItem(NSMenuItem::separatorItem());
    alkeItem = newMenuItem(NSSTR("Always load Krelo.kext at launch"), &Controller::alkeAction);
    ausrItem = newMenuItem(NSSTR("Always keep user-defined CPU speed"), &Controller::ausrAction);
    newMenu->addItem(NSMenuItem::separatorItem());
    newItem = newMenuItem(NSSTR("Quit"), &Controller::quitAction);
    newItem->release();

    myMenuStatusItem->setMenu(newMenu);
}

void Controller::removeMenu() {
    if (myMenuStatusItem == nil)
        return;
    globalMenu->removeStatusItem(myMenuStatusItem);
    myMenuStatusItem->release();
    // Forgotten, so that a later title cannot reach the released item.
    myMenuStatusItem = nil;
}

void Controller::setMenuItemClk(NSString* title) {
    if (myMenuStatusItem != nil)
        myMenuStatusItem->setTitle(title);
}

void Controller::setLoadItem() {
    if (loadItem != nil)
        loadItem->setTitle(localized(NSSTR("Load Krelo.kext into kernel")));
}

void Controller::setUnloadItem() {
    if (loadItem != nil)
        loadItem->setTitle(localized(NSSTR("Unload Krelo.kext from kernel")));
}

void Controller::setItemState(NSMenuItem* item, NSInteger state) {
    if (item != nil)
        item->setState(state);
}

void Controller::checkItemAUSR() {
    setItemState(ausrItem, NSOnState);
}
void Controller::uncheckItemAUSR() {
    setItemState(ausrItem, NSOffState);
}
void Controller::checkItemSDEF() {
    setItemState(sdefItem, NSOnState);
}
void Controller::uncheckItemSDEF() {
    setItemState(sdefItem, NSOffState);
}
void Controller::checkItemSUSR() {
    setItemState(susrItem, NSOnState);
}
void Controller::uncheckItemSUSR() {
    setItemState(susrItem, NSOffState);
}
void Controller::checkItemALKE() {
    setItemState(alkeItem, NSOnState);
}
void Controller::uncheckItemALKE() {
    setItemState(alkeItem, NSOffState);
}

void Controller::setOptionItemsEnabled(BOOL enabled) {
    for (NSMenuItem* item : {ausrItem, susrItem, sdefItem, alkeItem}) {
        if (item != nil)
            item->setEnabled(enabled);
    }
}

void Controller::enableALLItems() {
    setOptionItemsEnabled(YES);
}
void Controller::disableALLItems() {
    setOptionItemsEnabled(NO);
}

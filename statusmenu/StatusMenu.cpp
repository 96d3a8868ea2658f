// The ten entry points. Each runs inside its own autorelease pool, so that what AppKit makes for
// the call goes when the call ends, and forwards to the shared controller.
#include "StatusMenu.h"

#include "Controller.h"

namespace {

typedef void (Controller::*Message)();

// Sends message to the shared controller, if there is one yet.
SInt32 sendToController(Message message) {
    NSAutoreleasePool* pool = alloc<NSAutoreleasePool>()->init();
    if (Controller* controller = Controller::sharedController())
        (controller->*message)();
    pool->release();
    return 0;
}

// The same for a switch value: on is sent when the caller's integer is exactly 1, off otherwise.
SInt32 sendSwitch(const SInt32* value, Message on, Message off) {
    if (value == nullptr)
        return 0;
    return sendToController(*value == 1 ? on : off);
}

} // namespace

SInt32 initializeBundle(BundleCommandCallback callBack) {
    NSAutoreleasePool* pool = alloc<NSAutoreleasePool>()->init();
    // A second call keeps the one controller (and its menu) and only takes the new callback.
    Controller* controller = Controller::sharedController();
    if (controller == nullptr)
        controller = alloc<Controller>()->init();
    controller->setCallBack(callBack);
    pool->release();
    return 0;
}

SInt32 insertMenu(void) {
    return sendToController(&Controller::insertMenu);
}

SInt32 removeMenu(void) {
    return sendToController(&Controller::removeMenu);
}

SInt32 setMenuItemClk(CFStringRef title) {
    NSAutoreleasePool* pool = alloc<NSAutoreleasePool>()->init();
    if (Controller* controller = Controller::sharedController())
        controller->setMenuItemClk((NSString*)title);
    pool->release();
    return 0;
}

SInt32 checkSDEFItem(SInt32* value) {
    return sendSwitch(value, &Controller::checkItemSDEF, &Controller::uncheckItemSDEF);
}

SInt32 checkSUSRItem(SInt32* value) {
    return sendSwitch(value, &Controller::checkItemSUSR, &Controller::uncheckItemSUSR);
}

SInt32 checkAUSRItem(SInt32* value) {
    return sendSwitch(value, &Controller::checkItemAUSR, &Controller::uncheckItemAUSR);
}

SInt32 checkALKEItem(SInt32* value) {
    return sendSwitch(value, &Controller::checkItemALKE, &Controller::uncheckItemALKE);
}

SInt32 setLOADItem(SInt32* value) {
    return sendSwitch(value, &Controller::setUnloadItem, &Controller::setLoadItem);
}

SInt32 enableALLItems(SInt32* value) {
    return sendSwitch(value, &Controller::enableALLItems, &Controller::disableALLItems);
}

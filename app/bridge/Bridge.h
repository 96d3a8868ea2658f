// The application's side of the status menu: loading StatusMenu.bundle, binding its entry points,
// the wrappers that call them, and the callback that carries out its menu choices.
#pragma once

#include <Carbon/Carbon.h>

typedef SInt32 (*VoidEntryPoint)();
typedef SInt32 (*StringEntryPoint)(CFStringRef);
typedef SInt32 (*SwitchEntryPoint)(SInt32*);

extern VoidEntryPoint insertPtr;
extern VoidEntryPoint removePtr;
extern StringEntryPoint setMenuItemClkPtr;
extern SwitchEntryPoint setLOADItemPtr;
extern SwitchEntryPoint checkAUSRItemPtr;
extern SwitchEntryPoint checkSDEFItemPtr;
extern SwitchEntryPoint checkSUSRItemPtr;
extern SwitchEntryPoint checkALKEItemPtr;
extern SwitchEntryPoint enableALLItemsPtr;

void initCocoa();
void myLoadPrivateFrameworkBundle(CFStringRef name, CFBundleRef* out);
SInt32 handleBundleCommand(SInt32 code);
void insertGlobalMenu();
void setMenuItemClockValue(SInt32 speed);
void setLOADItem(SInt32 value);
void checkAUSRItem(SInt32 value);
void checkSDEFItem(SInt32 value);
void checkSUSRItem(SInt32 value);
void checkALKEItem(SInt32 value);

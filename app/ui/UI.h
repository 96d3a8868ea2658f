// The About window, the user-speed dialog and the error alerts.
#pragma once

#include <Carbon/Carbon.h>

extern EventHandlerUPP gAboutWinEvtHandler;
extern EventHandlerUPP gAppCommandProcess;
extern EventHandlerUPP gWinPrefsEvtHandler;
extern UInt16 itemHit; // 1: the user-speed dialog ended with OK, 2: with Cancel

void MakeWindow();
OSStatus myAboutWinEvtHndlr(EventHandlerCallRef handler, EventRef event, void* userData);
void launchMyURL();

OSStatus makePrefsDlog();
OSStatus showPrefsDlog();
OSStatus myWinPrefsEvtHndlr(EventHandlerCallRef handler, EventRef event, void* userData);
UInt16 valueToClk(UInt16 value);
SInt16 clkToValue(UInt16 mhz);
OSStatus SetStaticTextText(ControlRef control, ConstStr255Param text, Boolean draw);

void showError(ConstStr255Param text1, ConstStr255Param text2, ConstStr255Param text3);
void showError_loader();

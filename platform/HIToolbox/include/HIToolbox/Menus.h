// The Menu Manager of the simulated Mac: the menu bar comes from a nib (SetMenuBarFromNib); its
// items carry command IDs, and choosing one sends a command event (CarbonEvents.h).
#pragma once

#include <MacTypes.h>

extern "C" {

// A menu of the menu bar. Its value is the menu's 32-bit handle in the window server (its
// position in the menu bar, counting from 1), so that it fits the 14-byte command record.
typedef UInt32 MenuRef;
typedef SInt16 MenuID;
typedef UInt16 MenuItemIndex;
typedef UInt32 MenuCommand;

// Highlights the title of the menu with that ID (HiliteMenu); 0 removes the highlight.
// FIXME: nib menus carry no IDs of their own; a menu's ID is its position in the menu bar.
void HiliteMenu(MenuID menu);

} // extern "C"

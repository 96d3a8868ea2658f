// The Dialog Manager of the simulated Mac: dialogs and alerts made from 'DLOG' and 'DITL'
// resources of the current resource chain, with ParamText slots and a modal loop. A DialogRef is a
// handle onto the dialog's window in the window server, where it is a window of kind Alert; its
// items are controls there, in item order.
#pragma once

#include <HIToolbox/Controls.h>
#include <HIToolbox/MacWindows.h>
#include <HIToolbox/Quickdraw.h>
#include <MacTypes.h>

extern "C" {

typedef struct OpaqueDialogPtr* DialogRef;
typedef DialogRef DialogPtr;
// Items are numbered from 1.
typedef SInt16 DialogItemIndex;
typedef struct OpaqueModalFilterProcPtr* ModalFilterUPP;

// GetNewDialog: makes the dialog of resource 'DLOG' dialogID with the item list it names. behind
// (WindowRef)-1 puts it in front of all windows. Null when either resource is missing or
// malformed; nothing is then shown.
// FIXME: only buttons and static texts; an item list with other kinds of items is refused.
// FIXME: dStorage is ignored, and a behind other than (WindowRef)-1 is taken as the front too.
DialogRef GetNewDialog(SInt16 dialogID, void* dStorage, WindowRef behind);
// The dialog's window and its drawing port; null for an unknown dialog.
WindowRef GetDialogWindow(DialogRef dialog);
CGrafPtr GetDialogPort(DialogRef dialog);
// Item that Return (default) or Escape (cancel) chooses; 0 for none. paramErr for an item the
// dialog does not have.
OSErr SetDialogDefaultItem(DialogRef dialog, DialogItemIndex item);
OSErr SetDialogCancelItem(DialogRef dialog, DialogItemIndex item);
// The number of items; 0 for an unknown dialog.
DialogItemIndex CountDITL(DialogRef dialog);
// The control that stands for item (GetDialogItemAsControl); paramErr for an item the dialog does
// not have.
OSErr GetDialogItemAsControl(DialogRef dialog, SInt16 item, ControlRef* control);
// Sets the texts that stand for ^0 to ^3 in the static texts of every dialog drawn afterwards
// (ParamText). A null text leaves its slot as it was.
void ParamText(ConstStr255Param text0, ConstStr255Param text1, ConstStr255Param text2,
               ConstStr255Param text3);
// Draws every item, filling in the ParamText slots (DrawDialog).
void DrawDialog(DialogRef dialog);
// Waits for the user to choose an enabled item of the frontmost dialog and returns its number in
// itemHit: a click on it, Return for the default item, Escape for the cancel item. The dialog is
// shown and drawn first if it was not. itemHit is 0 when there is no dialog to wait on.
// FIXME: a filter procedure is never called.
void ModalDialog(ModalFilterUPP filterProc, DialogItemIndex* itemHit);
// Removes the dialog with its window and items (DisposeDialog).
void DisposeDialog(DialogRef dialog);

} // extern "C"

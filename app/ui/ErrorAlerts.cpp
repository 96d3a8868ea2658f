// The two ways of telling the user that something the application needs is missing: the alert
// 'DLOG' 128 with three texts, and the nib window "Error_loader".
#include "UI.h"

#include "Core.h"

static const unsigned char emptyText[] = {0};

void showError(ConstStr255Param text1, ConstStr255Param text2, ConstStr255Param text3) {
    GrafPtr savedPort;
    DialogRef alert;
    DialogItemIndex hit;
    ControlFontStyleRec style = {};

    GetPort(&savedPort);
    SysBeep(0);

    alert = GetNewDialog(128, NULL, (WindowRef)-1);
    // Without its resources the alert cannot be shown; the beep is all the user gets.
    if (alert == NULL) {
        SetPort(savedPort);
        return;
    }
    SetPort(GetDialogPort(alert));
    SetDialogDefaultItem(alert, 1);
    SetDialogCancelItem(alert, 2);

    style.flags = kControlUseFontMask | kControlUseFaceMask | kControlUseSizeMask;
    style.font = 3; // Geneva
    style.size = 10;
    style.style = 0; // plain
    for (UInt16 item = 1; item <= CountDITL(alert); item++) {
        ControlRef control;
        if (GetDialogItemAsControl(alert, (SInt16)item, &control) == noErr)
            SetControlFontStyle(control, &style);
    }

    // ParamText keeps a slot for a null text; an alert must not show a text of an earlier one.
    ParamText(emptyText, text1 ? text1 : emptyText, text2 ? text2 : emptyText,
              text3 ? text3 : emptyText);
    DrawDialog(alert);
    ShowWindow(GetDialogWindow(alert));

    ModalDialog(NULL, &hit);

    DisposeDialog(alert);
    SetPort(savedPort);
}

void showError_loader() {
    WindowRef window = NULL;

    err = CreateNibReference(CFSTR("main"), &nibRef);
    if (err != noErr)
        return;
    err = CreateWindowFromNib(nibRef, CFSTR("Error_loader"), &window);
    // A window that could not be made is never shown.
    if (err == noErr && window != NULL)
        ShowWindow(window);
    DisposeNibReference(nibRef);
    nibRef = NULL;
}

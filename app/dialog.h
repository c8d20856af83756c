// The converter dialog IDD_CONVERTER (app/resources.rc): its procedure, which
// fills the controls with their defaults, clears the result on every edit,
// runs the Convert command and ends the dialog on close.
#ifndef VELTRANE_APP_DIALOG_H
#define VELTRANE_APP_DIALOG_H

#include <windows.h>

#include "app/control_ids.h"

// The procedure of IDD_CONVERTER, for DialogBoxParamA or CreateDialogParamA.
//   WM_INITDIALOG: empties both text fields, writes "10" and "16" into the base
//     boxes, appends "2".."36" to each base list, focuses the numeral field,
//     limits it to kNumeralFieldLength characters (EM_LIMITTEXT) and each
//     base box to kBaseFieldLength (CB_LIMITTEXT); returns FALSE so that the
//     dialog manager keeps that focus.
//   WM_COMMAND: Convert (IDOK) with BN_CLICKED runs runConversion; EN_CHANGE
//     of the numeral field, CBN_SELCHANGE/CBN_EDITCHANGE of a base box and
//     BN_CLICKED of a notation button clear the output field; CBN_SETFOCUS of
//     a base box selects its whole text; anything else (IDCANCEL included)
//     does nothing. Returns TRUE for every id and code.
//   WM_CLOSE: EndDialog with 0; returns TRUE.
//   Any other message: FALSE. lParam is never read.
INT_PTR CALLBACK converterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif

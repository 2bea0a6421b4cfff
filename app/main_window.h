// The main window: the dialog procedure and the procedures it calls.
#ifndef DORVENAL_MAIN_WINDOW_H
#define DORVENAL_MAIN_WINDOW_H

#include <windows.h>

#include <string>

#include "dialog_ops.h"

// The jobs and the shared dialog helpers take the dialog as an opaque
// Dialog*; on Windows that is the window handle itself.
inline Dialog* AsDialog(HWND dialog) { return reinterpret_cast<Dialog*>(dialog); }

// The dialog procedure and what it routes to.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int InitMainDialog(HWND dialog);
int AdjustSystemMenu(HWND dialog);
int EnterSplitMode(HWND dialog);
int EnterJoinMode(HWND dialog);
int SelectSplitMethod(HWND dialog, int methodButtonId);
void ShowUnitControls(HWND dialog, int show);
int RunOperation(HWND dialog);
int EndMainDialog(HWND dialog, WPARAM wParam);
int RelayMouseMove(HWND dialog, WPARAM wParam, LPARAM lParam);

// Tooltips.
void CreateTooltips(HWND dialog);
void AddTooltipTool(HWND dialog, int controlId, int stringId);
int SupplyTooltipText(HWND dialog, LPARAM notification);

// The value field's digit filter.
void InstallDigitFilter();
void RemoveDigitFilter();
LRESULT CALLBACK DigitFilterProc(int code, WPARAM wParam, LPARAM lParam);

// Pickers and boxes.
int PickSourceFile(HWND dialog);
int ChooseSourceFile(char* buffer, DWORD bufferSize, HWND owner);
int PickTargetDir(HWND dialog);
int BrowseForTargetDir(HWND owner, char* buffer);
int ShowAboutBox(HWND owner);
int ShowHelpBox(HWND owner);

// The texts of the About and Help boxes: the banner, then the fixed lines.
std::string AboutBoxText();
std::string HelpBoxText();

#endif

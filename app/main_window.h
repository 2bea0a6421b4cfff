// The main window: the dialog procedure and the procedures it calls.
#ifndef DORVENAL_MAIN_WINDOW_H
#define DORVENAL_MAIN_WINDOW_H

#include <windows.h>

#include <string>

#include "dialog_state.h"
#include "job_report.h"

// The dialog procedure and what it routes to. Its creation parameter is
// the DialogState the dialog works with.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int InitMainDialog(HWND dialog, DialogState& state);
int AdjustSystemMenu(HWND dialog);
int EnterSplitMode(HWND dialog, DialogState& state);
int EnterJoinMode(HWND dialog, DialogState& state);
int SelectSplitMethod(HWND dialog, DialogState& state, int methodButtonId);
void ShowUnitControls(HWND dialog, int show);
int RunOperation(HWND dialog, DialogState& state);
int EndMainDialog(HWND dialog, WPARAM wParam);
int RelayMouseMove(HWND dialog, const DialogState& state, WPARAM wParam, LPARAM lParam);

// The jobs, started from the default button: each reads the controls,
// refuses an empty field with its message and focus, and runs the job.
// Always 1: the outcome has been told in message boxes.
int RunSplitJob(HWND dialog, const DialogState& state);
int RunJoinJob(HWND dialog, const DialogState& state);

// The dialog's reading of a number: leading blanks, an optional sign, then
// decimal digits to the end; anything else, or a value outside the signed
// 32-bit range, reads as 0.
int32_t ParseDialogNumber(const std::string& text);

// Tooltips.
void CreateTooltips(HWND dialog, DialogState& state);
void AddTooltipTool(HWND dialog, const DialogState& state, int controlId, int stringId);
int SupplyTooltipText(HWND dialog, DialogState& state, LPARAM notification);

// The value field's digit filter.
void InstallDigitFilter(const DialogState& state);
void RemoveDigitFilter();
LRESULT CALLBACK DigitFilterProc(int code, WPARAM wParam, LPARAM lParam);

// Pickers and boxes.
int PickSourceFile(HWND dialog, const DialogState& state);
int ChooseSourceFile(char* buffer, DWORD bufferSize, HWND owner, int32_t joinMode);
int PickTargetDir(HWND dialog);
int BrowseForTargetDir(HWND owner, char* buffer);
int ShowAboutBox(HWND owner, HINSTANCE instance);
int ShowHelpBox(HWND owner, HINSTANCE instance);

// The texts of the About and Help boxes: the banner, then the fixed lines.
std::string AboutBoxText(HINSTANCE instance);
std::string HelpBoxText(HINSTANCE instance);

// Controls and boxes.
std::string GetControlText(HWND dialog, int controlId);
bool IsControlChecked(HWND dialog, int controlId);
void EnableControl(HWND dialog, int controlId, bool enable);
void FocusControl(HWND dialog, int controlId);
// The program's information box: caption "Dorvenal", one OK button.
void ShowInfoBox(HWND dialog, const std::string& text);
Answer AskYesNo(HWND dialog, const std::string& text);
// A string of the program's string table; empty when there is none.
std::string LoadStringText(HINSTANCE instance, int stringId);

#endif

// The dialog procedure, the two modes and the three split methods.
#include <windows.h>
#include <commctrl.h>

#include "app_texts.h"
#include "main_window.h"
#include "resource_ids.h"

namespace {

// Routes WM_COMMAND: the control identifier is the low word of wParam, the
// notification code the high word. Buttons act on BN_CLICKED only.
INT_PTR RouteCommand(HWND dialog, DialogState& state, WPARAM wParam) {
  int controlId = LOWORD(wParam);
  int code = HIWORD(wParam);
  if (controlId == IDCANCEL) return EndMainDialog(dialog, wParam);
  if (controlId == IDC_VALUE) {
    if (code == EN_SETFOCUS) InstallDigitFilter(state);
    if (code == EN_KILLFOCUS) RemoveDigitFilter();
    return TRUE;
  }
  if (code != BN_CLICKED) return FALSE;
  switch (controlId) {
    case IDOK: RunOperation(dialog, state); break;
    case IDC_SOURCE_BROWSE: PickSourceFile(dialog, state); break;
    case IDC_TARGET_BROWSE: PickTargetDir(dialog); break;
    case IDC_METHOD_KEYWORD: SelectSplitMethod(dialog, state, IDC_METHOD_KEYWORD); break;
    case IDC_METHOD_SIZE: SelectSplitMethod(dialog, state, IDC_METHOD_SIZE); break;
    case IDC_METHOD_PIECES: SelectSplitMethod(dialog, state, IDC_METHOD_PIECES); break;
    case IDC_ABOUT: ShowAboutBox(dialog, state.instance); break;
    case IDC_HELP: ShowHelpBox(dialog, state.instance); break;
    case IDC_MODE_SPLIT: EnterSplitMode(dialog, state); break;
    case IDC_MODE_JOIN: EnterJoinMode(dialog, state); break;
    default: break;
  }
  return FALSE;
}

// The two items that AdjustSystemMenu appends. The whole low word is
// compared: the identifiers are ours, not system commands.
INT_PTR RouteSystemCommand(HWND dialog, const DialogState& state, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDM_SYS_HELP: ShowHelpBox(dialog, state.instance); break;
    case IDM_SYS_ABOUT: ShowAboutBox(dialog, state.instance); break;
    default: break;
  }
  // The dialog manager's own handling (Move, Minimize, Close) always follows.
  return FALSE;
}

void Check(HWND dialog, int controlId) {
  SendDlgItemMessageA(dialog, controlId, BM_SETCHECK, BST_CHECKED, 0);
}

// The controls that only Split mode uses, enabled or disabled together.
void EnableSplitControls(HWND dialog, bool enable) {
  static const int kSplitControls[] = {IDC_METHOD_KEYWORD, IDC_METHOD_SIZE, IDC_METHOD_PIECES,
                                       IDC_MAKE_BATCH,     IDC_VALUE,       IDC_UNIT_LABEL,
                                       IDC_UNIT_KB,        IDC_UNIT_BYTES};
  for (int controlId : kSplitControls) EnableControl(dialog, controlId, enable);
}

// What both modes do on entry: the paths belong to one mode only.
void ResetPathsAndProgress(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_SOURCE_PATH, "");
  SetDlgItemTextA(dialog, IDC_TARGET_PATH, "");
  SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
}

// The two modes differ only in these values; every click applies them all.
void ApplyMode(HWND dialog, DialogState& state, int joinMode) {
  state.joinMode = joinMode;
  EnableSplitControls(dialog, joinMode == 0);
  SetDlgItemTextA(dialog, IDOK, joinMode == 0 ? TEXT_OK_SPLIT : TEXT_OK_JOIN);
  ResetPathsAndProgress(dialog);
}

// The state the dialog was given; null before WM_INITDIALOG.
DialogState* StateOf(HWND dialog) { return reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, GWLP_USERDATA)); }

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
    return InitMainDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
  }
  // The dialog manager sends a few messages before WM_INITDIALOG.
  DialogState* state = StateOf(dialog);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND: return RouteCommand(dialog, *state, wParam);
    case WM_SYSCOMMAND: return RouteSystemCommand(dialog, *state, wParam);
    case WM_NOTIFY: SupplyTooltipText(dialog, *state, lParam); return FALSE;
    case WM_MOUSEMOVE: return RelayMouseMove(dialog, *state, wParam, lParam);
    default: return FALSE;
  }
}

int InitMainDialog(HWND dialog, DialogState& state) {
  AdjustSystemMenu(dialog);
  Check(dialog, IDC_METHOD_PIECES);
  Check(dialog, IDC_MODE_SPLIT);
  Check(dialog, IDC_UNIT_KB);
  EnterSplitMode(dialog, state);
  SelectSplitMethod(dialog, state, IDC_METHOD_PIECES);
  state.appIcon = LoadIconA(state.instance, MAKEINTRESOURCEA(IDI_APP));
  CreateTooltips(dialog, state);
  SetClassLongPtrA(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(state.appIcon));
  SendDlgItemMessageA(dialog, IDC_VALUE, EM_LIMITTEXT, 25, 0);
  // Checking the radio buttons made the checked ones tab stops, so the
  // dialog manager's own choice would now be "Sp&lit": place the focus
  // ourselves and tell the dialog manager so by returning FALSE.
  SetFocus(GetDlgItem(dialog, IDC_SOURCE_BROWSE));
  return FALSE;
}

int AdjustSystemMenu(HWND dialog) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  AppendMenuA(menu, MF_STRING, IDM_SYS_HELP, TEXT_MENU_HELP);
  AppendMenuA(menu, MF_STRING, IDM_SYS_ABOUT, TEXT_MENU_ABOUT);
  return 1;
}

int EnterSplitMode(HWND dialog, DialogState& state) {
  ApplyMode(dialog, state, 0);
  return 1;
}

int EnterJoinMode(HWND dialog, DialogState& state) {
  ApplyMode(dialog, state, 1);
  return 1;
}

int SelectSplitMethod(HWND dialog, DialogState& state, int methodButtonId) {
  SplitMethod method;
  const char* label;
  int showUnits;
  switch (methodButtonId) {
    case IDC_METHOD_KEYWORD: method = Keyword; label = TEXT_LABEL_KEYWORD; showUnits = 0; break;
    case IDC_METHOD_SIZE: method = Size; label = TEXT_LABEL_SIZE; showUnits = 1; break;
    case IDC_METHOD_PIECES: method = Pieces; label = TEXT_LABEL_PIECES; showUnits = 0; break;
    default: return 1;
  }
  state.splitMethod = method;
  SetDlgItemTextA(dialog, IDC_VALUE_LABEL, label);
  ShowUnitControls(dialog, showUnits);
  SetDlgItemTextA(dialog, IDC_VALUE, "");
  return 1;
}

void ShowUnitControls(HWND dialog, int show) {
  int command = show ? SW_SHOW : SW_HIDE;
  ShowWindow(GetDlgItem(dialog, IDC_UNIT_LABEL), command);
  ShowWindow(GetDlgItem(dialog, IDC_UNIT_KB), command);
  ShowWindow(GetDlgItem(dialog, IDC_UNIT_BYTES), command);
}

int RunOperation(HWND dialog, DialogState& state) {
  if (state.joinMode) {
    RunJoinJob(dialog, state);
  } else {
    RunSplitJob(dialog, state);
  }
  return 1;
}

// IDCANCEL with any notification removes the digit filter; only a click
// (Esc, the close box and Cancel all arrive as one) ends the dialog.
int EndMainDialog(HWND dialog, WPARAM wParam) {
  if (HIWORD(wParam) == BN_CLICKED) EndDialog(dialog, static_cast<INT_PTR>(wParam));
  RemoveDigitFilter();
  return TRUE;
}

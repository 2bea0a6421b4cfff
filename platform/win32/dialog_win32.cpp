// The dialog side on Windows: the controls of the real dialog.
#include <windows.h>
#include <commctrl.h>

#include "dialog_ops.h"
#include "resource_ids.h"
#include "texts.h"

namespace {
HWND Window(Dialog* dialog) { return reinterpret_cast<HWND>(dialog); }
}  // namespace

std::string GetControlText(Dialog* dialog, int controlId) {
  HWND control = GetDlgItem(Window(dialog), controlId);
  int length = GetWindowTextLengthA(control);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int copied = GetDlgItemTextA(Window(dialog), controlId, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}


bool IsControlChecked(Dialog* dialog, int controlId) {
  return IsDlgButtonChecked(Window(dialog), controlId) == BST_CHECKED;
}

void FocusControl(Dialog* dialog, int controlId) { SetFocus(GetDlgItem(Window(dialog), controlId)); }

void EnableControl(Dialog* dialog, int controlId, bool enable) {
  EnableWindow(GetDlgItem(Window(dialog), controlId), enable ? TRUE : FALSE);
}

void ShowInfoBox(Dialog* dialog, const std::string& text) {
  MessageBoxA(Window(dialog), text.c_str(), kAppCaption, MB_ICONINFORMATION);
}

BoxAnswer AskYesNo(Dialog* dialog, const std::string& text) {
  int answer = MessageBoxA(Window(dialog), text.c_str(), kAppCaption, MB_YESNO | MB_ICONINFORMATION);
  return answer == IDNO ? kAnswerNo : kAnswerYes;
}

void SetProgressRange(Dialog* dialog, uint32_t minimum, uint32_t maximum) {
  SendDlgItemMessageA(Window(dialog), IDC_PROGRESS, PBM_SETRANGE32, minimum, maximum);
}

void SetProgressStep(Dialog* dialog, uint32_t step) {
  SendDlgItemMessageA(Window(dialog), IDC_PROGRESS, PBM_SETSTEP, step, 0);
}

void SetProgressPos(Dialog* dialog, uint32_t position) {
  SendDlgItemMessageA(Window(dialog), IDC_PROGRESS, PBM_SETPOS, position, 0);
}

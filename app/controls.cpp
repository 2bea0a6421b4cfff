// Small helpers over the dialog's controls and the program's boxes.
#include <windows.h>

#include "main_window.h"
#include "dialog_texts.h"

std::string GetControlText(HWND dialog, int controlId) {
  int length = GetWindowTextLengthA(GetDlgItem(dialog, controlId));
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int copied = GetDlgItemTextA(dialog, controlId, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

bool IsControlChecked(HWND dialog, int controlId) { return IsDlgButtonChecked(dialog, controlId) == BST_CHECKED; }

void EnableControl(HWND dialog, int controlId, bool enable) {
  EnableWindow(GetDlgItem(dialog, controlId), enable ? TRUE : FALSE);
}

void FocusControl(HWND dialog, int controlId) { SetFocus(GetDlgItem(dialog, controlId)); }

void ShowInfoBox(HWND dialog, const std::string& text) {
  MessageBoxA(dialog, text.c_str(), kAppCaption, MB_ICONINFORMATION);
}

Answer AskYesNo(HWND dialog, const std::string& text) {
  int answer = MessageBoxA(dialog, text.c_str(), kAppCaption, MB_YESNO | MB_ICONINFORMATION);
  return answer == IDNO ? Answer::kNo : Answer::kYes;
}

std::string LoadStringText(HINSTANCE instance, int stringId) {
  char buffer[512] = {};
  int length = LoadStringA(instance, static_cast<UINT>(stringId), buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

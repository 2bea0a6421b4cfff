// The value field's digit filter: a keyboard hook on the dialog's thread,
// present only while the field has the focus under Size or Pieces.
#include <windows.h>

#include "main_window.h"
#include "session_state.h"

namespace {

LRESULT PassOn(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(static_cast<HHOOK>(gSession.keyboardHook), code, wParam, lParam);
}

// A nonzero answer drops the keystroke before any window sees it.
constexpr LRESULT kDiscard = 1;

bool IsEditingKey(WPARAM key) {
  switch (key) {
    case VK_BACK:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_INSERT:
    case VK_TAB:
      return true;
    default:
      return false;
  }
}

bool IsShiftDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

}  // namespace

void InstallDigitFilter() {
  if (gSession.splitMethod != Size && gSession.splitMethod != Pieces) return;
  gSession.keyboardHook = nullptr;
  gSession.keyboardHook = SetWindowsHookExA(WH_KEYBOARD, DigitFilterProc, static_cast<HINSTANCE>(gSession.instance),
                                            GetCurrentThreadId());
}

void RemoveDigitFilter() {
  if (gSession.keyboardHook == nullptr) return;
  UnhookWindowsHookEx(static_cast<HHOOK>(gSession.keyboardHook));
  gSession.keyboardHook = nullptr;
}

// Judges key-down, key-up, repeats and Alt combinations alike, by the
// virtual-key code alone: only main-row digits without Shift and the
// editing keys get through.
LRESULT CALLBACK DigitFilterProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code != HC_ACTION && code != HC_NOREMOVE) return PassOn(code, wParam, lParam);
  if (IsEditingKey(wParam)) return PassOn(code, wParam, lParam);
  if (IsShiftDown()) return kDiscard;
  if (wParam >= '0' && wParam <= '9') return PassOn(code, wParam, lParam);
  return kDiscard;
}

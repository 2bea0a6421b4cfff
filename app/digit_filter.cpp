// The value field's digit filter: a keyboard hook on the dialog's thread,
// present only while the field has the focus under Size or Pieces.
#include <windows.h>

#include "main_window.h"

namespace {

// The installed hook, or null. The hook procedure gets no state of ours,
// so the handle it must pass on with lives here. Focus gained and lost
// alternate, so there is never more than one hook.
HHOOK gKeyboardHook = nullptr;

LRESULT PassOn(int code, WPARAM wParam, LPARAM lParam) { return CallNextHookEx(gKeyboardHook, code, wParam, lParam); }

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

void InstallDigitFilter(const DialogState& state) {
  if (state.splitMethod != Size && state.splitMethod != Pieces) return;
  gKeyboardHook = SetWindowsHookExA(WH_KEYBOARD, DigitFilterProc, state.instance, GetCurrentThreadId());
}

void RemoveDigitFilter() {
  if (gKeyboardHook == nullptr) return;
  UnhookWindowsHookEx(gKeyboardHook);
  gKeyboardHook = nullptr;
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

// The program entry: one modal dialog, and exit code 0 however it ended.
#include <windows.h>
#include <commctrl.h>

#include "main_window.h"
#include "resource_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  DialogState state;
  state.instance = instance;
  // The template names "msctls_progress32" and the tips need
  // "tooltips_class32": both must be registered before the dialog exists.
  InitCommonControls();
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, reinterpret_cast<LPARAM>(&state));
  return 0;
}

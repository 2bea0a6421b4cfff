// Times one split in the program's dialog, as a user runs it: from the
// answer Yes to the box that says it finished, to 20 ms (looking for the
// boxes more often would take time from the program). The time to start
// the program and to fill the fields is left out.
// Usage: dialog_split PROGRAM SOURCE TARGET_DIR PIECE_BYTES
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Waits up to 10 minutes for a visible box of the process other than the main dialog.
HWND WaitForBox(DWORD processId, HWND dialog) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 600000; Sleep(20)) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      char windowClass[16] = "";
      GetWindowThreadProcessId(w, &pid);
      GetClassNameA(w, windowClass, sizeof windowClass);
      if (pid == processId && IsWindowVisible(w) && GetWindow(w, GW_OWNER) == dialog &&
          lstrcmpA(windowClass, "#32770") == 0)
        return w;
    }
  }
  return nullptr;
}

HWND WaitForDialog(DWORD processId) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(10)) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == processId && IsWindowVisible(w) && GetDlgItem(w, 1000) != nullptr) return w;
    }
  }
  return nullptr;
}

void SetText(HWND dialog, int id, const char* text) {
  SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Press(HWND window, int id) {
  SendNotifyMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: dialog_split PROGRAM SOURCE TARGET_DIR PIECE_BYTES\n");
    return 2;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string line = std::string("\"") + argv[1] + "\"";
  if (!CreateProcessA(argv[1], &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 1;
  int status = 1;
  HWND dialog = WaitForDialog(info.dwProcessId);
  if (dialog != nullptr) {
    SetText(dialog, 1000, argv[2]);
    SetText(dialog, 1002, argv[3]);
    Press(dialog, 1015);  // by size
    Press(dialog, 1025);  // in bytes
    SetText(dialog, 1006, argv[4]);
    Press(dialog, IDOK);
    HWND question = WaitForBox(info.dwProcessId, dialog);
    if (question != nullptr) {
      LARGE_INTEGER frequency, begin, end;
      QueryPerformanceFrequency(&frequency);
      QueryPerformanceCounter(&begin);
      Press(question, IDYES);
      for (DWORD start = GetTickCount(); IsWindow(question) && GetTickCount() - start < 60000;) Sleep(20);
      HWND finished = WaitForBox(info.dwProcessId, dialog);
      QueryPerformanceCounter(&end);
      if (finished != nullptr) {
        char text[256] = "";
        GetDlgItemTextA(finished, 0xFFFF, text, sizeof text);
        std::printf("%.3f s: %s\n", double(end.QuadPart - begin.QuadPart) / double(frequency.QuadPart), text);
        Press(finished, IDOK);
        status = 0;
      }
    }
  }
  if (WaitForSingleObject(info.hProcess, 1000) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 0);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return status;
}

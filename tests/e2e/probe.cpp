// Loaded into Dorvenal.exe by a message hook that the e2e driver sets on the
// dialog's thread, to read what no other process can: the window menu.
// The driver passes the dialog's handle and receives the items through a
// named shared block; a named event says the items are there.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600
#include <windows.h>

namespace {

bool answered = false;

void DescribeSystemMenu(HWND dialog, char* out, int room) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  int count = GetMenuItemCount(menu);
  out[0] = '\0';
  for (int i = 0; i < count; ++i) {
    char text[128] = "";
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = sizeof text;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item)) lstrcpyA(text, "?");
    char line[200];
    wsprintfA(line, "%u|%lu|%s\n", item.wID, static_cast<unsigned long>(item.fType), text);
    if (lstrlenA(out) + lstrlenA(line) < room) lstrcatA(out, line);
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (!answered) {
    answered = true;
    char name[64];
    wsprintfA(name, "DorvenalE2EProbe-%lu", GetCurrentProcessId());
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    char* shared = mapping ? static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    if (shared) {
      HWND dialog = *reinterpret_cast<HWND*>(shared);
      DescribeSystemMenu(dialog, shared + sizeof(HWND), 65536 - static_cast<int>(sizeof(HWND)));
      UnmapViewOfFile(shared);
    }
    if (mapping) CloseHandle(mapping);
    wsprintfA(name, "DorvenalE2EProbeDone-%lu", GetCurrentProcessId());
    if (HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
      SetEvent(done);
      CloseHandle(done);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The only ways to fill the two read-only path fields: the system's Open
// dialog for the source and its folder browser for the target.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>

#include "app_texts.h"
#include "dialog_texts.h"
#include "main_window.h"
#include "resource_ids.h"

namespace {

constexpr int kSourceChosen = 100;
constexpr int kSourceNotChosen = -99;

// The record without the fields added for Windows 2000, so that every
// version of the Open dialog takes it.
constexpr DWORD kOpenRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
// The 64-bit test build has no such history.
static_assert(sizeof(void*) != 4 || kOpenRecordSize == 76, "OPENFILENAMEA must be sent in its 76-byte form");

}  // namespace

int PickSourceFile(HWND dialog, const DialogState& state) {
  char path[MAX_PATH] = {};
  int result = ChooseSourceFile(path, sizeof path, dialog, state.joinMode);
  // A cancelled choice empties the field: it never keeps an older path.
  SetDlgItemTextA(dialog, IDC_SOURCE_PATH, result == kSourceChosen ? path : "");
  return result;
}

int ChooseSourceFile(char* buffer, DWORD bufferSize, HWND owner, int32_t joinMode) {
  OPENFILENAMEA record = {};
  record.lStructSize = kOpenRecordSize;
  record.hwndOwner = owner;
  record.lpstrFilter = joinMode != 0 ? TEXT_JOIN_FILTER : TEXT_SPLIT_FILTER;
  record.nFilterIndex = 1;
  record.lpstrFile = buffer;
  record.nMaxFile = bufferSize;
  record.lpstrInitialDir = ".";
  record.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  return GetOpenFileNameA(&record) == TRUE ? kSourceChosen : kSourceNotChosen;
}

int PickTargetDir(HWND dialog) {
  char path[MAX_PATH] = {};
  int result = BrowseForTargetDir(dialog, path);
  SetDlgItemTextA(dialog, IDC_TARGET_PATH, result == 1 ? path : "");
  return result;
}

int BrowseForTargetDir(HWND owner, char* buffer) {
  int result = 0;
  IMalloc* allocator = nullptr;
  SHGetMalloc(&allocator);
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = kAppCaption;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST folder = SHBrowseForFolderA(&info);
  if (folder != nullptr && SHGetPathFromIDListA(folder, buffer)) {
    if (buffer[0] == '\0') {
      ShowInfoBox(owner, TEXT_API_FAILURE);
    } else {
      result = 1;
    }
  }
  // The item list belongs to the shell's allocator; give both back.
  if (allocator != nullptr) {
    allocator->Free(folder);
    allocator->Release();
  }
  return result;
}

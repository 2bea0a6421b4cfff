// JOIN.BAT's code page on Windows: the system's OEM code page, converted
// through UTF-16 from the code page the program's names come in.
#include "batch_codepage.h"

#include <windows.h>

#include <cstdlib>

namespace {

// The manifest makes GetOEMCP answer 65001 on Windows 10 and later. The
// registry keeps what the console really uses: the locale's OEM code page,
// or 65001 itself where Windows uses UTF-8 for every program. ADVAPI32 is
// looked up, not imported, like every call the first Windows 95 may lack.
UINT RegistryOemCodePage() {
  using OpenKey = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
  using QueryValue = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using CloseKey = LONG(WINAPI*)(HKEY);
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  if (advapi == nullptr) return 0;
  auto openKey = reinterpret_cast<OpenKey>(reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegOpenKeyExA")));
  auto queryValue =
      reinterpret_cast<QueryValue>(reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegQueryValueExA")));
  auto closeKey = reinterpret_cast<CloseKey>(reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegCloseKey")));
  UINT codePage = 0;
  HKEY key = nullptr;
  if (openKey && queryValue && closeKey &&
      openKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", 0, KEY_QUERY_VALUE, &key) ==
          ERROR_SUCCESS) {
    char value[16] = "";
    DWORD type = 0, size = sizeof value - 1;
    if (queryValue(key, "OEMCP", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
      codePage = static_cast<UINT>(strtoul(value, nullptr, 10));
    }
    closeKey(key);
  }
  FreeLibrary(advapi);
  return codePage;
}

// The system locale's OEM code page; 0 for a locale without one.
UINT LocaleOemCodePage() {
  char value[16] = "";
  if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTCODEPAGE, value, sizeof value) == 0) return 0;
  UINT codePage = static_cast<UINT>(strtoul(value, nullptr, 10));
  return codePage > 1 ? codePage : 0;  // 1 stands for "the OEM code page", none of its own
}

// Invalid bytes are an error, not a replacement character (UTF-8 itself
// takes no such flag before XP: its replacement character fails the
// comparison instead).
bool ToWide(UINT codePage, const std::string& text, std::wstring* wide) {
  DWORD flags = codePage == CP_UTF8 ? 0 : MB_ERR_INVALID_CHARS;
  int length = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return false;
  wide->assign(static_cast<size_t>(length), L'\0');
  return MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &(*wide)[0], length) ==
         length;
}

bool FromWide(UINT codePage, const std::wstring& wide, std::string* text) {
  int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                   nullptr);
  if (length <= 0) return false;
  text->assign(static_cast<size_t>(length), '\0');
  return WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &(*text)[0], length, nullptr,
                             nullptr) == length;
}

}  // namespace

uint32_t SystemBatchCodePage() {
  UINT oem = GetOEMCP();
  if (oem != CP_UTF8) return oem;  // no manifest in force: the real one
  if (UINT registry = RegistryOemCodePage()) return registry;
  if (UINT locale = LocaleOemCodePage()) return locale;
  return oem;
}

bool IsKnownBatchCodePage(uint32_t codePage) { return IsValidCodePage(codePage) != FALSE; }

bool ConvertForBatch(const std::string& text, uint32_t codePage, std::string* converted) {
  std::wstring wide, back;
  std::string spelled;
  if (!ToWide(CP_ACP, text, &wide) || !FromWide(codePage, wide, &spelled)) return false;
  // A best-fit spelling ("a" for "ā") or the default character does not
  // come back as the same text.
  if (!ToWide(codePage, spelled, &back) || back != wide) return false;
  *converted = spelled;
  return true;
}

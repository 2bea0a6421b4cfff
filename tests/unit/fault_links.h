// Real faults made with the host's own means: links to /proc/self/mem (every read at offset 0 fails), files changed by
// a host program. Under Wine the Windows build starts host programs for them; on real Windows the helpers fail, and the
// tests skip.
#ifndef DORVENAL_FAULT_LINKS_H
#define DORVENAL_FAULT_LINKS_H

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <vector>
#else
#include <cstdlib>
#endif

namespace fault {

#ifdef _WIN32

// The host path of a file of ours, which need not exist yet; empty when not under Wine.
inline std::string HostPath(const std::string& path) {
  typedef char*(CDECL * ToUnix)(LPCWSTR);
  ToUnix toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  size_t slash = path.find_last_of("\\/");
  if (toUnix == nullptr || slash == std::string::npos) return std::string();
  std::string dir = path.substr(0, slash + 1);
  std::vector<wchar_t> wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, nullptr, 0)));
  MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  char* unixDir = toUnix(wide.data());
  if (unixDir == nullptr) return std::string();
  std::string result(unixDir);
  HeapFree(GetProcessHeap(), 0, unixDir);
  return result + (result.back() == '/' ? "" : "/") + path.substr(slash + 1);
}

// Runs a host shell command (holding no double quote) and waits for the
// exit status it leaves in a marker file: Wine gives no handle to wait on.
inline bool RunHostCommand(const std::string& command) {
  char tempDir[MAX_PATH];
  if (command.find('"') != std::string::npos || GetTempPathA(MAX_PATH, tempDir) == 0) return false;
  static int counter = 0;
  std::string marker = std::string(tempDir) + "dorvenal-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++counter) + ".status";
  std::string host = HostPath(marker);
  if (host.empty()) return false;
  std::string line = "/bin/sh -c \"" + command + "; echo $? > '" + host + ".tmp' && mv '" + host + ".tmp' '" +
                     host + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; waited < 2000; ++waited, Sleep(10)) {
    if (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    int status = -1;
    std::ifstream(marker) >> status;
    DeleteFileA(marker.c_str());
    return status == 0;
  }
  return false;
}

#else

inline std::string HostPath(const std::string& path) { return path; }
inline bool RunHostCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

#endif

// `link` becomes a symbolic link to the host path `hostTarget`.
inline bool MakeHostSymlink(const std::string& hostTarget, const std::string& link) {
  std::string hostLink = HostPath(link);
  return !hostLink.empty() && RunHostCommand("ln -s '" + hostTarget + "' '" + hostLink + "'");
}

// Removes a file, link or directory through the host, which also removes
// links that Wine cannot delete, such as one to a device.
inline bool RemoveHostPath(const std::string& path) {
  std::string host = HostPath(path);
  return !host.empty() && RunHostCommand("rm -rf '" + host + "'");
}

}  // namespace fault

#endif

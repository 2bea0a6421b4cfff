// Real faults for tests, made with the host system's own means: links to
// /dev/full (every write fails with "no space") or /proc/self/mem (every
// read at offset 0 fails), files changed by a host program. Under Wine the
// Windows test program asks the host for them through Wine's ability to
// start host programs; on a real Windows system there is no such host and
// the helpers say so, so that the tests skip.
#ifndef DORVENAL_FAULT_LINKS_H
#define DORVENAL_FAULT_LINKS_H

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <vector>
#else
#include <unistd.h>

#include <cstdlib>
#endif

namespace fault {

#ifdef _WIN32

// The host path of a directory of ours; empty when not under Wine.
inline std::string HostDirPath(const std::string& path) {
  typedef char*(CDECL * ToUnix)(LPCWSTR);
  ToUnix toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return std::string();
  int wide = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> buffer(static_cast<size_t>(wide));
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, buffer.data(), wide);
  char* unixPath = toUnix(buffer.data());
  if (unixPath == nullptr) return std::string();
  std::string result(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

// The host path of a file of ours, which need not exist yet.
inline std::string HostPath(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return std::string();
  std::string dir = HostDirPath(path.substr(0, slash + 1));
  return dir.empty() ? dir : dir + (dir.back() == '/' ? "" : "/") + path.substr(slash + 1);
}

// Runs a host shell command and waits for it. Wine starts host programs
// but gives no handle to wait on, so the command leaves its exit status in
// a marker file that we wait for. The command goes inside double quotes
// on a Windows command line, so it must hold none itself.
inline bool RunHostCommand(const std::string& command) {
  if (command.find('"') != std::string::npos) return false;
  char tempDir[MAX_PATH];
  if (GetTempPathA(MAX_PATH, tempDir) == 0) return false;
  static int counter = 0;
  std::string marker = std::string(tempDir) + "dorvenal-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++counter) + ".status";
  std::string hostMarker = HostPath(marker);
  if (hostMarker.empty()) return false;
  std::string line = "/bin/sh -c \"" + command + "; echo $? > '" + hostMarker + ".tmp' && mv '" + hostMarker +
                     ".tmp' '" + hostMarker + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; waited < 2000; ++waited) {
    if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
      std::ifstream in(marker);
      int status = -1;
      in >> status;
      in.close();
      DeleteFileA(marker.c_str());
      return status == 0;
    }
    Sleep(10);
  }
  return false;
}

#else

inline std::string HostPath(const std::string& path) { return path; }
inline bool RunHostCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

#endif

// `link` becomes a symbolic link to the host path `hostTarget`.
inline bool MakeHostSymlink(const std::string& hostTarget, const std::string& link) {
#ifdef _WIN32
  std::string hostLink = HostPath(link);
  return !hostLink.empty() && RunHostCommand("ln -s '" + hostTarget + "' '" + hostLink + "'");
#else
  return ::symlink(hostTarget.c_str(), link.c_str()) == 0;
#endif
}

// Removes a file, link or directory (with what it holds) through the host,
// which also removes links that Wine cannot delete, such as one to a device.
inline bool RemoveHostPath(const std::string& path) {
  std::string host = HostPath(path);
  return !host.empty() && RunHostCommand("rm -rf '" + host + "'");
}

// Whether `path` is gone. Under Wine a link to a device cannot be deleted
// (DeleteFile fails on it), so there it may also still be the very link
// the test made, pointing where it pointed; never a file of data.
inline bool GoneOrTheLinkTo(const std::string& path, const std::string& hostTarget) {
  std::string host = HostPath(path);
  std::string gone = "test ! -e '" + host + "' -a ! -L '" + host + "'";
#ifdef _WIN32
  return RunHostCommand(gone + " || readlink '" + host + "' | grep -qxF '" + hostTarget + "'");
#else
  (void)hostTarget;
  return RunHostCommand(gone);
#endif
}

}  // namespace fault

#endif

#include "test_files.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "fault_links.h"
#include "platform.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// Removes a folder with the system's own calls, never entering a link; false when something stayed, such as
// a host link that Windows calls cannot remove.
bool RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  bool removed = true;
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
    const std::string name = data.cFileName, child = path + "\\" + name;
    if (name == "." || name == "..") continue;
    SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY) {
      removed = RemoveTree(child) && removed;
    } else if (!DeleteFileA(child.c_str()) && !RemoveDirectoryA(child.c_str())) {
      removed = false;
    }
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  return RemoveDirectoryA(path.c_str()) && removed;
}
#endif

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code error;
  do {
    path_ = (fs::temp_directory_path() /
             ("dorvenal-test-" + std::to_string(random()) + "-" + std::to_string(counter++))).string();
  } while (!fs::create_directory(path_, error));
}

TempDir::~TempDir() {
#ifdef _WIN32
  // Under Wine, what the Windows calls leave (a dangling link) goes from the host side.
  if (!RemoveTree(path_)) fault::RemoveHostPath(path_);
#else
  // Folders a test made unwritable are opened up first; links are never followed.
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  for (fs::recursive_directory_iterator it(path_, error), end; !error && it != end; it.increment(error)) {
    if (fs::is_directory(it->symlink_status(error))) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
#endif
}

std::string TempDir::File(const std::string& name) const { return path_ + kPathSeparator + name; }

std::string TempDir::Subdir(const std::string& name) const {
  fs::create_directories(File(name));
  return File(name);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::string();
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool MakeSparse(const std::string& path, uint64_t size) {
#ifdef _WIN32
  // The C library's resize writes zeros; SetEndOfFile leaves a hole.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  const bool made = file != INVALID_HANDLE_VALUE && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  return CloseHandle(file) && made;
#else
  WriteBytes(path, "");
  return truncate(path.c_str(), static_cast<off_t>(size)) == 0;
#endif
}

std::vector<std::string> Snapshot(const std::string& dir) {
  std::vector<std::string> lines;
  for (const std::string& name : ListDir(dir)) {
    const fs::path path = fs::path(dir) / name;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    std::string line = name + (fs::is_directory(status) ? "/" : "");
    if (fs::is_symlink(status)) line += " -> " + fs::read_symlink(path, error).string();
    if (fs::is_regular_file(status)) {  // only files are opened: a FIFO would wait
      const uintmax_t size = fs::file_size(path, error);
      std::string head(static_cast<size_t>(std::min<uintmax_t>(size, 16 << 20)), '\0');
      std::ifstream(path, std::ios::binary).read(&head[0], static_cast<std::streamsize>(head.size()));
      line += " " + std::to_string(size) + " " + std::to_string(std::hash<std::string>()(head));
    }
    lines.push_back(line);
  }
  return lines;
}

std::string PatternBytes(size_t n, uint32_t seed) {
  std::string bytes(n, '\0');
  uint32_t state = seed * 2654435761u + 12345u;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

RedirectedInput::RedirectedInput(const std::string& bytes, const TempDir& scratch)
    : RedirectedInput((WriteBytes(scratch.File("stdin"), bytes), scratch.File("stdin"))) {}

#ifdef _WIN32
RedirectedInput::RedirectedInput(const std::string& path)
    : saved_(reinterpret_cast<intptr_t>(GetStdHandle(STD_INPUT_HANDLE))) {
  SetStdHandle(STD_INPUT_HANDLE, CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
}
RedirectedInput::~RedirectedInput() {
  CloseHandle(GetStdHandle(STD_INPUT_HANDLE));
  SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(saved_));
}
#else
RedirectedInput::RedirectedInput(const std::string& path) : saved_(dup(STDIN_FILENO)) {
  const int fd = open(path.c_str(), O_RDONLY);
  dup2(fd, STDIN_FILENO);
  close(fd);
}
RedirectedInput::~RedirectedInput() {
  dup2(static_cast<int>(saved_), STDIN_FILENO);
  close(static_cast<int>(saved_));
}
#endif

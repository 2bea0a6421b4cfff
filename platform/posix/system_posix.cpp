// The system side on POSIX systems.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <csetjmp>
#include <csignal>
#include <cerrno>
#include <climits>

#include "platform.h"
#include "string_table_texts.h"

const char kPathSeparator = '/';

namespace {

int Fd(FileHandle file) { return static_cast<int>(file.value); }

FileHandle Open(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  return FileHandle{fd < 0 ? kNoHandle : fd};
}

IoError Translate(int error) { return error == ENOSPC || error == EDQUOT ? IoError::kDiskFull : IoError::kOther; }

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO or a device
// from blocking the open; anything but a regular file is refused.
FileHandle OpenRegularForReading(const std::string& path) {
  FileHandle file = Open(path, O_RDONLY | O_NONBLOCK);
  if (file.value == kNoHandle) return file;
  struct stat info;
  int flags = ::fcntl(Fd(file), F_GETFL);
  if (::fstat(Fd(file), &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      ::fcntl(Fd(file), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(Fd(file));
    return FileHandle{};
  }
  return file;
}

}  // namespace

FileHandle OpenSourceFile(const std::string& path) { return OpenRegularForReading(path); }
// A new file of its own: whatever stood at the name (a leftover, a link) is
// removed first, and O_EXCL makes sure no link is followed.
FileHandle CreatePieceFile(const std::string& path) {
  ::unlink(path.c_str());
  return Open(path, O_RDWR | O_CREAT | O_EXCL);
}
FileHandle CreateSharedFile(const std::string& path) { return CreatePieceFile(path); }

FileHandle OpenPieceForReading(const std::string& path) { return OpenRegularForReading(path); }

bool GetFileSize64(FileHandle file, uint64_t* size) {
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

// Writes hand the kernel at most this much per call. On the machine we
// measured, one write() of a whole piece straight from the mapped source
// ran two to ten times slower, and very unevenly, than the same bytes in
// 256 KiB calls; the extra calls cost nothing that could be measured.
constexpr size_t kWriteCallSize = size_t{256} << 10;

bool GetFileStamp(FileHandle file, FileStamp* stamp) {
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) return false;
  stamp->size = static_cast<uint64_t>(info.st_size);
  // A write changes the modification time; the change time also catches a
  // modification time set back by hand.
  auto nanoseconds = [](const struct timespec& t) {
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
  };
  stamp->written = nanoseconds(info.st_mtim);
  stamp->changed = nanoseconds(info.st_ctim);
  return true;
}

IoError WriteAll(FileHandle file, const void* data, size_t length) {
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    size_t chunk = length < kWriteCallSize ? length : kWriteCallSize;
    ssize_t written = ::write(Fd(file), bytes, chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      return Translate(errno);
    }
    if (written == 0) return IoError::kOther;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return IoError::kNone;
}

// Reads ask for at most this much, whatever buffer they fill: a join through
// its 200 KiB buffer ran a quarter faster in 128 KiB reads (each followed
// by its write), both copies of every byte being cheaper in the smaller
// stride. A short read is within read()'s contract.
constexpr size_t kReadCallSize = size_t{128} << 10;

IoError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  if (length > kReadCallSize) length = kReadCallSize;
  for (;;) {
    ssize_t read = ::read(Fd(file), buffer, length);
    if (read >= 0) {
      *got = static_cast<size_t>(read);
      return IoError::kNone;
    }
    if (errno != EINTR) return IoError::kOther;
  }
}

bool CloseFile(FileHandle file) { return ::close(Fd(file)) == 0; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool MakeExecutable(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  // Whoever may read it may run it, as umask allowed reading.
  mode_t mode = info.st_mode | ((info.st_mode & 0444) >> 2);
  return ::chmod(path.c_str(), mode) == 0;
}

bool PathFitsSystem(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  size_t nameLength = slash == std::string::npos ? path.size() : path.size() - slash - 1;
  long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  if (nameMax <= 0) nameMax = NAME_MAX;
  return nameLength <= static_cast<size_t>(nameMax) && path.size() < PATH_MAX;
}

bool IsSameFile(const std::string& path, FileHandle file) {
  struct stat named;
  struct stat open;
  if (::stat(path.c_str(), &named) != 0 || ::fstat(Fd(file), &open) != 0) return false;
  return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

bool FindFileExact(const std::string& path, uint64_t* size) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

// mmap needs no separate mapping object: the "mapping" is the file itself,
// duplicated so that it lives as long as the caller holds it.
MappingHandle CreateReadOnlyMapping(FileHandle file) {
  int fd = ::fcntl(Fd(file), F_DUPFD_CLOEXEC, 0);
  return MappingHandle{fd < 0 ? kNoHandle : fd};
}

const unsigned char* MapView(MappingHandle mapping, uint64_t offset, size_t length) {
  if (length == 0) return nullptr;
  int flags = MAP_SHARED;
#ifdef MAP_POPULATE
  // Faulting the pages in up front is much faster than one fault per page
  // while write() copies from the view.
  flags |= MAP_POPULATE;
#endif
  void* view = ::mmap(nullptr, length, PROT_READ, flags, static_cast<int>(mapping.value), static_cast<off_t>(offset));
  return view == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(view);
}

bool UnmapView(const unsigned char* view, size_t length) {
  return ::munmap(const_cast<unsigned char*>(view), length) == 0;
}

bool CloseMapping(MappingHandle mapping) { return ::close(static_cast<int>(mapping.value)) == 0; }

uint64_t MappingGranularity() { return static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)); }

uint64_t PreferredViewSize() {
  // A 64-bit process can map any file whole; a 32-bit one works in windows.
  return sizeof(void*) >= 8 ? (uint64_t{1} << 40) : (uint64_t{256} << 20);
}

namespace {
sigjmp_buf* gMappedReadEscape = nullptr;

void OnBusError(int) {
  if (gMappedReadEscape != nullptr) siglongjmp(*gMappedReadEscape, 1);
  std::signal(SIGBUS, SIG_DFL);
  std::raise(SIGBUS);
}
}  // namespace

bool GuardMappedRead(void (*read)(void* context), void* context) {
  struct sigaction guard = {};
  struct sigaction previous = {};
  guard.sa_handler = OnBusError;
  sigemptyset(&guard.sa_mask);
  ::sigaction(SIGBUS, &guard, &previous);
  sigjmp_buf escape;
  bool completed = false;
  if (sigsetjmp(escape, 1) == 0) {
    gMappedReadEscape = &escape;
    read(context);
    completed = true;
  }
  gMappedReadEscape = nullptr;
  ::sigaction(SIGBUS, &previous, nullptr);
  return completed;
}

bool QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes) {
  struct statvfs info;
  if (::statvfs(targetDir.c_str(), &info) != 0) return false;
  // The blocks this user may fill, not those kept back for root.
  *freeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

std::string LoadText(int stringId) {
  const char* text = StringTableText(stringId);
  return text != nullptr ? std::string(text) : std::string();
}

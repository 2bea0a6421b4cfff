// The system side on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "fault_seam.h"
#include "platform.h"
#include "stop_request.h"

const char kPathSeparator = '/';

namespace {

int Fd(FileHandle file) { return static_cast<int>(file.value); }

// The error of a call that failed, never 0.
SystemError LastError() { return errno != 0 ? errno : EIO; }

}  // namespace

SystemError OpenRegularFile(const std::string& path, FileHandle* file, bool* notRegular) {
  *notRegular = false;
  // O_NONBLOCK keeps a FIFO or a device from blocking the open.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return LastError();
  struct stat info;
  int flags = ::fcntl(fd, F_GETFL);
  SystemError error = kNoError;
  if (::fstat(fd, &info) != 0 || flags < 0) {
    error = LastError();
  } else if (!S_ISREG(info.st_mode)) {
    *notRegular = true;
    error = EINVAL;
  } else if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = LastError();
  }
  if (error != kNoError) {
    ::close(fd);
    return error;
  }
  file->value = fd;
  return kNoError;
}

FileHandle StandardInput() { return FileHandle{STDIN_FILENO}; }

namespace {

// The calls by name, found from the folder `at` (AT_FDCWD: from the path).
SystemError CreateNewAt(int at, const std::string& name, FileHandle* file) {
  if (SystemError fault = InjectedFault(FaultCall::kCreate)) return fault;
  // O_EXCL: nothing that stands at the name, a link least of all, is used.
  int fd = ::openat(at, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  file->value = fd;
  return kNoError;
}

SystemError RenameAt(int at, const std::string& from, const std::string& to) {
  if (SystemError fault = InjectedFault(FaultCall::kRename)) return fault;
  return ::renameat(at, from.c_str(), at, to.c_str()) == 0 ? kNoError : LastError();
}

}  // namespace

SystemError CreateNewFile(const std::string& path, FileHandle* file) { return CreateNewAt(AT_FDCWD, path, file); }

SystemError OpenFolder(const std::string& dir, FolderHandle* folder) {
#ifdef O_PATH
  // A folder that may be searched but not read is held all the same.
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
  if (fd < 0) return LastError();
  folder->value = fd;
  return kNoError;
}

void CloseFolder(FolderHandle folder) { ::close(static_cast<int>(folder.value)); }

namespace {

// A name in a folder that is not held, by its path.
std::string PathIn(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + '/' + name;
}

}  // namespace

SystemError CreateNewFileIn(FolderHandle folder, const std::string& dir, const std::string& name, FileHandle* file) {
  if (folder.value == kNoHandle) return CreateNewFile(PathIn(dir, name), file);
  return CreateNewAt(static_cast<int>(folder.value), name, file);
}

SystemError RenameIn(FolderHandle folder, const std::string& dir, const std::string& from, const std::string& to) {
  if (folder.value == kNoHandle) return RenameReplacing(PathIn(dir, from), PathIn(dir, to));
  return RenameAt(static_cast<int>(folder.value), from, to);
}

SystemError GetFileStamp(FileHandle file, FileStamp* stamp) {
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) return LastError();
  stamp->size = static_cast<uint64_t>(info.st_size);
  // A write changes the modification time; the change time also catches a
  // modification time set back by hand. Both to the nanosecond the file
  // system keeps.
  auto nanoseconds = [](const struct timespec& t) {
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
  };
  stamp->written = nanoseconds(info.st_mtim);
  stamp->changed = nanoseconds(info.st_ctim);
  return kNoError;
}

// Writes hand the kernel at most this much per call: one write() of a whole
// piece ran two to ten times slower, and very unevenly, than the same bytes
// in 256 KiB calls.
constexpr size_t kWriteCallSize = size_t{256} << 10;

SystemError WriteAll(FileHandle file, const void* data, size_t length) {
  if (SystemError fault = InjectedFault(FaultCall::kWrite)) return fault;
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    size_t chunk = length < kWriteCallSize ? length : kWriteCallSize;
    ssize_t written = ::write(Fd(file), bytes, chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (written == 0) return EIO;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return kNoError;
}

SystemError WriteAllAt(FileHandle file, uint64_t offset, const void* data, size_t length) {
  if (SystemError fault = InjectedFault(FaultCall::kWrite)) return fault;
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    size_t chunk = length < kWriteCallSize ? length : kWriteCallSize;
    ssize_t written = ::pwrite(Fd(file), bytes, chunk, static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (written == 0) return EIO;
    bytes += written;
    offset += static_cast<uint64_t>(written);
    length -= static_cast<size_t>(written);
  }
  return kNoError;
}

// Reads ask for at most this much, whatever buffer they fill: a join through
// its 200 KiB buffer ran a quarter faster in 128 KiB reads, both copies of
// every byte being cheaper in the smaller stride.
constexpr size_t kReadCallSize = size_t{128} << 10;

SystemError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  if (length > kReadCallSize) length = kReadCallSize;
  for (;;) {
    ssize_t read = ::read(Fd(file), buffer, length);
    if (read >= 0) {
      *got = static_cast<size_t>(read);
      return kNoError;
    }
    // A stop request must not wait for a pipe that stays idle.
    if (errno != EINTR || StopRequested()) return LastError();
  }
}

SystemError CloseFile(FileHandle file) { return ::close(Fd(file)) == 0 ? kNoError : LastError(); }

SystemError RemoveFile(const std::string& path) {
  if (SystemError fault = InjectedFault(FaultCall::kRemove)) return fault;
  return ::unlink(path.c_str()) == 0 ? kNoError : LastError();
}

namespace {

// The lock file at path, opened without waiting: an existing one as it is,
// without O_CREAT, which a sticky folder refuses on another user's file
// (fs.protected_regular), and read-only, which is all flock needs; a
// missing one created readable by all, so that any user's run can lock it.
LockOutcome OpenLockFile(const std::string& path, int* fd, SystemError* error) {
  for (int tries = 0; tries < 100; ++tries) {
    // O_NONBLOCK: a FIFO at the name does not hold up the open.
    *fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (*fd >= 0) return LockOutcome::kHeld;
    struct stat there;
    if (errno != ENOENT) {
      *error = errno;
      if (lstat(path.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) return LockOutcome::kNotALockFile;
      if (errno == EINTR) continue;
      return LockOutcome::kOpenFailed;
    }
    *fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (*fd >= 0) {
      fchmod(*fd, 0644);  // whatever the umask: others' runs open it to lock it
      return LockOutcome::kHeld;
    }
    *error = errno;
    if (errno == EEXIST || errno == EINTR) continue;  // made by another run since: open that one
    // The folder takes no file (or is missing): the run's own work there
    // fails with its own words, or, reading only, goes on without a lock.
    if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ENOENT || errno == ENOTDIR) {
      return LockOutcome::kNoLockHere;
    }
    return LockOutcome::kCreateFailed;
  }
  return LockOutcome::kOpenFailed;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

// The file is removed only by a run that holds it alone and finds it still
// under the name; a run that waited on a file removed meanwhile sees that
// its file lost the name and tries again, so two runs never hold two files.
LockOutcome TryLockFile(const std::string& path, LockMode mode, FileHandle* lock, SystemError* error) {
  if ((*error = InjectedFault(FaultCall::kLock)) != kNoError) return LockOutcome::kLockFailed;
  int fd = -1;
  const LockOutcome opened = OpenLockFile(path, &fd, error);
  if (opened != LockOutcome::kHeld) return opened;
  struct stat held;
  if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
    close(fd);
    return LockOutcome::kNotALockFile;
  }
  if (flock(fd, (mode == LockMode::kShared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
    *error = errno;
    close(fd);
    return *error == EWOULDBLOCK || *error == EINTR ? LockOutcome::kBusy : LockOutcome::kLockFailed;
  }
  struct stat named;
  if (stat(path.c_str(), &named) != 0 || !SameFile(held, named)) {
    close(fd);
    return LockOutcome::kBusy;
  }
  lock->value = fd;
  return LockOutcome::kHeld;
}

void RemoveLockFileIfAlone(const std::string& path, FileHandle lock) {
  // A shared holder turns exclusive only when no other run holds the file;
  // it may lose its shared hold on the way, which a run letting go can.
  if (flock(Fd(lock), LOCK_EX | LOCK_NB) != 0) return;
  struct stat held, named;
  if (fstat(Fd(lock), &held) == 0 && lstat(path.c_str(), &named) == 0 && SameFile(held, named)) unlink(path.c_str());
}

void PauseBriefly() {
  struct timespec pause = {0, 10 * 1000 * 1000};
  nanosleep(&pause, nullptr);
}

SystemError RenameReplacing(const std::string& from, const std::string& to) { return RenameAt(AT_FDCWD, from, to); }

// A move: a link at the name is never followed, and goes aside itself.
SystemError KeepAside(const std::string& name, const std::string& kept) { return RenameReplacing(name, kept); }

SystemError MakeExecutable(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return LastError();
  // Whoever may read it may run it, as umask allowed reading.
  mode_t mode = info.st_mode | ((info.st_mode & 0444) >> 2);
  return ::chmod(path.c_str(), mode) == 0 ? kNoError : LastError();
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

bool NameIsTaken(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

SystemError LookUpFile(const std::string& path, uint64_t* size, bool* found) {
  *found = false;
  if (SystemError fault = InjectedFault(FaultCall::kLookUp)) return fault;
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR ? kNoError : LastError();
  if (S_ISDIR(info.st_mode)) return kNoError;
  *size = static_cast<uint64_t>(info.st_size);
  *found = true;
  return kNoError;
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

namespace {

void Identify(const struct stat& info, FileIdentity* identity) {
  identity->volume = static_cast<uint64_t>(info.st_dev);
  identity->index = static_cast<uint64_t>(info.st_ino);
  identity->size = static_cast<uint64_t>(info.st_size);
  identity->link = S_ISLNK(info.st_mode);
}

}  // namespace

SystemError GetNameIdentity(const std::string& path, FileIdentity* identity) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return LastError();
  if (S_ISDIR(info.st_mode)) return EISDIR;
  Identify(info, identity);
  return kNoError;
}

SystemError GetOpenIdentity(FileHandle file, FileIdentity* identity) {
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) return LastError();
  Identify(info, identity);
  return kNoError;
}

// One fstat tells the volume too.
SystemError GetOpenIdentityBeside(FileHandle file, const FileIdentity&, FileIdentity* identity) {
  return GetOpenIdentity(file, identity);
}

SystemError SyncFile(FileHandle file) {
  if (SystemError fault = InjectedFault(FaultCall::kSync)) return fault;
  // The data and the size; times the record does not need.
  return ::fdatasync(Fd(file)) == 0 ? kNoError : LastError();
}

SystemError SyncFolder(const std::string& dir) {
  if (SystemError fault = InjectedFault(FaultCall::kSync)) return fault;
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  // Some file systems cannot sync a folder (EINVAL): their names are as safe as they get.
  SystemError error = ::fsync(fd) == 0 || errno == EINVAL ? kNoError : LastError();
  ::close(fd);
  return error;
}

SystemError ListFolder(const std::string& dir,
                       void (*visit)(const std::string& name, uint64_t index, void* context), void* context) {
  DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
  if (folder == nullptr) return LastError();
  errno = 0;
  std::string name;  // one buffer for every entry: a set's folder may hold thousands
  while (const struct dirent* entry = ::readdir(folder)) {
    name.assign(entry->d_name);
    if (name != "." && name != "..") visit(name, static_cast<uint64_t>(entry->d_ino), context);
    errno = 0;
  }
  SystemError error = errno;
  ::closedir(folder);
  return error;
}

bool ListingTellsIdentity(const std::string& dir) {
#ifdef __linux__
  // Local file systems whose listings give each file's inode number.
  constexpr unsigned long kExt = 0xEF53, kTmpfs = 0x01021994, kXfs = 0x58465342, kBtrfs = 0x9123683E;
  struct statfs info;
  if (::statfs(dir.empty() ? "." : dir.c_str(), &info) != 0) return false;
  const unsigned long type = static_cast<unsigned long>(info.f_type);
  return type == kExt || type == kTmpfs || type == kXfs || type == kBtrfs;
#else
  (void)dir;
  return false;
#endif
}

namespace {

// The folder that holds `path`: "." for a bare name, "/" at the top.
std::string ParentFolder(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  size_t slash = end == std::string::npos ? std::string::npos : path.find_last_of('/', end);
  if (slash == std::string::npos) return end == std::string::npos ? "/" : ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

SystemError QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes) {
  // A folder not made yet (a dry run that would create it) lies on the
  // volume of its nearest existing parent.
  std::string dir = targetDir;
  struct statvfs info;
  while (::statvfs(dir.c_str(), &info) != 0) {
    if (errno != ENOENT || dir == "/" || dir == ".") return LastError();
    dir = ParentFolder(dir);
  }
  // The blocks this user may fill, not those kept back for root.
  *freeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return kNoError;
}

bool IsDiskFull(SystemError error) { return error == ENOSPC || error == EDQUOT; }

std::string DescribeSystemError(SystemError error) { return std::strerror(error); }

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

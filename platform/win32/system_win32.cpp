// The system side on Windows.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "drive_root.h"
#include "fault_seam.h"
#include "platform.h"
#include "stop_request.h"

const char kPathSeparator = '\\';

namespace {

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

// The error of a call that failed, never 0.
SystemError LastError() {
  DWORD error = GetLastError();
  return error != NO_ERROR ? static_cast<SystemError>(error) : static_cast<SystemError>(ERROR_GEN_FAILURE);
}

SystemError Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, FileHandle* file) {
  HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  file->value = reinterpret_cast<intptr_t>(handle);
  return kNoError;
}

bool SameNameIgnoringCase(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

// A call of ntdll, or nullptr where there is none (Windows 95 and 98).
template <typename Function>
Function* NtdllCall(const char* name) {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll == nullptr ? nullptr
                          : reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

}  // namespace

SystemError OpenRegularFile(const std::string& path, FileHandle* file, bool* notRegular) {
  *notRegular = false;
  FileHandle opened;
  SystemError error = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &opened);
  if (error != kNoError) return error;
  // CON, NUL, COM1 and pipes open like files; only a disk file is read.
  if (GetFileType(Native(opened)) != FILE_TYPE_DISK) {
    CloseHandle(Native(opened));
    *notRegular = true;
    return ERROR_INVALID_FUNCTION;
  }
  *file = opened;
  return kNoError;
}

FileHandle StandardInput() { return FileHandle{reinterpret_cast<intptr_t>(GetStdHandle(STD_INPUT_HANDLE))}; }

// A new file of its own: CREATE_NEW fails when anything stands at the name,
// so no link is followed and no other run's file is taken.
SystemError CreateNewFile(const std::string& path, FileHandle* file) {
  if (SystemError fault = InjectedFault(FaultCall::kCreate)) return fault;
  return Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, file);
}

// Windows opens names by path all the same: no folder is held.
SystemError OpenFolder(const std::string&, FolderHandle*) { return kNoError; }
void CloseFolder(FolderHandle) {}

namespace {

std::string PathIn(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '\\' || dir.back() == '/' ? dir + name : dir + '\\' + name;
}

}  // namespace

SystemError CreateNewFileIn(FolderHandle, const std::string& dir, const std::string& name, FileHandle* file) {
  return CreateNewFile(PathIn(dir, name), file);
}

SystemError RenameIn(FolderHandle, const std::string& dir, const std::string& from, const std::string& to) {
  return RenameReplacing(PathIn(dir, from), PathIn(dir, to));
}

SystemError GetFileStamp(FileHandle file, FileStamp* stamp) {
  DWORD high = 0;
  DWORD low = GetFileSize(Native(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return LastError();
  FILETIME written;
  if (!GetFileTime(Native(file), nullptr, nullptr, &written)) return LastError();
  stamp->size = (static_cast<uint64_t>(high) << 32) | low;
  stamp->written = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  stamp->changed = 0;
  return kNoError;
}

SystemError WriteAll(FileHandle file, const void* data, size_t length) {
  if (SystemError fault = InjectedFault(FaultCall::kWrite)) return fault;
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    DWORD chunk = length < 0x40000000u ? static_cast<DWORD>(length) : 0x40000000u;
    DWORD written = 0;
    if (!WriteFile(Native(file), bytes, chunk, &written, nullptr)) return LastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    length -= written;
  }
  return kNoError;
}

SystemError WriteAllAt(FileHandle file, uint64_t offset, const void* data, size_t length) {
  if (SystemError fault = InjectedFault(FaultCall::kWrite)) return fault;
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    DWORD chunk = length < 0x40000000u ? static_cast<DWORD>(length) : 0x40000000u;
    DWORD written = 0;
    // On a handle opened for plain (not overlapped) I/O the offset is taken
    // and the call still returns when the bytes are written.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    if (!WriteFile(Native(file), bytes, chunk, &written, &at)) return LastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    offset += written;
    length -= written;
  }
  return kNoError;
}

SystemError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  DWORD read = 0;
  if (!ReadFile(Native(file), buffer, static_cast<DWORD>(length), &read, nullptr)) {
    // A pipe whose writer has finished ends this way.
    if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) read = 0;
    else return LastError();
  }
  *got = read;
  return kNoError;
}

// Block cloning needs ReFS and a test system that has it; plain copies here.
SystemError CopyInKernel(FileHandle, FileHandle, uint64_t, uint64_t* copied, bool* unsupported) {
  *copied = 0;
  *unsupported = true;
  return kNoError;
}

unsigned CountProcessors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

// Whether a disk seeks is not asked here: one file at a time, as before.
bool ReadsOneAtATime(const std::string&) { return true; }

SystemError CloseFile(FileHandle file) { return CloseHandle(Native(file)) ? kNoError : LastError(); }

SystemError RemoveFile(const std::string& path) {
  if (SystemError fault = InjectedFault(FaultCall::kRemove)) return fault;
  return DeleteFileA(path.c_str()) ? kNoError : LastError();
}

// The lock is the file's sharing: a run alone shares it with nobody, joins
// share it for reading among themselves. The file goes when its last
// holder closes it (Windows 95 and 98 keep it, and it is reused).
LockOutcome TryLockFile(const std::string& path, LockMode mode, FileHandle* lock, SystemError* error) {
  if ((*error = InjectedFault(FaultCall::kLock)) != kNoError) return LockOutcome::kLockFailed;
  const DWORD share = mode == LockMode::kShared ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
  for (int denied = 0;; Sleep(10)) {
    const DWORD there = GetFileAttributesA(path.c_str());
    if (there != INVALID_FILE_ATTRIBUTES && (there & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
      return LockOutcome::kNotALockFile;
    }
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    // A file this user may not delete (another user's, or read-only) is
    // locked all the same, and stays.
    if (held == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED && there != INVALID_FILE_ATTRIBUTES) {
      held = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (held != INVALID_HANDLE_VALUE) {
      if (GetFileType(held) != FILE_TYPE_DISK) {
        CloseHandle(held);
        return LockOutcome::kNotALockFile;
      }
      lock->value = reinterpret_cast<intptr_t>(held);
      return LockOutcome::kHeld;
    }
    *error = LastError();
    if (*error == ERROR_SHARING_VIOLATION) return LockOutcome::kBusy;
    if (there == INVALID_FILE_ATTRIBUTES) {
      const bool noFile = *error == ERROR_ACCESS_DENIED || *error == ERROR_WRITE_PROTECT ||
                          *error == ERROR_PATH_NOT_FOUND || *error == ERROR_FILE_NOT_FOUND;
      return noFile ? LockOutcome::kNoLockHere : LockOutcome::kCreateFailed;
    }
    // Denied on an existing file: it is being deleted as its last holder
    // lets go, for a moment; for longer, it is not ours to open.
    if (*error != ERROR_ACCESS_DENIED || ++denied >= 200 || StopRequested()) return LockOutcome::kOpenFailed;
  }
}

void RemoveLockFileIfAlone(const std::string&, FileHandle) {}

void PauseBriefly() { Sleep(10); }

namespace {

// The rename MoveFileEx makes, without the question it asks first of the
// file's attributes: under Wine that question is one more request to its
// server, which a commit of many small pieces pays for each. False where
// ntdll is missing.
bool RenameOpenedName(const std::string& from, const std::string& to, SystemError* error) {
  static const auto toNtPath = NtdllCall<decltype(RtlDosPathNameToNtPathName_U)>("RtlDosPathNameToNtPathName_U");
  static const auto setInformation = NtdllCall<decltype(NtSetInformationFile)>("NtSetInformationFile");
  static const auto freeString = NtdllCall<decltype(RtlFreeUnicodeString)>("RtlFreeUnicodeString");
  static const auto toError = NtdllCall<decltype(RtlNtStatusToDosError)>("RtlNtStatusToDosError");
  if (toNtPath == nullptr || setInformation == nullptr || freeString == nullptr || toError == nullptr) return false;
  const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  const int length = MultiByteToWideChar(codePage, 0, to.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
  UNICODE_STRING target;
  if (length <= 0 || MultiByteToWideChar(codePage, 0, to.c_str(), -1, &wide[0], length) != length ||
      !toNtPath(wide.c_str(), &target, nullptr, nullptr)) {
    return false;
  }
  // A link is renamed itself, as MoveFileEx renames it.
  HANDLE file = CreateFileA(from.c_str(), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastError();
    freeString(&target);
    return true;
  }
  // The record ends in the name, of a length the structure does not hold.
  const size_t size = std::max(offsetof(FILE_RENAME_INFORMATION, FileName) + target.Length, sizeof(FILE_RENAME_INFORMATION));
  std::vector<uint64_t> record((size + 7) / 8);
  auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(record.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = target.Length;
  std::memcpy(rename->FileName, target.Buffer, target.Length);
  freeString(&target);
  IO_STATUS_BLOCK io;
  const NTSTATUS status = setInformation(file, &io, rename, static_cast<ULONG>(size), FileRenameInformation);
  CloseHandle(file);
  *error = status == 0 ? kNoError : static_cast<SystemError>(toError(status));
  if (status != 0 && *error == kNoError) *error = ERROR_GEN_FAILURE;
  return true;
}

}  // namespace

SystemError RenameReplacing(const std::string& from, const std::string& to) {
  if (SystemError fault = InjectedFault(FaultCall::kRename)) return fault;
  SystemError error = kNoError;
  if (RenameOpenedName(from, to, &error)) return error;
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return kNoError;
  // Windows 95 and 98 have no MoveFileEx: remove, then move.
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return LastError();
  DeleteFileA(to.c_str());
  return MoveFileA(from.c_str(), to.c_str()) ? kNoError : LastError();
}

// A second name, not a move: Wine moves the file a host link leads to, not
// the link, so that a move aside and the removal of the kept name would
// take a file outside the folder with them. Windows 95 and 98 and volumes
// without hard links (FAT) get the move.
SystemError KeepAside(const std::string& name, const std::string& kept) {
  if (SystemError fault = InjectedFault(FaultCall::kRename)) return fault;
  using CreateHardLinkFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
  static const auto createHardLink = reinterpret_cast<CreateHardLinkFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateHardLinkA")));
  if (createHardLink != nullptr && createHardLink(kept.c_str(), name.c_str(), nullptr)) return kNoError;
  return MoveFileExA(name.c_str(), kept.c_str(), 0) ? kNoError : LastError();
}

SystemError MakeExecutable(const std::string&) { return kNoError; }

bool PathFitsSystem(const std::string& path) { return path.size() < MAX_PATH; }

bool IsSameFile(const std::string& path, FileHandle file) {
  HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  bool same = GetFileInformationByHandle(named, &a) && GetFileInformationByHandle(Native(file), &b) &&
              a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
              a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(named);
  return same;
}

bool FindFileExact(const std::string& path, uint64_t* size) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  // A name with wildcards could match some other file.
  size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!SameNameIgnoringCase(data.cFileName, name.c_str())) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

// A reparse point's own attributes, whether or not it leads anywhere.
bool NameIsTaken(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

SystemError LookUpFile(const std::string& path, uint64_t* size, bool* found) {
  *found = false;
  if (SystemError fault = InjectedFault(FaultCall::kLookUp)) return fault;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
    return missing ? kNoError : static_cast<SystemError>(error);
  }
  FindClose(find);
  *found = FindFileExact(path, size);
  return kNoError;
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

namespace {

SystemError IdentifyHandle(HANDLE handle, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return LastError();
  identity->volume = info.dwVolumeSerialNumber;
  identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity->size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity->link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return kNoError;
}

}  // namespace

SystemError GetNameIdentity(const std::string& path, FileIdentity* identity) {
  // No access asked: a file another program holds open is still looked at.
  // Without backup semantics a folder does not open. A reparse point is
  // its own file, as a link is on POSIX.
  HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (named == INVALID_HANDLE_VALUE) return LastError();
  SystemError error = IdentifyHandle(named, identity);
  CloseHandle(named);
  return error;
}

SystemError GetOpenIdentity(FileHandle file, FileIdentity* identity) { return IdentifyHandle(Native(file), identity); }

// The index and size alone, from the file system's own answers: Wine asks
// its mount manager, another process, for the volume of every file.
SystemError GetOpenIdentityBeside(FileHandle file, const FileIdentity& neighbour, FileIdentity* identity) {
  static const auto query = NtdllCall<decltype(NtQueryInformationFile)>("NtQueryInformationFile");
  FILE_INTERNAL_INFORMATION index;
  IO_STATUS_BLOCK io;
  if (query == nullptr || query(Native(file), &io, &index, sizeof index, FileInternalInformation) != 0) {
    return IdentifyHandle(Native(file), identity);
  }
  DWORD high = 0;
  const DWORD low = GetFileSize(Native(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return LastError();
  *identity = FileIdentity{neighbour.volume, static_cast<uint64_t>(index.IndexNumber.QuadPart),
                           (static_cast<uint64_t>(high) << 32) | low, false};
  return kNoError;
}

SystemError SyncFile(FileHandle file) {
  if (SystemError fault = InjectedFault(FaultCall::kSync)) return fault;
  return FlushFileBuffers(Native(file)) ? kNoError : LastError();
}

// Windows keeps a folder's entries with the files' own metadata: nothing to ask.
SystemError SyncFolder(const std::string&) { return InjectedFault(FaultCall::kSync); }

SystemError ListFolder(const std::string& dir,
                       void (*visit)(const std::string& name, uint64_t index, void* context), void* context) {
  std::string pattern = dir.empty() ? std::string(".") : dir;
  if (pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? kNoError : LastError();
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") visit(name, 0, context);
  } while (FindNextFileA(find, &data));
  SystemError error = GetLastError() == ERROR_NO_MORE_FILES ? kNoError : LastError();
  FindClose(find);
  return error;
}

// FindFirstFile tells no file index.
bool ListingTellsIdentity(const std::string&) { return false; }

SystemError QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes) {
  const std::string root = MakeFreeSpaceRoot(targetDir);
  // Looked up at run time: the first releases of Windows 95 lack it.
  typedef BOOL(WINAPI * FreeSpaceEx)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  FreeSpaceEx query = reinterpret_cast<FreeSpaceEx>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
  if (query != nullptr) {
    ULARGE_INTEGER available;
    ULARGE_INTEGER total;
    ULARGE_INTEGER totalFree;
    // Total free bytes, not the caller's quota share.
    if (!query(root.c_str(), &available, &total, &totalFree)) return LastError();
    *freeBytes = totalFree.QuadPart;
    return kNoError;
  }
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return LastError();
  }
  *freeBytes = FreeBytesFromClusters(sectorsPerCluster, bytesPerSector, freeClusters);
  return kNoError;
}

bool IsDiskFull(SystemError error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

std::string DescribeSystemError(SystemError error) {
  char* text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  // The system's text ends in a period and a line break.
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' || words.back() == '.')) {
    words.pop_back();
  }
  return words;
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

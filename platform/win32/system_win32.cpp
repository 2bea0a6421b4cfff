// The system side on Windows.
#include <windows.h>

#include "free_space.h"
#include "platform.h"

const char kPathSeparator = '\\';

namespace {

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

FileHandle FromNative(HANDLE handle) {
  return FileHandle{handle == INVALID_HANDLE_VALUE ? kNoHandle : reinterpret_cast<intptr_t>(handle)};
}

FileHandle Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return FromNative(CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

IoError Translate(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? IoError::kDiskFull : IoError::kOther;
}

bool SameNameIgnoringCase(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

}  // namespace

FileHandle OpenSourceFile(const std::string& path) {
  return Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

// New files of their own: whatever stood at the name (a leftover, a link)
// is removed first, so that no link is followed into another file.
FileHandle CreatePieceFile(const std::string& path) {
  DeleteFileA(path.c_str());
  return Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
}

FileHandle CreateSharedFile(const std::string& path) {
  DeleteFileA(path.c_str());
  return Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW);
}

FileHandle OpenPieceForReading(const std::string& path) {
  return Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

bool GetFileSize64(FileHandle file, uint64_t* size) {
  DWORD high = 0;
  DWORD low = GetFileSize(Native(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  *size = (static_cast<uint64_t>(high) << 32) | low;
  return true;
}

bool GetFileStamp(FileHandle file, FileStamp* stamp) {
  FILETIME written;
  if (!GetFileSize64(file, &stamp->size) || !GetFileTime(Native(file), nullptr, nullptr, &written)) return false;
  stamp->written = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  stamp->changed = 0;
  return true;
}

IoError WriteAll(FileHandle file, const void* data, size_t length) {
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    DWORD chunk = length < 0x40000000u ? static_cast<DWORD>(length) : 0x40000000u;
    DWORD written = 0;
    if (!WriteFile(Native(file), bytes, chunk, &written, nullptr)) return Translate(GetLastError());
    if (written == 0) return IoError::kOther;
    bytes += written;
    length -= written;
  }
  return IoError::kNone;
}

IoError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  DWORD read = 0;
  if (!ReadFile(Native(file), buffer, static_cast<DWORD>(length), &read, nullptr)) return IoError::kOther;
  *got = read;
  return IoError::kNone;
}

bool CloseFile(FileHandle file) { return CloseHandle(Native(file)) != 0; }

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  // Windows 95 and 98 have no MoveFileEx: remove, then move.
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  DeleteFileA(to.c_str());
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool MakeExecutable(const std::string&) { return true; }

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

MappingHandle CreateReadOnlyMapping(FileHandle file) {
  // Unnamed: a shared name would let another process's mapping of another
  // file stand in for ours.
  HANDLE mapping = CreateFileMappingA(Native(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
  return MappingHandle{mapping == nullptr ? kNoHandle : reinterpret_cast<intptr_t>(mapping)};
}

const unsigned char* MapView(MappingHandle mapping, uint64_t offset, size_t length) {
  void* view = MapViewOfFile(reinterpret_cast<HANDLE>(mapping.value), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                             static_cast<DWORD>(offset), length);
  return static_cast<const unsigned char*>(view);
}

bool UnmapView(const unsigned char* view, size_t) { return UnmapViewOfFile(view) != 0; }

bool CloseMapping(MappingHandle mapping) { return CloseHandle(reinterpret_cast<HANDLE>(mapping.value)) != 0; }

uint64_t MappingGranularity() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

uint64_t PreferredViewSize() {
  // Small enough to find room in a 32-bit address space beside the DLLs.
  return sizeof(void*) >= 8 ? (uint64_t{1} << 40) : (uint64_t{256} << 20);
}

// Another program cannot cut short a file we hold open for reading.
bool GuardMappedRead(void (*read)(void* context), void* context) {
  read(context);
  return true;
}

bool QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes) {
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
    if (!query(root.c_str(), &available, &total, &totalFree)) return false;
    *freeBytes = totalFree.QuadPart;
    return true;
  }
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return false;
  }
  *freeBytes = FreeBytesFromClusters(sectorsPerCluster, bytesPerSector, freeClusters);
  return true;
}

std::string LoadText(int stringId) {
  char buffer[512] = {};
  int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(stringId), buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

#include "memory_system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform.h"

const char kPathSeparator = '/';

namespace {

constexpr SystemError kNotFound = 2, kExists = 17;
constexpr intptr_t kInputHandle = 1;

struct Open { std::string path; uint64_t position; };  // a handle names its file by path
std::map<std::string, std::string> gFiles;
std::map<std::string, uint64_t> gWrites;  // per file: the stamp's time
std::map<intptr_t, Open> gHandles;
std::map<std::string, uint64_t> gIdentities;  // per file, kept across renames; made when first asked for
uint64_t gNextIdentity = 1;
std::string gInput;
uint64_t gInputPosition = 0, gCopyLimit = 0;
size_t gReadLimit = 1;
int gCopyCallsLeft = -1;  // -1: no end
intptr_t gNext = 100;

void Require(bool condition, const char* breach) {
  if (!condition) std::fprintf(stderr, "platform contract broken: %s\n", breach), std::abort();
}

Open& Handle(FileHandle file) {
  Require(gHandles.count(file.value) == 1, "unknown file handle");
  return gHandles[file.value];
}

std::string& Data(FileHandle file) {
  Require(gFiles.count(Handle(file).path) == 1, "a file removed while open");
  return gFiles[Handle(file).path];
}

FileHandle NewHandle(const std::string& path) {
  gHandles[gNext] = Open{path, 0};
  return FileHandle{gNext++};
}

bool IsOpen(const std::string& path) {
  return std::any_of(gHandles.begin(), gHandles.end(), [&path](const auto& open) { return open.second.path == path; });
}

}  // namespace

void memory_system::Reset(size_t readLimit, uint64_t copyLimit, int copyCalls) {
  Require(OpenResources() == 0, "files left open");
  gFiles.clear(), gWrites.clear(), gInput.clear(), gIdentities.clear();
  gInputPosition = 0, gReadLimit = readLimit, gCopyLimit = copyLimit, gCopyCallsLeft = copyCalls > 0 ? copyCalls : -1;
}
std::map<std::string, std::string>& memory_system::Files() { return gFiles; }
std::string& memory_system::Input() { return gInput; }
size_t memory_system::OpenResources() { return gHandles.size(); }

SystemError OpenRegularFile(const std::string& path, FileHandle* file, bool* notRegular) {
  *notRegular = false;
  return gFiles.count(path) == 0 ? kNotFound : (*file = NewHandle(path), kNoError);
}

FileHandle StandardInput() { return FileHandle{kInputHandle}; }

SystemError CreateNewFile(const std::string& path, FileHandle* file) {
  if (gFiles.count(path) != 0) return kExists;
  gFiles[path].clear();
  gIdentities[path] = gNextIdentity++;
  return *file = NewHandle(path), kNoError;
}

SystemError GetFileStamp(FileHandle file, FileStamp* stamp) {
  *stamp = FileStamp{Data(file).size(), gWrites[Handle(file).path], 0};
  return kNoError;
}

SystemError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  const bool input = file.value == kInputHandle;
  const std::string& bytes = input ? gInput : Data(file);
  uint64_t& position = input ? gInputPosition : Handle(file).position;
  *got = position >= bytes.size() ? 0 : bytes.copy(static_cast<char*>(buffer), std::min(length, gReadLimit), position);
  position += *got;
  return kNoError;
}

SystemError WriteAll(FileHandle file, const void* data, size_t length) {
  std::string& bytes = Data(file);
  uint64_t& position = Handle(file).position;
  Require(position <= bytes.size(), "a write past the end");
  bytes.replace(position, std::min<size_t>(length, bytes.size() - position), static_cast<const char*>(data), length);
  position += length;
  ++gWrites[Handle(file).path];
  return kNoError;
}

SystemError WriteAllAt(FileHandle file, uint64_t offset, const void* data, size_t length) {
  std::string& bytes = Data(file);
  if (bytes.size() < offset + length) bytes.resize(offset + length, '\0');
  bytes.replace(offset, length, static_cast<const char*>(data), length);
  ++gWrites[Handle(file).path];
  return kNoError;
}

SystemError CopyInKernel(FileHandle from, FileHandle to, uint64_t length, uint64_t* copied, bool* unsupported) {
  *copied = 0;
  *unsupported = gCopyLimit == 0 || gCopyCallsLeft == 0;
  if (*unsupported) return kNoError;
  if (gCopyCallsLeft > 0) --gCopyCallsLeft;
  const std::string& source = Data(from);
  uint64_t& position = Handle(from).position;
  const std::string bytes = position >= source.size() ? "" : source.substr(position, std::min(length, gCopyLimit));
  position += bytes.size();
  *copied = bytes.size();
  return WriteAll(to, bytes.data(), bytes.size());
}

unsigned CountProcessors() { return 2; }
bool ReadsOneAtATime(const std::string&) { return false; }

SystemError CloseFile(FileHandle file) { return Require(gHandles.erase(file.value) == 1, "closing twice"), kNoError; }

SystemError RemoveFile(const std::string& path) {
  Require(!IsOpen(path), "removing an open file");
  gIdentities.erase(path);
  return gFiles.erase(path) == 1 ? kNoError : kNotFound;
}

// One process: a lock is always free, and holds no file.
LockOutcome TryLockFile(const std::string&, LockMode, FileHandle* lock, SystemError*) {
  return *lock = NewHandle(""), LockOutcome::kHeld;
}
void RemoveLockFileIfAlone(const std::string&, FileHandle) {}
void PauseBriefly() {}

SystemError RenameReplacing(const std::string& from, const std::string& to) {
  Require(!IsOpen(from) && !IsOpen(to), "renaming an open file");
  if (gFiles.count(from) == 0) return kNotFound;
  gFiles[to] = std::move(gFiles[from]);
  gFiles.erase(from);
  const uint64_t identity = gIdentities.count(from) == 1 ? gIdentities[from] : gNextIdentity++;
  gIdentities.erase(from);
  gIdentities[to] = identity;
  return kNoError;
}

SystemError KeepAside(const std::string& name, const std::string& kept) { return RenameReplacing(name, kept); }

SystemError OpenFolder(const std::string&, FolderHandle*) { return kNoError; }
void CloseFolder(FolderHandle) {}
std::string PathIn(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir.back() == '/' ? dir + name : dir + "/" + name;
}
SystemError CreateNewFileIn(FolderHandle, const std::string& dir, const std::string& name, FileHandle* file) {
  return CreateNewFile(PathIn(dir, name), file);
}
SystemError RenameIn(FolderHandle, const std::string& dir, const std::string& from, const std::string& to) {
  return RenameReplacing(PathIn(dir, from), PathIn(dir, to));
}

SystemError MakeExecutable(const std::string& path) { return gFiles.count(path) == 1 ? kNoError : kNotFound; }
bool PathFitsSystem(const std::string&) { return true; }
bool IsSameFile(const std::string& path, FileHandle file) { return path == Handle(file).path; }
bool FindFileExact(const std::string& path, uint64_t* size) {
  return gFiles.count(path) == 1 && (*size = gFiles[path].size(), true);
}
bool NameIsTaken(const std::string& path) { return gFiles.count(path) == 1; }
SystemError LookUpFile(const std::string& path, uint64_t* size, bool* found) {
  *found = FindFileExact(path, size);
  return kNoError;
}
bool IsRegularFile(const std::string& path) { return gFiles.count(path) == 1; }
bool ListingTellsIdentity(const std::string&) { return false; }
// Names directly in dir; every file here lives in a folder of its own path.
SystemError ListFolder(const std::string& dir, void (*visit)(const std::string& name, uint64_t index, void* context),
                       void* context) {
  const std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  for (const auto& file : gFiles) {
    const std::string& path = file.first;
    if (path.compare(0, prefix.size(), prefix) == 0 && path.find('/', prefix.size()) == std::string::npos) {
      visit(path.substr(prefix.size()), 0, context);
    }
  }
  return kNoError;
}

SystemError GetNameIdentity(const std::string& path, FileIdentity* identity) {
  if (gFiles.count(path) == 0) return kNotFound;
  if (gIdentities.count(path) == 0) gIdentities[path] = gNextIdentity++;
  *identity = FileIdentity{1, gIdentities[path], gFiles[path].size()};
  return kNoError;
}
SystemError GetOpenIdentity(FileHandle file, FileIdentity* identity) {
  return GetNameIdentity(Handle(file).path, identity);
}
SystemError GetOpenIdentityBeside(FileHandle file, const FileIdentity&, FileIdentity* identity) {
  return GetOpenIdentity(file, identity);
}
SystemError SyncFile(FileHandle file) { return Handle(file), kNoError; }
SystemError SyncFolder(const std::string&) { return kNoError; }

SystemError QueryFreeBytes(const std::string&, uint64_t* freeBytes) { return *freeBytes = uint64_t{1} << 50, kNoError; }
bool IsDiskFull(SystemError) { return false; }
std::string DescribeSystemError(SystemError error) { return "error " + std::to_string(error); }
uint32_t CurrentProcessId() { return 7; }

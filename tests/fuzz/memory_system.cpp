#include "memory_system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"
#include "string_table_texts.h"

const char kPathSeparator = '/';

namespace {

struct Open { std::string path; size_t position; };  // a handle names its file by path
std::map<std::string, std::string> gFiles;
std::map<intptr_t, Open> gHandles;
std::map<intptr_t, std::string> gMappings;  // a copy: a mapped source does not change here
std::map<const unsigned char*, size_t> gViews;
intptr_t gNext = 100;
uint64_t gGranularity = 1, gLargestView = 0;

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

FileHandle NewHandle(const std::string& path, bool create) {
  if (!create && gFiles.count(path) == 0) return FileHandle{};
  if (create) gFiles[path].clear();
  gHandles[gNext] = Open{path, 0};
  return FileHandle{gNext++};
}

}  // namespace

void memory_system::Reset(uint64_t granularity) {
  Require(OpenResources() == 0, "resources left open");
  gFiles.clear();
  gGranularity = granularity, gLargestView = 0;
}
std::map<std::string, std::string>& memory_system::Files() { return gFiles; }
size_t memory_system::OpenResources() { return gHandles.size() + gMappings.size() + gViews.size(); }
uint64_t memory_system::LargestView() { return gLargestView; }

FileHandle OpenSourceFile(const std::string& path) { return NewHandle(path, false); }
FileHandle CreatePieceFile(const std::string& path) { return NewHandle(path, true); }
FileHandle CreateSharedFile(const std::string& path) { return NewHandle(path, true); }
FileHandle OpenPieceForReading(const std::string& path) { return NewHandle(path, false); }
bool CloseFile(FileHandle file) { return gHandles.erase(file.value) == 1; }
bool RemoveFile(const std::string& path) { return gFiles.erase(path) == 1; }
bool IsSameFile(const std::string& path, FileHandle file) { return path == Handle(file).path; }
bool FindFileExact(const std::string& path, uint64_t* size) { return gFiles.count(path) && (*size = gFiles[path].size(), true); }
bool GetFileSize64(FileHandle file, uint64_t* size) { return FindFileExact(Handle(file).path, size); }
bool GetFileStamp(FileHandle file, FileStamp* stamp) { return *stamp = FileStamp{}, GetFileSize64(file, &stamp->size); }
bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return gFiles.count(from) && (gFiles[to] = std::move(gFiles[from]), gFiles.erase(from), true);
}
bool PathFitsSystem(const std::string&) { return true; }
bool MakeExecutable(const std::string& path) { return gFiles.count(path) == 1; }
bool GuardMappedRead(void (*read)(void*), void* context) { return read(context), true; }

IoError WriteAll(FileHandle file, const void* data, size_t length) {
  std::string& bytes = Data(file);
  size_t& position = Handle(file).position;
  bytes.resize(std::max(bytes.size(), position + length));
  bytes.replace(position, length, static_cast<const char*>(data), length);
  position += length;
  return IoError::kNone;
}

IoError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  const std::string& bytes = Data(file);
  size_t& position = Handle(file).position;
  *got = bytes.copy(static_cast<char*>(buffer), length, std::min(position, bytes.size()));
  position += *got;
  return IoError::kNone;
}

MappingHandle CreateReadOnlyMapping(FileHandle file) { return gMappings[gNext] = Data(file), MappingHandle{gNext++}; }

const unsigned char* MapView(MappingHandle mapping, uint64_t offset, size_t length) {
  Require(gMappings.count(mapping.value) == 1, "unknown mapping");
  const std::string& data = gMappings[mapping.value];
  Require(offset % gGranularity == 0, "view offset off the granularity");
  Require(length != 0 && offset <= data.size() && length <= data.size() - offset, "view past the end of the file");
  unsigned char* view = new unsigned char[length];
  std::memcpy(view, data.data() + offset, length);
  gViews[view] = length;
  gLargestView = std::max<uint64_t>(gLargestView, length);
  return view;
}

bool UnmapView(const unsigned char* view, size_t length) {
  Require(gViews.count(view) == 1 && gViews[view] == length, "unmapping what is not mapped so");
  delete[] view;
  return gViews.erase(view) == 1;
}

bool CloseMapping(MappingHandle mapping) { return gMappings.erase(mapping.value) == 1; }
uint64_t MappingGranularity() { return gGranularity; }
uint64_t PreferredViewSize() { return uint64_t{1} << 40; }
bool QueryFreeBytes(const std::string&, uint64_t* freeBytes) { return *freeBytes = uint64_t{1} << 50, true; }
std::string LoadText(int stringId) { return StringTableText(stringId) ? StringTableText(stringId) : ""; }

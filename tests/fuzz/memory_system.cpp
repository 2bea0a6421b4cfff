#include "memory_system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "platform.h"
#include "string_table_texts.h"

const char kPathSeparator = '/';

namespace {

using Data = std::shared_ptr<std::string>;

struct OpenFile {
  Data data;
  size_t position = 0;
};

std::map<std::string, Data> gFiles;
std::map<intptr_t, OpenFile> gHandles;
std::map<intptr_t, Data> gMappings;
std::map<const unsigned char*, size_t> gViews;
intptr_t gNextHandle = 100;
uint64_t gGranularity = 1;
uint64_t gLargestView = 0;

[[noreturn]] void Breach(const char* what) {
  std::fprintf(stderr, "platform contract broken: %s\n", what);
  std::abort();
}

FileHandle NewHandle(const Data& data) {
  intptr_t id = gNextHandle++;
  gHandles[id] = OpenFile{data, 0};
  return FileHandle{id};
}

OpenFile& Handle(FileHandle file) {
  auto found = gHandles.find(file.value);
  if (found == gHandles.end()) Breach("unknown file handle");
  return found->second;
}

FileHandle OpenExisting(const std::string& path) {
  auto found = gFiles.find(path);
  return found == gFiles.end() ? FileHandle{} : NewHandle(found->second);
}

FileHandle CreateOrEmpty(const std::string& path) {
  Data& data = gFiles[path];
  if (!data) data = std::make_shared<std::string>();
  data->clear();
  return NewHandle(data);
}

}  // namespace

namespace memory_system {

void Reset(uint64_t granularity) {
  if (OpenResources() != 0) Breach("resources left open");
  gFiles.clear();
  gGranularity = granularity == 0 ? 1 : granularity;
  gLargestView = 0;
}

void PutFile(const std::string& path, const std::string& bytes) { gFiles[path] = std::make_shared<std::string>(bytes); }

bool GetFile(const std::string& path, std::string* bytes) {
  auto found = gFiles.find(path);
  if (found == gFiles.end()) return false;
  *bytes = *found->second;
  return true;
}

std::vector<std::string> FileNames() {
  std::vector<std::string> names;
  for (const auto& file : gFiles) names.push_back(file.first);
  return names;
}

size_t OpenResources() { return gHandles.size() + gMappings.size() + gViews.size(); }

uint64_t LargestView() { return gLargestView; }

}  // namespace memory_system

FileHandle OpenSourceFile(const std::string& path) { return OpenExisting(path); }
FileHandle CreatePieceFile(const std::string& path) { return CreateOrEmpty(path); }
FileHandle CreateSharedFile(const std::string& path) { return CreateOrEmpty(path); }
FileHandle OpenPieceForReading(const std::string& path) { return OpenExisting(path); }

bool GetFileSize64(FileHandle file, uint64_t* size) {
  *size = Handle(file).data->size();
  return true;
}

IoError WriteAll(FileHandle file, const void* data, size_t length) {
  OpenFile& open = Handle(file);
  if (open.data->size() < open.position + length) open.data->resize(open.position + length);
  if (length != 0) std::memcpy(&(*open.data)[open.position], data, length);
  open.position += length;
  return IoError::kNone;
}

IoError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  OpenFile& open = Handle(file);
  size_t left = open.data->size() > open.position ? open.data->size() - open.position : 0;
  *got = length < left ? length : left;
  if (*got != 0) std::memcpy(buffer, open.data->data() + open.position, *got);
  open.position += *got;
  return IoError::kNone;
}

bool CloseFile(FileHandle file) { return gHandles.erase(file.value) == 1; }

bool RemoveFile(const std::string& path) { return gFiles.erase(path) == 1; }

bool IsSameFile(const std::string& path, FileHandle file) {
  auto found = gFiles.find(path);
  return found != gFiles.end() && found->second == Handle(file).data;
}

bool FindFileExact(const std::string& path, uint64_t* size) {
  auto found = gFiles.find(path);
  if (found == gFiles.end()) return false;
  *size = found->second->size();
  return true;
}

MappingHandle CreateReadOnlyMapping(FileHandle file) {
  intptr_t id = gNextHandle++;
  gMappings[id] = Handle(file).data;
  return MappingHandle{id};
}

const unsigned char* MapView(MappingHandle mapping, uint64_t offset, size_t length) {
  auto found = gMappings.find(mapping.value);
  if (found == gMappings.end()) Breach("unknown mapping");
  const std::string& data = *found->second;
  if (offset % gGranularity != 0) Breach("view offset off the granularity");
  if (length == 0 || offset > data.size() || length > data.size() - offset) Breach("view past the end of the file");
  unsigned char* view = new unsigned char[length];
  std::memcpy(view, data.data() + offset, length);
  gViews[view] = length;
  if (length > gLargestView) gLargestView = length;
  return view;
}

bool UnmapView(const unsigned char* view, size_t length) {
  auto found = gViews.find(view);
  if (found == gViews.end()) Breach("unmapping a view that is not mapped");
  if (found->second != length) Breach("unmapping with another length");
  gViews.erase(found);
  delete[] view;
  return true;
}

bool CloseMapping(MappingHandle mapping) { return gMappings.erase(mapping.value) == 1; }

uint64_t MappingGranularity() { return gGranularity; }

uint64_t PreferredViewSize() { return uint64_t{1} << 40; }

bool QueryFreeBytes(const std::string&, uint64_t* freeBytes) {
  *freeBytes = uint64_t{1} << 50;
  return true;
}

std::string LoadText(int stringId) {
  const char* text = StringTableText(stringId);
  return text != nullptr ? std::string(text) : std::string();
}

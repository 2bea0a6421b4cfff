// What the jobs need of the system, in neutral types. Each function has one
// implementation per platform directory; the build links the one it wants
// (Win32 or POSIX).
#ifndef DORVENAL_PLATFORM_H
#define DORVENAL_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

// ---- The system side --------------------------------------------------

// One open file or mapping; value -1 (kNoHandle) means none.
constexpr intptr_t kNoHandle = -1;
struct FileHandle {
  intptr_t value = kNoHandle;
};
struct MappingHandle {
  intptr_t value = kNoHandle;
};

// The path separator of this system: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// Why an operation failed, translated once at this boundary.
enum class IoError { kNone, kDiskFull, kOther };

// Source: read access, others may read but not write.
FileHandle OpenSourceFile(const std::string& path);
// A piece being written: read/write, no sharing, created or emptied.
FileHandle CreatePieceFile(const std::string& path);
// Join output and batch file: read/write, shared read/write, created or emptied.
FileHandle CreateSharedFile(const std::string& path);
// A piece being joined: read access, shared read, must exist.
FileHandle OpenPieceForReading(const std::string& path);

bool GetFileSize64(FileHandle file, uint64_t* size);
// What tells one state of a file from another: its size and the times it
// was last written and last changed. Equal stamps: nobody wrote in between.
struct FileStamp {
  uint64_t size = 0;
  uint64_t written = 0;
  uint64_t changed = 0;
  bool operator==(const FileStamp& other) const {
    return size == other.size && written == other.written && changed == other.changed;
  }
};
bool GetFileStamp(FileHandle file, FileStamp* stamp);
// Writes all bytes or reports why not; a short write is finished or reported.
IoError WriteAll(FileHandle file, const void* data, size_t length);
// Reads up to length bytes; *got 0 with kNone is the end of the file.
IoError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got);
// A failed close of a written file is an error like a failed write.
bool CloseFile(FileHandle file);
bool RemoveFile(const std::string& path);
// Gives a finished file its final name, replacing whatever stands there (a
// link is replaced, never its target).
bool ReplaceFileWith(const std::string& from, const std::string& to);
// Lets the owner run the file (a script); true where files need no such bit.
bool MakeExecutable(const std::string& path);
// Whether the system can hold a file of this name and path length.
bool PathFitsSystem(const std::string& path);
// True when path names the very file that `file` has open (by link or name).
bool IsSameFile(const std::string& path, FileHandle file);

// Whether a file of exactly this name exists, and its size.
bool FindFileExact(const std::string& path, uint64_t* size);

// Read-only mapping of a whole file; views of any part of it.
MappingHandle CreateReadOnlyMapping(FileHandle file);
// Offsets must be multiples of MappingGranularity().
const unsigned char* MapView(MappingHandle mapping, uint64_t offset, size_t length);
bool UnmapView(const unsigned char* view, size_t length);
bool CloseMapping(MappingHandle mapping);
uint64_t MappingGranularity();
// How much of a source one view should cover at most on this system.
uint64_t PreferredViewSize();

// Runs `read`, which reads a mapped view. False when the reading faulted:
// on POSIX another program can cut a mapped file short under us.
bool GuardMappedRead(void (*read)(void* context), void* context);

// Free bytes of the volume that holds the directory; false when the query fails.
bool QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes);

// A text of the string table (IDS_...); empty when it cannot be loaded.
std::string LoadText(int stringId);

#endif

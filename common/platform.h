// What the jobs need of the system, in neutral types. Each function has one
// implementation per platform directory; the build links the one it wants
// (Win32 or POSIX, or the in-memory system of the fuzz target).
#ifndef DORVENAL_PLATFORM_H
#define DORVENAL_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

// The system's own error code, kept for the message: errno on POSIX,
// GetLastError() on Windows. 0 means success.
using SystemError = int;
constexpr SystemError kNoError = 0;

// One open file; value -1 (kNoHandle) means none.
constexpr intptr_t kNoHandle = -1;
struct FileHandle {
  intptr_t value = kNoHandle;
};

// The path separator of this system: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// Opens an existing regular file for reading; others may read it too. A
// FIFO or a device is never opened for long enough to block: *notRegular
// is set and the result is an error.
SystemError OpenRegularFile(const std::string& path, FileHandle* file, bool* notRegular);
// The process's standard input, for a source that is a stream.
FileHandle StandardInput();
// A new file of this name, read/write, that nobody else may write: fails
// (with the system's "file exists" code) when anything stands at the name,
// so that no link is ever followed and no other run's file is taken.
SystemError CreateNewFile(const std::string& path, FileHandle* file);

// What tells one state of a file from another: its size and the times it
// was last written and last changed, as finely as the system keeps them.
// Equal stamps: nobody wrote in between (within that resolution).
struct FileStamp {
  uint64_t size = 0;
  uint64_t written = 0;
  uint64_t changed = 0;
  bool operator==(const FileStamp& other) const {
    return size == other.size && written == other.written && changed == other.changed;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
SystemError GetFileStamp(FileHandle file, FileStamp* stamp);

// Reads up to length bytes at the file's position; *got 0 is the end.
SystemError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got);
// Writes all bytes at the file's position; a short write is finished or reported.
SystemError WriteAll(FileHandle file, const void* data, size_t length);
// The same at `offset`, whatever the position (which it may move); bytes
// between the file's end and the offset read as zeros until written.
SystemError WriteAllAt(FileHandle file, uint64_t offset, const void* data, size_t length);
// Copies length bytes from `from` at its position to `to` at its position
// inside the kernel, moving both positions; *copied says how far it got.
// *unsupported (with kNoError) when this system or these files cannot:
// the caller then copies through its own buffer from where this stopped.
SystemError CopyInKernel(FileHandle from, FileHandle to, uint64_t length, uint64_t* copied, bool* unsupported);
// A failed close of a written file is an error like a failed write.
SystemError CloseFile(FileHandle file);

SystemError RemoveFile(const std::string& path);
// How a run holds a folder's lock: beside other runs that only read the
// sets there (joins), or alone (a run that gives a set its names).
enum class LockMode { kShared, kExclusive };
enum class LockOutcome {
  kHeld,          // *lock holds it; the system lets go when it is closed or the process ends
  kBusy,          // another run holds it in a mode that excludes this one: try again
  kNotALockFile,  // a link, a folder, a FIFO or a device stands at the name: nothing was opened
  kNoLockHere,    // the folder takes no new file (read-only media, no right to write)
  kOpenFailed,    // an existing lock file could not be opened (*error)
  kCreateFailed,  // nor a missing one created (*error)
  kLockFailed,    // nor the lock taken (*error)
};
// One attempt, never waiting, at the lock file at path: an existing one is
// opened as it is (another user's too), a missing one created. The lock
// is the file that has the name once it is held.
LockOutcome TryLockFile(const std::string& path, LockMode mode, FileHandle* lock, SystemError* error);
// Before the lock is closed: removes its file where no other run holds it
// (and the system does not remove it itself).
void RemoveLockFileIfAlone(const std::string& path, FileHandle lock);
// Waits a few milliseconds, between attempts at a lock.
void PauseBriefly();
// Gives a finished file its final name, replacing whatever stands there (a
// link is replaced, never its target).
SystemError RenameReplacing(const std::string& from, const std::string& to);
// Gives the file at name the name kept as well, for a change of a set to
// put it back from: a second name where the system has them (Windows: the
// name keeps the file until a new one replaces it), else a move. Counted as
// a rename by the fault seam.
SystemError KeepAside(const std::string& name, const std::string& kept);
// Lets whoever may read the file run it (a script); nothing where files
// need no such bit.
SystemError MakeExecutable(const std::string& path);
// Whether the system can hold a file of this name and path length.
bool PathFitsSystem(const std::string& path);
// True when path names the very file that `file` has open (by link or name).
bool IsSameFile(const std::string& path, FileHandle file);
// Whether a file (not a folder) of exactly this name exists, and its size.
bool FindFileExact(const std::string& path, uint64_t* size);

// Whether anything stands at the name: a file, a folder, a link (even one
// that leads nowhere), a device.
bool NameIsTaken(const std::string& path);
// As FindFileExact, but a look-up that fails for another reason than a
// missing name (a disk error, a folder that may not be searched) returns
// that error; *found is false, with no error, for nothing or a folder.
SystemError LookUpFile(const std::string& path, uint64_t* size, bool* found);

// A folder held open while many names in it are made and changed: each
// name is then found from the folder instead of along the whole path.
// Where the system holds no folders, or cannot open this one, the value
// stays kNoHandle and the calls below use the paths they are given too.
struct FolderHandle {
  intptr_t value = kNoHandle;
};
SystemError OpenFolder(const std::string& dir, FolderHandle* folder);
void CloseFolder(FolderHandle folder);
// CreateNewFile and RenameReplacing of names in the folder `dir`, held as
// `folder` (or not held: then by the path of dir and name).
SystemError CreateNewFileIn(FolderHandle folder, const std::string& dir, const std::string& name, FileHandle* file);
SystemError RenameIn(FolderHandle folder, const std::string& dir, const std::string& from, const std::string& to);

// Whether path leads (through links) to a regular file, not a folder, a
// FIFO, a device or a socket.
bool IsRegularFile(const std::string& path);

// Which file a name leads to, told apart from every other file on the
// machine whatever its name (device and inode; volume serial and file
// index), and its size. Two names with equal identities are one file.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  bool link = false;  // a symbolic link or other reparse point, not a file of data
  bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};
// The file at path itself (a link is a file of its own, never followed);
// an error when nothing but a folder, or nothing at all, stands there.
SystemError GetNameIdentity(const std::string& path, FileIdentity* identity);
SystemError GetOpenIdentity(FileHandle file, FileIdentity* identity);
// The same for a file new in the folder of the file `neighbour` identifies,
// whose volume it shares: where asking the volume is slow, it is not asked.
SystemError GetOpenIdentityBeside(FileHandle file, const FileIdentity& neighbour, FileIdentity* identity);

// Asks the system to put the file's bytes on the disk before it returns.
SystemError SyncFile(FileHandle file);
// The same for a folder's entries (new names, renames), where the system
// can; nothing where it cannot.
SystemError SyncFolder(const std::string& dir);

// Calls visit with the name of every entry of the folder but "." and "..",
// and the index the listing gives it (0 where it gives none).
SystemError ListFolder(const std::string& dir,
                       void (*visit)(const std::string& name, uint64_t index, void* context), void* context);
// Whether, in this folder, a listing's index of a file is the index of
// its identity: true only where the file system is known to keep them
// one (a listing of a FAT volume, say, may make numbers up).
bool ListingTellsIdentity(const std::string& dir);

// Free bytes of the volume that holds the directory, for this user.
SystemError QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes);

// Whether an error means the volume (or the user's quota) is full.
bool IsDiskFull(SystemError error);
// The system's own words for an error ("Permission denied").
std::string DescribeSystemError(SystemError error);

// A number that tells this process from others running now.
uint32_t CurrentProcessId();

// A test's way to make the system fail on purpose: the nth call of a kind
// (counted from when the plan is set) fails with `error` and calls before it
// succeed; with `persist`, every call from the nth on fails. With `exitThere`
// the process ends at that call instead, as a kill would end it. Unused, it
// costs one branch a call.
enum class FaultCall { kCreate, kWrite, kRename, kRemove, kSync, kLock, kLookUp };
struct FaultPlan {
  FaultCall call = FaultCall::kRename;
  uint64_t nth = 1;
  SystemError error = kNoError;
  bool persist = false;
  bool exitThere = false;
};
void SetFaultPlan(const FaultPlan& plan);
void ClearFaultPlan();
// How many calls of the planned kind were made since the plan was set.
uint64_t FaultCallsSeen();

// Work that runs on a thread of its own beside the caller, such as hashing
// the block just read while the next one is read and written.
struct BesideTask {
  intptr_t value = kNoHandle;
};
// Starts work(context); false when the system cannot, and the caller then
// does the work itself.
bool StartBeside(void (*work)(void* context), void* context, BesideTask* task);
// Waits until the work has ended; nothing for a task not started.
void WaitBeside(BesideTask* task);

// The system's erasure coding over GF(2^8) (ISA-L natively, where it is
// installed): out[r] = the sum over c of matrix[r * sources + c] times
// in[c], for every byte of length. False, with nothing written, where the
// system has none: the portable arithmetic of the recovery code works then.
bool SystemErasureApply(size_t length, uint32_t sources, uint32_t rows, const unsigned char* matrix,
                        const unsigned char* const* in, unsigned char* const* out);
// The name of that coding ("isa-l"), or null where there is none.
const char* SystemErasureName();

// Processors this process may run on, at least 1.
unsigned CountProcessors();
// Whether files at this path are best read one at a time: a rotating disk,
// or one behind USB, where reading several at once makes the heads seek.
bool ReadsOneAtATime(const std::string& path);

// A count that work beside raises and its caller waits for, or the other
// way round: a thread that runs as long as its work, handed blocks through
// two of these, costs less than a thread a block.
struct BesideSignal {
  intptr_t value = kNoHandle;
};
// False where the system cannot: the caller starts a thread a block.
bool CreateSignal(BesideSignal* signal);
void RaiseSignal(BesideSignal* signal);
void AwaitSignal(BesideSignal* signal);
void DestroySignal(BesideSignal* signal);

#endif

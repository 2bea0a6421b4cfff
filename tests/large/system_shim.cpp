// The real system side, five calls renamed so that a hook runs before each; the engine has no seam for it.
#define QueryFreeBytes RealQueryFreeBytes
#define CreateNewFile RealCreateNewFile
#define CreateNewFileIn RealCreateNewFileIn
#define ReadSome RealReadSome
#define CopyInKernel RealCopyInKernel
#ifdef _WIN32
#include "../../platform/win32/system_win32.cpp"
#else
#include "../../platform/posix/system_posix.cpp"
#include "../../platform/posix/kernel_copy.cpp"
#include "../../platform/posix/disk_kind.cpp"
#endif
#undef QueryFreeBytes
#undef CreateNewFile
#undef CreateNewFileIn
#undef ReadSome
#undef CopyInKernel

#include <functional>

std::function<void(const std::string& call, const std::string& path)> gBeforeSystemCall;

SystemError QueryFreeBytes(const std::string& dir, uint64_t* freeBytes) {
  if (gBeforeSystemCall) gBeforeSystemCall("free space", dir);
  return RealQueryFreeBytes(dir, freeBytes);
}
SystemError CreateNewFile(const std::string& path, FileHandle* file) {
  if (gBeforeSystemCall) gBeforeSystemCall("create", path);
  return RealCreateNewFile(path, file);
}
SystemError CreateNewFileIn(FolderHandle folder, const std::string& dir, const std::string& name, FileHandle* file) {
  if (gBeforeSystemCall) gBeforeSystemCall("create", dir + name);
  return RealCreateNewFileIn(folder, dir, name, file);
}
SystemError ReadSome(FileHandle file, void* buffer, size_t length, size_t* got) {
  if (gBeforeSystemCall) gBeforeSystemCall("read", std::string());
  return RealReadSome(file, buffer, length, got);
}
// The kernel's copy reads the source as ReadSome would.
SystemError CopyInKernel(FileHandle from, FileHandle to, uint64_t length, uint64_t* copied, bool* unsupported) {
  if (gBeforeSystemCall) gBeforeSystemCall("read", std::string());
  return RealCopyInKernel(from, to, length, copied, unsupported);
}

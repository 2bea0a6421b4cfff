// The real system side, four calls renamed so that a hook runs before each; the engine has no seam for it.
#define QueryFreeBytes RealQueryFreeBytes
#define GuardMappedRead RealGuardMappedRead
#define CreatePieceFile RealCreatePieceFile
#define CreateSharedFile RealCreateSharedFile
#ifdef _WIN32
#include "../../platform/win32/system_win32.cpp"
#else
#include "../../platform/posix/system_posix.cpp"
#endif
#undef QueryFreeBytes
#undef GuardMappedRead
#undef CreatePieceFile
#undef CreateSharedFile

#include <functional>

std::function<void(const std::string& call, const std::string& path)> gBeforeSystemCall;

bool QueryFreeBytes(const std::string& dir, uint64_t* freeBytes) {
  if (gBeforeSystemCall) gBeforeSystemCall("free space", dir);
  return RealQueryFreeBytes(dir, freeBytes);
}
FileHandle CreatePieceFile(const std::string& path) {
  if (gBeforeSystemCall) gBeforeSystemCall("create piece", path);
  return RealCreatePieceFile(path);
}
FileHandle CreateSharedFile(const std::string& path) {
  if (gBeforeSystemCall) gBeforeSystemCall("create shared", path);
  return RealCreateSharedFile(path);
}
bool GuardMappedRead(void (*read)(void* context), void* context) {
  if (gBeforeSystemCall) gBeforeSystemCall("mapped read", std::string());
  return RealGuardMappedRead(read, context);
}

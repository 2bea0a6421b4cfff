// The platform's own system side, compiled here under other names for the
// calls the shim wraps, so that the test program links one system side
// with its hooks in front, without any seam in the engine itself.
#define MapView RealMapView
#define QueryFreeBytes RealQueryFreeBytes
#define CreatePieceFile RealCreatePieceFile
#define CreateSharedFile RealCreateSharedFile
#ifdef _WIN32
#include "../../platform/win32/system_win32.cpp"
#else
#include "../../platform/posix/system_posix.cpp"
#endif
#undef MapView
#undef QueryFreeBytes
#undef CreatePieceFile
#undef CreateSharedFile

#include "system_shim.h"

namespace {
std::vector<shim::MappedView> gViews;
std::function<void()> gBeforeFreeSpace;
std::function<void(const std::string&)> gBeforeCreatePiece;
std::function<void(const std::string&)> gBeforeCreateShared;
}  // namespace

namespace shim {

const std::vector<MappedView>& Views() { return gViews; }
void BeforeFreeSpaceQuery(std::function<void()> action) { gBeforeFreeSpace = std::move(action); }
void BeforeCreatePiece(std::function<void(const std::string&)> action) { gBeforeCreatePiece = std::move(action); }
void BeforeCreateShared(std::function<void(const std::string&)> action) { gBeforeCreateShared = std::move(action); }

void ClearHooks() {
  gViews.clear();
  gBeforeFreeSpace = nullptr;
  gBeforeCreatePiece = nullptr;
  gBeforeCreateShared = nullptr;
}

}  // namespace shim

const unsigned char* MapView(MappingHandle mapping, uint64_t offset, size_t length) {
  const unsigned char* view = RealMapView(mapping, offset, length);
  if (view != nullptr) gViews.push_back({offset, length});
  return view;
}

bool QueryFreeBytes(const std::string& targetDir, uint64_t* freeBytes) {
  if (gBeforeFreeSpace) gBeforeFreeSpace();
  return RealQueryFreeBytes(targetDir, freeBytes);
}

FileHandle CreatePieceFile(const std::string& path) {
  if (gBeforeCreatePiece) gBeforeCreatePiece(path);
  return RealCreatePieceFile(path);
}

FileHandle CreateSharedFile(const std::string& path) {
  if (gBeforeCreateShared) gBeforeCreateShared(path);
  return RealCreateSharedFile(path);
}

#include "drive_root.h"

std::string MakeFreeSpaceRoot(const std::string& targetDir) {
  if (targetDir.size() < 2 || targetDir[1] != ':') return std::string();
  std::string root = targetDir.substr(0, 2);
  // The third character is copied whatever it is; for "D:" it is the end.
  if (targetDir.size() > 2) root += targetDir[2];
  return root;
}

uint64_t FreeBytesFromClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters) {
  return static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
}

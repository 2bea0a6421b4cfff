#include "free_space.h"

#include "platform.h"

int CheckFreeSpace(const std::string& targetDir, uint64_t bytesNeeded) {
  uint64_t freeBytes = 0;
  bool queried = QueryFreeBytes(targetDir, &freeBytes);
  return CompareFreeSpace(queried, freeBytes, bytesNeeded);
}

int CompareFreeSpace(bool queried, uint64_t freeBytes, uint64_t bytesNeeded) {
  // Equal is enough. Both sides are 64-bit, so a need of 4 GiB or more is
  // weighed whole.
  return queried && freeBytes >= bytesNeeded ? 1 : 0;
}

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

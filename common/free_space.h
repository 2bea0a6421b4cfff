// Whether the volume of a directory can take a number of bytes.
#ifndef DORVENAL_FREE_SPACE_H
#define DORVENAL_FREE_SPACE_H

#include <cstdint>
#include <string>

// 1 when the volume holding targetDir has at least bytesNeeded free bytes,
// 0 when it has fewer or when its free space cannot be read.
int CheckFreeSpace(const std::string& targetDir, uint64_t bytesNeeded);

// The comparison: 1 when the query succeeded with at least the bytes needed.
int CompareFreeSpace(bool queried, uint64_t freeBytes, uint64_t bytesNeeded);

// The drive root that the Windows queries take: "C:\" for C:\Data\Parts,
// "D:" for "D:", empty for a network or relative path.
std::string MakeFreeSpaceRoot(const std::string& targetDir);

// Free bytes from the older cluster query, without 32-bit overflow.
uint64_t FreeBytesFromClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters);

#endif

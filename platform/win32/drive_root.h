// What the Windows free-space queries take and give, as plain functions.
#ifndef DORVENAL_DRIVE_ROOT_H
#define DORVENAL_DRIVE_ROOT_H

#include <cstdint>
#include <string>

// The drive root that the queries take: "C:\" for C:\Data\Parts, "D:" for
// "D:", empty for a network or relative path.
std::string MakeFreeSpaceRoot(const std::string& targetDir);

// Free bytes from the older cluster query, without 32-bit overflow.
uint64_t FreeBytesFromClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters);

#endif

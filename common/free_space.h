// Whether the volume of a directory can take a number of bytes.
#ifndef DORVENAL_FREE_SPACE_H
#define DORVENAL_FREE_SPACE_H

#include <cstdint>
#include <string>

#include "platform.h"

// 1 when the volume holding targetDir has at least bytesNeeded free bytes,
// 0 when it has fewer or when its free space cannot be read (the query's
// error then goes to *queryError, when given).
int CheckFreeSpace(const std::string& targetDir, uint64_t bytesNeeded, SystemError* queryError = nullptr);

// The comparison: 1 when the query succeeded with at least the bytes needed.
int CompareFreeSpace(bool queried, uint64_t freeBytes, uint64_t bytesNeeded);

#endif

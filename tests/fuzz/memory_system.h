// The system side in memory, for fuzzing: files are strings, each view a heap block of exactly its size (so
// AddressSanitizer sees a read outside it); a breach of the platform's contract aborts.
#ifndef DORVENAL_FUZZ_MEMORY_SYSTEM_H
#define DORVENAL_FUZZ_MEMORY_SYSTEM_H
#include <cstdint>
#include <map>
#include <string>
namespace memory_system {
void Reset(uint64_t granularity);  // forgets every file; nothing may be left open
std::map<std::string, std::string>& Files();
size_t OpenResources();  // handles, mappings and views still open
uint64_t LargestView();  // since Reset
}  // namespace memory_system
#endif

// The system side of the platform layer, held in memory, for the fuzz
// targets: files are strings, and every mapped view is a heap block of
// exactly the view's size, so AddressSanitizer catches a read that strays
// outside the view the engine asked for. Contract breaches (a view offset
// off the granularity, a view past the end of the file, unmapping a view
// that is not mapped) abort at once.
#ifndef DORVENAL_FUZZ_MEMORY_SYSTEM_H
#define DORVENAL_FUZZ_MEMORY_SYSTEM_H

#include <cstdint>
#include <string>
#include <vector>

namespace memory_system {

// Forgets every file; no handle, mapping or view may be open.
void Reset(uint64_t granularity);
void PutFile(const std::string& path, const std::string& bytes);
bool GetFile(const std::string& path, std::string* bytes);
std::vector<std::string> FileNames();  // sorted
// Handles, mappings and views still open: all 0 after a job.
size_t OpenResources();
// Largest view mapped since Reset.
uint64_t LargestView();

}  // namespace memory_system

#endif

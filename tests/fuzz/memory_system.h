// The system side in memory, for fuzzing: files are strings, reads give at most a set number of bytes, the
// kernel's copy is there or not as the input says; a breach of the platform's contract aborts.
#ifndef DORVENAL_FUZZ_MEMORY_SYSTEM_H
#define DORVENAL_FUZZ_MEMORY_SYSTEM_H
#include <cstdint>
#include <map>
#include <string>
namespace memory_system {
// Forgets every file; nothing may be left open. Each read gives at most readLimit bytes; each kernel copy
// at most copyLimit (0: none), and after copyCalls calls (0: never) it says it cannot.
void Reset(size_t readLimit, uint64_t copyLimit, int copyCalls);
std::map<std::string, std::string>& Files();
std::string& Input();    // what standard input holds
size_t OpenResources();  // handles still open
}  // namespace memory_system
#endif

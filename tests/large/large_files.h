// Files of several GiB for the large tests, described by a layout (zeros
// or a repeated block, with a few stretches of known bytes laid over them)
// so that they can be written, and any stretch of them checked, without
// holding them in memory. Offsets and sizes are 64-bit on every build.
#ifndef DORVENAL_LARGE_FILES_H
#define DORVENAL_LARGE_FILES_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

// A scratch folder for files of several GiB, removed with all it holds
// when the test ends. It goes where DORVENAL_LARGE_DIR names, or else into
// the current folder (the build tree, under CTest); never into the temporary
// folder, which the test command may put on a memory file system.
class LargeScratchDir {
 public:
  LargeScratchDir();
  ~LargeScratchDir();
  LargeScratchDir(const LargeScratchDir&) = delete;
  LargeScratchDir& operator=(const LargeScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Subdir(const std::string& name) const;  // created

 private:
  std::string path_;
};

struct Overlay {
  uint64_t offset;
  std::string bytes;
};

struct Layout {
  uint64_t size = 0;
  std::string block;              // repeated from offset 0; empty for zeros
  std::vector<Overlay> overlays;  // sorted by offset, not overlapping

  // The bytes [offset, offset + n) of the file.
  void Fill(uint64_t offset, unsigned char* out, size_t n) const;
};

// Writes the file: sparse (only the overlays written) when the block is
// empty, every byte otherwise.
bool WriteLayout(const std::string& path, const Layout& layout);

// Whether the file at `path` is exactly the layout's bytes [begin, end).
::testing::AssertionResult HoldsLayoutRange(const std::string& path, const Layout& layout, uint64_t begin,
                                            uint64_t end);

// Size of a file, or UINT64_MAX when it does not exist.
uint64_t SizeOfFile(const std::string& path);
bool RemovePath(const std::string& path);

// Free bytes on the volume of a directory, 0 when unknown.
uint64_t FreeBytesIn(const std::string& dir);

#ifndef _WIN32
// Output of a host command, or empty when it failed.
std::string CommandOutput(const std::string& command);
// "crc size" of the file as coreutils cksum gives it.
std::string CoreutilsChecksum(const std::string& path);
// "crc size" of each piece coreutils split makes of the file with
// `options` (e.g. "-b 1024" or "-n 3"), in order; no piece is written.
std::vector<std::string> CoreutilsSplitChecksums(const std::string& path, const std::string& options,
                                                 const std::string& scratchDir);
#endif

#endif

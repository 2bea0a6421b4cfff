#include "large_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace {

constexpr size_t kChunk = 8 << 20;

#ifdef _WIN32
using Native = HANDLE;
const Native kNone = INVALID_HANDLE_VALUE;
Native OpenForWrite(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
Native OpenForRead(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}
bool Seek(Native file, uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}
bool Resize(Native file, uint64_t size) { return Seek(file, size) && SetEndOfFile(file) != 0; }
bool WriteAt(Native file, uint64_t offset, const void* data, size_t n) {
  DWORD written = 0;
  return Seek(file, offset) && WriteFile(file, data, static_cast<DWORD>(n), &written, nullptr) && written == n;
}
// Reads up to n bytes from the current position; -1 on failure.
long long ReadOn(Native file, void* data, size_t n) {
  DWORD got = 0;
  return ReadFile(file, data, static_cast<DWORD>(n), &got, nullptr) ? static_cast<long long>(got) : -1;
}
bool Close(Native file) { return CloseHandle(file) != 0; }
#else
using Native = int;
const Native kNone = -1;
Native OpenForWrite(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); }
Native OpenForRead(const std::string& path) { return ::open(path.c_str(), O_RDONLY); }
bool Resize(Native file, uint64_t size) { return ::ftruncate(file, static_cast<off_t>(size)) == 0; }
bool WriteAt(Native file, uint64_t offset, const void* data, size_t n) {
  return ::pwrite(file, data, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
}
long long ReadOn(Native file, void* data, size_t n) { return ::read(file, data, n); }
bool Close(Native file) { return ::close(file) == 0; }
#endif

}  // namespace

LargeScratchDir::LargeScratchDir() {
  namespace fs = std::filesystem;
  const char* chosen = std::getenv("DORVENAL_LARGE_DIR");
  fs::path base = chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::current_path();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::absolute(base / ("dorvenal-large-" + std::to_string(random())));
    std::error_code error;
    if (fs::create_directories(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  std::fprintf(stderr, "cannot make a scratch folder in %s\n", base.string().c_str());
  std::abort();
}

LargeScratchDir::~LargeScratchDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string LargeScratchDir::Subdir(const std::string& name) const {
  std::string dir = path_ + kPathSeparator + name;
  std::filesystem::create_directories(dir);
  return dir;
}

void Layout::Fill(uint64_t offset, unsigned char* out, size_t n) const {
  if (block.empty()) {
    std::memset(out, 0, n);
  } else {
    size_t done = 0;
    while (done < n) {
      size_t at = static_cast<size_t>((offset + done) % block.size());
      size_t take = std::min(n - done, block.size() - at);
      std::memcpy(out + done, block.data() + at, take);
      done += take;
    }
  }
  for (const Overlay& overlay : overlays) {
    uint64_t from = std::max(offset, overlay.offset);
    uint64_t to = std::min(offset + n, overlay.offset + overlay.bytes.size());
    if (from < to) {
      std::memcpy(out + (from - offset), overlay.bytes.data() + (from - overlay.offset), static_cast<size_t>(to - from));
    }
  }
}

bool WriteLayout(const std::string& path, const Layout& layout) {
  Native file = OpenForWrite(path);
  if (file == kNone) return false;
  bool ok = true;
  if (layout.block.empty()) {
    ok = Resize(file, layout.size);
    for (const Overlay& overlay : layout.overlays) {
      ok = ok && WriteAt(file, overlay.offset, overlay.bytes.data(), overlay.bytes.size());
    }
  } else {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    for (uint64_t offset = 0; ok && offset < layout.size; offset += kChunk) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, layout.size - offset));
      layout.Fill(offset, buffer.get(), n);
      ok = WriteAt(file, offset, buffer.get(), n);
    }
  }
  return Close(file) && ok;
}

::testing::AssertionResult HoldsLayoutRange(const std::string& path, const Layout& layout, uint64_t begin,
                                            uint64_t end) {
  uint64_t size = SizeOfFile(path);
  if (size != end - begin) {
    return ::testing::AssertionFailure() << path << " has " << size << " bytes, not " << end - begin;
  }
  Native file = OpenForRead(path);
  if (file == kNone) return ::testing::AssertionFailure() << path << " cannot be opened";
  std::unique_ptr<unsigned char[]> expected(new unsigned char[kChunk]);
  std::unique_ptr<unsigned char[]> actual(new unsigned char[kChunk]);
  uint64_t done = 0;
  while (done < size) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, size - done));
    long long got = ReadOn(file, actual.get(), n);
    if (got <= 0) {
      Close(file);
      return ::testing::AssertionFailure() << path << ": read failed at " << done;
    }
    layout.Fill(begin + done, expected.get(), static_cast<size_t>(got));
    if (std::memcmp(expected.get(), actual.get(), static_cast<size_t>(got)) != 0) {
      size_t i = 0;
      while (expected[i] == actual[i]) ++i;
      Close(file);
      return ::testing::AssertionFailure() << path << " differs at its byte " << done + i << " (source offset "
                                           << begin + done + i << ")";
    }
    done += static_cast<uint64_t>(got);
  }
  Close(file);
  return ::testing::AssertionSuccess();
}

uint64_t SizeOfFile(const std::string& path) {
  uint64_t size = 0;
  return FindFileExact(path, &size) ? size : UINT64_MAX;
}

bool RemovePath(const std::string& path) { return RemoveFile(path); }

uint64_t FreeBytesIn(const std::string& dir) {
  uint64_t free = 0;
  return QueryFreeBytes(dir, &free) ? free : 0;
}

#ifndef _WIN32
std::string CommandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  return ::pclose(pipe) == 0 ? output : std::string();
}

std::string CoreutilsChecksum(const std::string& path) {
  std::string line = CommandOutput("cksum < '" + path + "'");
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

std::vector<std::string> CoreutilsSplitChecksums(const std::string& path, const std::string& options,
                                                 const std::string& scratchDir) {
  // Each piece goes through cksum instead of onto the disk.
  std::string listing = CommandOutput("cd '" + scratchDir + "' && split -a 4 " + options +
                                      " --filter='cksum > $FILE' '" + path + "' piece. && cat piece.* && rm -f piece.*");
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(listing.substr(start, end - start));
  }
  return lines;
}
#endif

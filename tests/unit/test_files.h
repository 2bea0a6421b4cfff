// Scratch folders removed afterwards, and whole-file reads and writes.
#ifndef DORVENAL_TEST_FILES_H
#define DORVENAL_TEST_FILES_H

#include <cstdint>
#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const;    // path + separator + name
  std::string Subdir(const std::string& name) const;  // created

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
std::vector<std::string> ListDir(const std::string& dir);  // sorted names

// n bytes of a fixed pseudo-random pattern (zero bytes and 0x1A included).
std::string PatternBytes(size_t n, uint32_t seed = 1);

#endif

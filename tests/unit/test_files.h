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
std::string ReadBytes(const std::string& path);  // empty for anything but a file
bool FileExists(const std::string& path);
std::vector<std::string> ListDir(const std::string& dir);  // sorted names
// A file of `size` bytes that holds no data blocks: cheap at any size.
bool MakeSparse(const std::string& path, uint64_t size);

// What a folder holds, one sorted line per entry: "name/" for a folder, "name -> target" for a link,
// "name <size> <hash of the first 16 MiB>" for a file.
std::vector<std::string> Snapshot(const std::string& dir);

// Standard input reads another source while this lives, then is given back.
class RedirectedInput {
 public:
  explicit RedirectedInput(const std::string& path);  // the file (or folder) at path
  // These bytes, from a file in the scratch folder.
  RedirectedInput(const std::string& bytes, const TempDir& scratch);
  ~RedirectedInput();
  RedirectedInput(const RedirectedInput&) = delete;
  RedirectedInput& operator=(const RedirectedInput&) = delete;

 private:
  intptr_t saved_;
};

// n bytes of a fixed pseudo-random pattern (zero bytes and 0x1A included).
std::string PatternBytes(size_t n, uint32_t seed = 1);

#endif

// Whole-file reads and writes for the checksum tests, which run in a
// scratch folder of their own (with_random_files.sh).
#ifndef DORVENAL_CHECKSUM_FILES_H
#define DORVENAL_CHECKSUM_FILES_H

#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

#endif

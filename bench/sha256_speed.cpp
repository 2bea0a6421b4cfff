// How fast this build's Sha256 and the portable hash go: hashes a file and
// prints its digest and name as sha256sum does, or hashes MiB of memory fed
// in blocks of a given size and prints the rate.
//   dorvenal_sha256_speed [--portable] [--block BYTES] FILE
//   dorvenal_sha256_speed [--portable] [--block BYTES] --memory MIB
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "checksum_manifest.h"
#include "sha256.h"

namespace {

struct Hasher {
  bool portable = false;
  Sha256 system;
  PortableSha256 state;

  void Update(const void* data, size_t size) {
    if (portable) {
      PortableSha256Update(&state, data, size);
    } else {
      system.Update(data, size);
    }
  }
  Sha256Digest Final() {
    Sha256Digest digest{};
    if (portable) return PortableSha256Final(&state);
    if (!system.Final(&digest)) std::fprintf(stderr, "the system's hashing failed\n");
    return digest;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Hasher hasher;
  PortableSha256Start(&hasher.state);
  size_t block = 128 * 1024;
  long memoryMib = -1;
  int at = 1;
  for (; at < argc - 1 && argv[at][0] == '-'; ++at) {
    if (std::strcmp(argv[at], "--portable") == 0) hasher.portable = true;
    if (std::strcmp(argv[at], "--block") == 0) block = std::strtoul(argv[++at], nullptr, 10);
    if (std::strcmp(argv[at], "--memory") == 0) memoryMib = std::strtol(argv[++at], nullptr, 10);
  }
  if (block == 0 || (memoryMib < 0 && at != argc - 1)) {
    std::fprintf(stderr, "usage: %s [--portable] [--block BYTES] FILE | --memory MIB\n", argv[0]);
    return 2;
  }
  std::vector<char> buffer(block, 'a');
  auto start = std::chrono::steady_clock::now();
  if (memoryMib >= 0) {
    for (uint64_t left = static_cast<uint64_t>(memoryMib) << 20; left > 0; left -= std::min<uint64_t>(left, block)) {
      hasher.Update(buffer.data(), static_cast<size_t>(std::min<uint64_t>(left, block)));
    }
  } else {
    std::FILE* file = std::fopen(argv[at], "rb");
    if (file == nullptr) {
      std::perror(argv[at]);
      return 1;
    }
    for (size_t got; (got = std::fread(buffer.data(), 1, block, file)) > 0;) hasher.Update(buffer.data(), got);
    std::fclose(file);
  }
  std::string hex = DigestToHex(hasher.Final());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (memoryMib < 0) {
    std::printf("%s  %s\n", hex.c_str(), argv[at]);
  } else {
    std::printf("%s  %ld MiB in blocks of %lu bytes, %s: %.3f s, %.0f MB/s\n", hex.c_str(), memoryMib,
                static_cast<unsigned long>(block), hasher.portable ? "portable" : hasher.system.Implementation(),
                seconds, memoryMib * 1048576.0 / seconds / 1e6);
  }
  return 0;
}

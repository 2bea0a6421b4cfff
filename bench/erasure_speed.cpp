// How fast the recovery code makes recovery pieces (encode) and rebuilds
// the first K data pieces from the others and the recovery pieces
// (rebuild), on this build's arithmetic or the portable one, over MiB of
// data in memory coded a block of each piece at a time. Prints the rate
// in MB of data pieces a second.
//   dorvenal_erasure_speed [--portable] [--block BYTES] [--rebuild] N K MIB
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "recovery_code.h"

int main(int argc, char** argv) {
  bool portable = false, rebuild = false;
  size_t block = 64 * 1024;
  int at = 1;
  for (; at < argc && argv[at][0] == '-'; ++at) {
    if (std::strcmp(argv[at], "--portable") == 0) portable = true;
    if (std::strcmp(argv[at], "--rebuild") == 0) rebuild = true;
    if (std::strcmp(argv[at], "--block") == 0 && at + 1 < argc) block = std::strtoul(argv[++at], nullptr, 10);
  }
  RecoveryCode code;
  if (argc - at != 3 || block == 0 ||
      !code.Init(static_cast<uint32_t>(std::atoi(argv[at])), static_cast<uint32_t>(std::atoi(argv[at + 1])))) {
    std::fprintf(stderr, "usage: %s [--portable] [--block BYTES] [--rebuild] N K MIB\n", argv[0]);
    return 2;
  }
  RecoveryCode::UsePortableOnly(portable);
  const uint32_t n = code.dataCount(), k = code.recoveryCount();
  std::vector<std::vector<unsigned char>> pieces(n + k, std::vector<unsigned char>(block));
  for (uint32_t i = 0; i < n; ++i) {
    for (size_t b = 0; b < block; ++b) pieces[i][b] = static_cast<unsigned char>((b * 131 + i * 7 + b / 251) & 0xff);
  }
  std::vector<const unsigned char*> data, survivors;
  std::vector<unsigned char*> recovery, lostBytes;
  std::vector<uint32_t> present, lost;
  for (uint32_t i = 0; i < n + k; ++i) {
    if (i < n) data.push_back(pieces[i].data());
    if (i >= n) recovery.push_back(pieces[i].data());
    if (i < k) lost.push_back(i), lostBytes.push_back(pieces[i].data());
    if (i >= k) present.push_back(i), survivors.push_back(pieces[i].data());
  }
  code.Encode(block, data.data(), recovery.data());
  const uint64_t total = std::strtoull(argv[at + 2], nullptr, 10) << 20;
  const uint64_t rounds = (total + n * block - 1) / (n * block);
  auto start = std::chrono::steady_clock::now();
  for (uint64_t round = 0; round < rounds; ++round) {
    if (!rebuild) {
      code.Encode(block, data.data(), recovery.data());
    } else if (!code.Rebuild(block, present, survivors.data(), lost, lostBytes.data())) {
      std::fprintf(stderr, "the rebuild was refused\n");
      return 1;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double bytes = static_cast<double>(rounds) * n * block;
  std::printf("%s %u+%u, %.0f MiB in blocks of %lu bytes, %s: %.3f s, %.0f MB/s\n", rebuild ? "rebuild" : "encode", n,
              k, bytes / 1048576, static_cast<unsigned long>(block), RecoveryCode::Implementation(), seconds,
              bytes / seconds / 1e6);
  return 0;
}

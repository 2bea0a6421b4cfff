// The engine held against the system's own tools: size and count pieces
// against coreutils split, and the free space against stat.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "job_fixture.h"

namespace {

// coreutils split -b in a fresh folder: its chunks in order.
Log SplitB(const std::string& source, uint64_t size) {
  TempDir out;
  std::string command = "cd '" + out.path() + "' && split -a 6 -d -b " + std::to_string(size) + " '" + source + "' c.";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Log chunks;
  for (const std::string& name : ListDir(out.path())) chunks.push_back(ReadBytes(out.File(name)));
  return chunks;
}

TEST_F(JobTest, SizeAndCountPiecesAreSplitBChunksTheCountsRestInTheLast) {
  for (uint64_t fileSize : {1, 2, 9, 10, 11, 99, 100, 101, 1001, 4097}) {
    WriteBytes(In("o.bin"), PatternBytes(fileSize, static_cast<uint32_t>(fileSize)));
    for (uint64_t size : {uint64_t{1}, uint64_t{2}, uint64_t{7}, fileSize - 1}) {
      if (size == 0 || size >= fileSize || fileSize / size > 1001) continue;  // many pieces only where they cross 9, 99, 999
      TempDir target;
      RunSplit(BySize(size), In("o.bin"), target.path());
      EXPECT_TRUE(Same(PiecesIn(target.path(), "o_bin"), SplitB(In("o.bin"), size))) << fileSize << " by " << size;
    }
    for (uint64_t count : {1, 2, 3, 9, 10, 11, 99, 100, 101, 999, 1000}) {
      if (count > fileSize || fileSize % 10 > 1) continue;
      TempDir target;
      RunSplit(ByCount(count), In("o.bin"), target.path());
      Log chunks = SplitB(In("o.bin"), fileSize / count);
      for (; chunks.size() > count; chunks.pop_back()) chunks[chunks.size() - 2] += chunks.back();
      EXPECT_TRUE(Same(PiecesIn(target.path(), "o_bin"), chunks)) << fileSize << " bytes in " << count;
    }
  }
}

// The free space a user may fill (f_bavail), not the root's (f_bfree): the
// two differ on a disk file system that keeps blocks for root.
TEST(FreeSpace, IsWhatTheUserMayFill) {
  const std::string dir = std::filesystem::current_path().string();
  auto stat = [&dir](const char* format) {
    std::FILE* pipe = popen(("stat -f -c '" + std::string(format) + "' '" + dir + "'").c_str(), "r");
    unsigned long long blocks = 0, blockSize = 0;
    EXPECT_EQ(std::fscanf(pipe, "%llu %llu", &blocks, &blockSize), 2);
    pclose(pipe);
    return blocks * blockSize;
  };
  const uint64_t before = stat("%a %S"), rootMay = stat("%f %S");
  uint64_t freeBytes = 0;
  ASSERT_EQ(QueryFreeBytes(dir, &freeBytes), kNoError);
  const uint64_t after = stat("%a %S"), slack = uint64_t{64} << 20;  // others write meanwhile
  if (rootMay - before < 4 * slack) GTEST_SKIP() << dir << " keeps no blocks for root: the two cannot be told apart";
  EXPECT_GE(freeBytes + slack, std::min(before, after));
  EXPECT_LE(freeBytes, std::max(before, after) + slack);
}

}  // namespace

// The pieces of a Size or Pieces split must be the chunks that coreutils
// split makes of the same file. Installed coreutils may spread a
// remainder over the chunks with -n; the Pieces oracle is therefore
// derived from split -b with the piece size and a joined last chunk.
#include <cstdlib>
#include <string>
#include <vector>

#include "job_fixture.h"

namespace {

// Runs coreutils split in a fresh folder and returns its chunks in order.
std::vector<std::string> CoreutilsChunks(const std::string& source, const std::string& arguments) {
  TempDir out;
  std::string command = "cd '" + out.path() + "' && split -a 6 -d " + arguments + " '" + source + "' c.";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<std::string> chunks;
  for (const std::string& name : ListDir(out.path())) chunks.push_back(ReadBytes(out.File(name)));
  return chunks;
}

class OracleTest : public JobTest {
 protected:
  std::vector<std::string> SplitInto(const std::string& bytes, SplitMethod method, uint64_t value) {
    TempDir out;
    gSession = SessionState();
    dialog.ClearLog();
    source = PrepareSplit("o.bin", bytes, method, std::to_string(value), false);
    dialog.SetText(IDC_TARGET_PATH, out.path());
    dialog.AnswerYesNo(kAnswerYes);
    std::vector<std::string> pieces;
    if (Split() != JobOutcome::kFinished) return pieces;
    for (size_t k = 1; FileExists(out.File("o_bin." + std::to_string(k))); ++k) {
      pieces.push_back(ReadBytes(out.File("o_bin." + std::to_string(k))));
    }
    return pieces;
  }
  std::string source;
};

TEST_F(OracleTest, SizePiecesAreTheChunksOfSplitB) {
  for (uint64_t fileSize : {1, 2, 9, 10, 11, 99, 100, 101, 1001, 4097}) {
    std::string bytes = PatternBytes(fileSize, static_cast<uint32_t>(fileSize));
    for (uint64_t size : {uint64_t{1}, uint64_t{2}, uint64_t{7}, fileSize - 1, fileSize, fileSize + 1}) {
      // Many-piece cases only where they cross 9, 99 and 999 pieces.
      if (size == 0 || fileSize / size > 1001) continue;
      std::vector<std::string> pieces = SplitInto(bytes, Size, size);
      if (size >= fileSize) {
        EXPECT_TRUE(pieces.empty()) << "a size not below the file size is refused";
        continue;
      }
      EXPECT_EQ(pieces, CoreutilsChunks(source, "-b " + std::to_string(size))) << fileSize << "/" << size;
    }
  }
}

TEST_F(OracleTest, CountPiecesAreTheChunksOfSplitN) {
  for (uint64_t fileSize : {9, 10, 11, 100, 101, 1001}) {
    std::string bytes = PatternBytes(fileSize, static_cast<uint32_t>(fileSize) + 3);
    for (uint64_t count : {uint64_t{1}, uint64_t{2}, uint64_t{3}, uint64_t{9}, uint64_t{10}, uint64_t{11},
                           uint64_t{99}, uint64_t{100}, uint64_t{101}, uint64_t{999}, uint64_t{1000},
                           uint64_t{1001}, fileSize - 1, fileSize}) {
      if (count > fileSize || (count > 101 && count < 999)) continue;
      std::vector<std::string> pieces = SplitInto(bytes, Pieces, count);
      // Every chunk of split -b with the quotient, the chunks past the
      // count joined onto the last one.
      uint64_t size = fileSize / count;
      std::vector<std::string> chunks = CoreutilsChunks(source, "-b " + std::to_string(size));
      while (chunks.size() > count) {
        chunks[chunks.size() - 2] += chunks.back();
        chunks.pop_back();
      }
      EXPECT_EQ(pieces, chunks) << fileSize << "/" << count;
      // Where coreutils itself leaves the remainder to the last chunk, -n agrees too.
      if (fileSize % count == 0) {
        EXPECT_EQ(pieces, CoreutilsChunks(source, "-n " + std::to_string(count))) << fileSize << "/" << count;
      }
    }
  }
}

}  // namespace

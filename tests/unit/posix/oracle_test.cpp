// Size and count pieces against coreutils split, and split-then-join round
// trips of every method.
#include <cstdlib>

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

TEST_F(DialogTest, SizePiecesAreTheChunksOfSplitB) {
  for (uint64_t fileSize : {1, 2, 9, 10, 11, 99, 100, 101, 1001, 4097}) {
    WriteBytes(In("o.bin"), PatternBytes(fileSize, static_cast<uint32_t>(fileSize)));
    for (uint64_t size : {uint64_t{1}, uint64_t{2}, uint64_t{7}, fileSize - 1, fileSize, fileSize + 1}) {
      if (size == 0 || fileSize / size > 1001) continue;  // many pieces only where they cross 9, 99, 999
      TempDir target;
      Split(In("o.bin"), {Size, std::to_string(size)}, target.path());
      Log expected = size < fileSize ? SplitB(In("o.bin"), size) : Log{};  // not below the file size: refused
      EXPECT_EQ(PiecesIn(target.path(), "o_bin"), expected) << fileSize << " bytes by " << size;
    }
  }
}

TEST_F(DialogTest, CountPiecesAreSplitBChunksWithTheRestInTheLast) {
  for (uint64_t fileSize : {10, 101, 1001}) {
    WriteBytes(In("o.bin"), PatternBytes(fileSize, static_cast<uint32_t>(fileSize) + 3));
    for (uint64_t count : {uint64_t{1}, uint64_t{2}, uint64_t{3}, uint64_t{9}, uint64_t{10}, uint64_t{11},
                           uint64_t{99}, uint64_t{100}, uint64_t{101}, uint64_t{999}, uint64_t{1000}}) {
      if (count > fileSize) continue;
      TempDir target;
      Split(In("o.bin"), {Pieces, std::to_string(count)}, target.path());
      Log chunks = SplitB(In("o.bin"), fileSize / count);
      for (; chunks.size() > count; chunks.pop_back()) chunks[chunks.size() - 2] += chunks.back();
      EXPECT_EQ(PiecesIn(target.path(), "o_bin"), chunks) << fileSize << " bytes in " << count;
    }
  }
}

TEST_F(DialogTest, SplitThenJoinGivesTheFileBack) {
  const SplitInput inputs[] = {{Size, "1", true},     {Size, "7"},      {Pieces, "1"},
                               {Pieces, "9"},         {Pieces, "10"},   {Keyword, "e"}};
  for (size_t size : {1u, 2u, 9u, 10u, 11u, 1023u, 1024u, 1025u, 5000u}) {
    std::string bytes = PatternBytes(size, static_cast<uint32_t>(size));
    bytes[size / 2] = 'e';
    WriteBytes(In("round.trip"), bytes);
    for (const SplitInput& input : inputs) {
      SCOPED_TRACE(std::to_string(size) + " bytes, value " + input.value);
      TempDir pieces, back;
      Split(In("round.trip"), input, pieces.path());
      if (dialog.InfoBoxes() != Log{known::kSplitFinished}) {
        // Only a size not below the file size, or a keyword behind a zero byte, is refused.
        EXPECT_TRUE(input.method == Size || (input.method == Keyword && bytes.find('\0') < size / 2));
        continue;
      }
      Join(pieces.File("round_trip.1"), back.path());
      EXPECT_TRUE(ReadBytes(back.File("round.trip")) == bytes);
    }
  }
}

}  // namespace

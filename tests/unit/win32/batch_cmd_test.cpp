// The system's command interpreter re-creating a file from JOIN.BAT.
#include <cstdlib>

#include "job_fixture.h"

namespace {

// Runs JOIN.BAT in its folder, PAUSE answered by an empty standard input.
int RunBatch(const std::string& folder) {
  return std::system(("cd /d \"" + folder + "\" && cmd /c JOIN.BAT <NUL >NUL").c_str());
}

TEST_F(JobTest, TheCommandInterpreterRebuildsTheFileFromJoinBat) {
  // Zero bytes and 0x1A in every piece: COPY without /B would stop at 0x1A.
  std::string bytes = PatternBytes(30000, 11);
  for (size_t i = 0; i < bytes.size(); i += 997) bytes[i] = '\x1A';
  for (size_t i = 500; i < bytes.size(); i += 1009) bytes[i] = '\0';
  const std::pair<std::string, SplitRequest> cases[] = {
      {"my report.v1_2.doc", ByCount(4)},     {"plain", BySize(7168)},
      {"tail.bin", ByKeyword("\x1A")},        {"Tom & Jerry (1).avi", ByCount(3)},
      {"50% off^2.pdf", ByCount(2)},          {"x & mkdir injected.doc", ByCount(2)},
  };
  for (const auto& c : cases) {
    TempDir target;
    WriteBytes(In(c.first), bytes);
    ASSERT_EQ(RunSplit(WithBatch(c.second), In(c.first), target.path()).back().substr(0, 9), "finished ") << c.first;
    ASSERT_EQ(RunBatch(target.path()), 0);
    EXPECT_TRUE(ReadBytes(target.File(c.first)) == bytes) << c.first;
    // The pieces, JOIN.BAT and the file: the batch ran nothing else.
    std::string stem = c.first;
    ReplaceLastDot(stem);
    EXPECT_EQ(ListDir(target.path()).size(), PiecesIn(target.path(), stem).size() + 2) << c.first;
    EXPECT_FALSE(FileExists(target.File("dorvnl.tmp")));
  }
}

}  // namespace

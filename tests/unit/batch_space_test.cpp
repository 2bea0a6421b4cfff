// JOIN.BAT as every method writes it, and the free-space check.
#include "free_space.h"
#include "job_fixture.h"

namespace {

TEST_F(DialogTest, EveryMethodWritesTheSameBatchForThreePieces) {
  std::string bytes(10000, 'a');
  bytes.replace(100, 2, "--");
  bytes.replace(5000, 2, "--");
  WriteBytes(In("report.doc"), bytes);
  const SplitInput inputs[] = {
      {Pieces, "3", false, true}, {Size, "4", true, true}, {Size, "3334", false, true}, {Keyword, "--", false, true}};
  for (const SplitInput& input : inputs) {
    TempDir target;
    Split(In("report.doc"), input, target.path());
    EXPECT_EQ(PiecesIn(target.path(), "report_doc").size(), 3u) << input.value;
    std::string batch = ReadBytes(target.File("JOIN.BAT"));
    EXPECT_EQ(batch.size(), 282u) << input.value;
    EXPECT_EQ(batch, kReportJoinBatch) << input.value;
  }
}

// cmd.exe reads % everywhere and & ^ ( ) < > | outside quotes: escaped, they
// are the name's own characters again.
TEST_F(DialogTest, TheBatchEscapesWhatTheCommandInterpreterWouldRead) {
  WriteBytes(In("50% & (x).doc"), "abcdef");
  Split(In("50% & (x).doc"), {Pieces, "2", false, true}, out);
  EXPECT_EQ(ReadBytes(Out("JOIN.BAT")),
            "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now 50%% ^& ^(x^).doc will be recreated\r\n"
            "PAUSE\r\nCOPY /B \"50%% & (x)_doc.1\" dorvnl.tmp\r\nCOPY /B dorvnl.tmp+\"50%% & (x)_doc.2\" dorvnl.tmp\r\n"
            "REN dorvnl.tmp \"50%% & (x).doc\"\r\nECHO Finished creating 50%% ^& ^(x^).doc\r\n");
}

struct CompareRow {
  bool queried;
  uint64_t freeBytes, needed;
  int room;
};

TEST(FreeSpace, ComparesAll64BitsAndTreatsAFailedQueryAsNoRoom) {
  const uint64_t fourGiB = uint64_t{1} << 32;
  const CompareRow rows[] = {
      {true, 1000, 1000, 1},       {true, 999, 1000, 0},       {true, 0, 0, 1},
      {true, fourGiB, 0xFFFFFFFFu, 1}, {true, fourGiB, fourGiB + 1, 0}, {true, fourGiB + 1, fourGiB + 1, 1},
      {true, fourGiB + 10, 20, 1}, {false, UINT64_MAX, 0, 0},
  };
  for (const CompareRow& row : rows) {
    EXPECT_EQ(CompareFreeSpace(row.queried, row.freeBytes, row.needed), row.room)
        << row.queried << " " << row.freeBytes << " " << row.needed;
  }
}

TEST(FreeSpace, QueriesTheDriveRoot) {
  const char* const rows[][2] = {{"C:\\Data\\Parts", "C:\\"}, {"E:\\", "E:\\"}, {"D:", "D:"},
                                  {"\\\\server\\share", ""}, {"relative\\dir", ""}, {"", ""}, {"/tmp", ""}};
  for (const auto& row : rows) EXPECT_EQ(MakeFreeSpaceRoot(row[0]), row[1]) << row[0];
}

TEST(FreeSpace, CountsClustersWithoutOverflow) {
  EXPECT_EQ(FreeBytesFromClusters(8, 512, 1000), 4096000u);
  EXPECT_EQ(FreeBytesFromClusters(64, 4096, 2000000), UINT64_C(524288000000));
  EXPECT_EQ(FreeBytesFromClusters(0xFFFFFFFFu, 0xFFFFFFFFu, 1), UINT64_C(0xFFFFFFFE00000001));
}

TEST(FreeSpace, AsksTheRealVolume) {
  TempDir dir;
  EXPECT_EQ(CheckFreeSpace(dir.path(), 1), 1);
  EXPECT_EQ(CheckFreeSpace(dir.path(), UINT64_MAX), 0);
}

}  // namespace

// JOIN.BAT as every method writes it, and the free-space check.
#include "free_space.h"
#include "job_fixture.h"

namespace {

TEST_F(JobTest, EveryMethodWritesTheSameBatchForThreePieces) {
  std::string bytes(10000, 'a');
  bytes.replace(100, 2, "--");
  bytes.replace(5000, 2, "--");
  WriteBytes(In("report.doc"), bytes);
  const struct { SplitRequest request; std::string sizes[3]; } rows[] = {
      {ByCount(3), {"3333", "3333", "3334"}}, {BySize(4096), {"4096", "4096", "1808"}},
      {BySize(3334), {"3334", "3334", "3332"}}, {ByKeyword("--"), {"102", "4900", "4998"}},
      {FromStream(BySize(4096), "report.doc"), {"4096", "4096", "1808"}},
      {FromStream(ByKeyword("--"), "report.doc"), {"102", "4900", "4998"}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.request.method) + (row.request.fromStandardInput ? " from a stream" : ""));
    TempDir target;
    RedirectedInput input(bytes, dir);
    RunSplit(WithBatch(row.request), In("report.doc"), target.path());
    EXPECT_EQ(PiecesIn(target.path(), "report_doc").size(), 3u);
    EXPECT_TRUE(Same({ReadBytes(target.File("JOIN.BAT"))}, {ReportJoinBatch(row.sizes)}));
  }
}

// cmd.exe reads % everywhere and & ^ ( ) < > | outside quotes: escaped, they
// are the name's own characters again.
TEST_F(JobTest, TheBatchEscapesWhatTheCommandInterpreterWouldRead) {
  WriteBytes(In("50% & (x).doc"), "abcdef");
  RunSplit(WithBatch(ByCount(2)), In("50% & (x).doc"), out);
  EXPECT_EQ(ReadBytes(Out("JOIN.BAT")),
            "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now 50%% ^& ^(x^).doc will be recreated\r\n"
            "PAUSE\r\n"
            "IF EXIST \"50%% & (x)_doc.dvjournal\" ECHO 50%% ^& ^(x^)_doc.dvjournal records an unfinished change of "
            "this set: run Dorvenal in this folder to finish it\r\n"
            "IF EXIST \"50%% & (x)_doc.dvjournal\" GOTO END\r\n"
            "IF NOT EXIST \"50%% & (x)_doc.1\" ECHO 50%% ^& ^(x^)_doc.1 is missing: 50%% ^& ^(x^).doc was not recreated\r\n"
            "IF NOT EXIST \"50%% & (x)_doc.1\" GOTO END\r\n"
            "IF NOT EXIST \"50%% & (x)_doc.2\" ECHO 50%% ^& ^(x^)_doc.2 is missing: 50%% ^& ^(x^).doc was not recreated\r\n"
            "IF NOT EXIST \"50%% & (x)_doc.2\" GOTO END\r\n"
            "IF EXIST \"50%% & (x).doc\" ECHO 50%% ^& ^(x^).doc is in the way: move it elsewhere and run JOIN.BAT again\r\n"
            "IF EXIST \"50%% & (x).doc\" GOTO END\r\n"
            "IF EXIST \"dorvnl.tmp\" ECHO dorvnl.tmp is in the way: move it elsewhere and run JOIN.BAT again\r\n"
            "IF EXIST \"dorvnl.tmp\" GOTO END\r\n"
            "IF \"%OS%\"==\"Windows_NT\" FOR %%F IN (\"50%% & (x)_doc.1\") DO IF NOT \"%%~zF\"==\"3\" ECHO 50%% ^& "
            "^(x^)_doc.1 is not 3 bytes long: 50%% ^& ^(x^).doc was not recreated\r\n"
            "IF \"%OS%\"==\"Windows_NT\" FOR %%F IN (\"50%% & (x)_doc.1\") DO IF NOT \"%%~zF\"==\"3\" GOTO END\r\n"
            "IF \"%OS%\"==\"Windows_NT\" FOR %%F IN (\"50%% & (x)_doc.2\") DO IF NOT \"%%~zF\"==\"3\" ECHO 50%% ^& "
            "^(x^)_doc.2 is not 3 bytes long: 50%% ^& ^(x^).doc was not recreated\r\n"
            "IF \"%OS%\"==\"Windows_NT\" FOR %%F IN (\"50%% & (x)_doc.2\") DO IF NOT \"%%~zF\"==\"3\" GOTO END\r\n"
            "COPY /B \"50%% & (x)_doc.1\" dorvnl.tmp\r\n"
            "IF \"%OS%\"==\"Windows_NT\" IF ERRORLEVEL 1 ECHO 50%% ^& ^(x^)_doc.1 could not be copied: 50%% ^& "
            "^(x^).doc was not recreated\r\n"
            "IF \"%OS%\"==\"Windows_NT\" IF ERRORLEVEL 1 GOTO FAILED\r\n"
            "COPY /B dorvnl.tmp+\"50%% & (x)_doc.2\" dorvnl.tmp\r\n"
            "IF \"%OS%\"==\"Windows_NT\" IF ERRORLEVEL 1 ECHO 50%% ^& ^(x^)_doc.2 could not be copied: 50%% ^& "
            "^(x^).doc was not recreated\r\n"
            "IF \"%OS%\"==\"Windows_NT\" IF ERRORLEVEL 1 GOTO FAILED\r\n"
            "REN dorvnl.tmp \"50%% & (x).doc\"\r\nECHO Finished creating 50%% ^& ^(x^).doc\r\n"
            "GOTO END\r\n:FAILED\r\nIF EXIST dorvnl.tmp DEL dorvnl.tmp\r\n:END\r\n");
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

}  // namespace

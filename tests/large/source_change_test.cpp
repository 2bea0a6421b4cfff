// A source changed while it is split, and a piece removed while a set is joined, for real and at exact
// moments: each run ends with the exact message, no completion message, no batch file, and without the
// piece it was writing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialog_entries.h"
#include "fake_dialog.h"
#include "fault_links.h"
#include "join_job.h"
#include "split_job.h"
#include "test_files.h"

// The shim (system_shim.cpp) calls it before the free-space query, and before it creates a piece or a
// shared file (the joined file), with the path.
extern std::function<void(const std::string& call, const std::string& path)> gBeforeSystemCall;

namespace {

struct ChangeRow {
  SplitMethod method;
  const char* value;
  size_t sourceSize;
  // The call before which the source changes: "free space", "create piece" (piece 2) or "mapped read"
  // (the second keyword search, which then reads past the new end).
  const char* moment;
  uint64_t newSize;  // the source's size: cut or grown; the same size is a byte overwritten in place
  std::vector<std::string> left;  // what the target then holds
};

TEST(SourceChange, StopsTheSplitWithItsMessage) {
  const std::vector<std::string> none, first = {"data_bin.1"};
  const ChangeRow rows[] = {
      {Size, "4000", 65536, "free space", 10240, none},
      {Pieces, "7", 65536, "free space", 65537, none},
      {Keyword, "--", 65536, "free space", 10240, none},
#ifndef _WIN32  // POSIX lets others change a mapped file; the split must stop after the piece it was writing
      {Size, "4000", 262144, "create piece", 6000, first},
      {Pieces, "7", 262144, "create piece", 266240, first},
      {Keyword, "--", 262144, "create piece", 266240, first},
      {Keyword, "--", 1048576, "create piece", 9000, first},  // piece 2 fits; the search after it would not
      {Pieces, "7", 262144, "create piece", 262144, first},
      {Keyword, "--", 1048576, "mapped read", 4096, first},
#endif
  };
  for (const ChangeRow& row : rows) {
    SCOPED_TRACE(std::string(row.value) + " " + row.moment + " " + std::to_string(row.newSize));
    TempDir dir;
    const std::string source = dir.Subdir("in") + kPathSeparator + "data.bin", target = dir.Subdir("out");
    const std::string second = target + kPathSeparator + "data_bin.2.dvtmp";
    std::string original;  // "--" every 4,001 bytes, no zero byte
    for (size_t i = 0; i < row.sourceSize; ++i) original += i % 4001 >= 3999 ? '-' : static_cast<char>('a' + i % 23);
    WriteBytes(source, original);
    const std::string host = "'" + fault::HostPath(source) + "'";
    // An old time: a write in the same clock tick as WriteBytes must still show.
    ASSERT_TRUE(fault::RunHostCommand("touch -d @946684800 " + host));
    const bool overwrite = row.newSize == row.sourceSize;
    bool changed = false;
    int reads = 0;
    gBeforeSystemCall = [&](const std::string& call, const std::string& path) {
      if (call == row.moment && (call != "create piece" || path == second) && (call != "mapped read" || ++reads == 2)) {
        // From outside the engine: under Wine through the host, as the split keeps Windows writers out.
        changed = fault::RunHostCommand(overwrite ? "printf Z | dd of=" + host + " bs=1 seek=5 conv=notrunc 2>/dev/null"
                                                  : "truncate -s " + std::to_string(row.newSize) + " " + host);
      }
    };
    FakeDialog dialog;
    dialog.AnswerYesNo(kAnswerYes);
    DialogReport report(dialog.handle());
    EXPECT_EQ(PerformSplitJob(SplitRequest{source, target, row.method, row.value, SizeUnit::kBytes, true}, report),
              JobOutcome::kFailed);
    gBeforeSystemCall = nullptr;
    EXPECT_TRUE(changed);
    EXPECT_EQ(dialog.InfoBoxes(),
              std::vector<std::string>{"The source file changed while it was being split !!\nThe split has been stopped."});
    EXPECT_EQ(ListDir(target), row.left);
    std::string piece = row.left.empty() ? "" : ReadBytes(target + kPathSeparator + row.left[0]);
    EXPECT_TRUE(original.compare(0, piece.size(), piece) == 0);
    if (overwrite) original[5] = 'Z';
    EXPECT_TRUE(ReadBytes(source) == (original + std::string(row.newSize, '\0')).substr(0, row.newSize)) << "source";
  }
}

// Pieces 1 to 5 are there when the join counts them; piece 3 is gone when the joined file is created.
TEST(PieceVanishes, DuringTheJoinStopsItAndRemovesTheIncompleteFile) {
  TempDir dir;
  const std::string pieces = dir.Subdir("pieces"), joined = dir.Subdir("joined");
  for (int k = 1; k <= 5; ++k) WriteBytes(pieces + kPathSeparator + "report_doc." + std::to_string(k), PatternBytes(300000 + k, k));
  const std::string third = pieces + kPathSeparator + "report_doc.3";
  gBeforeSystemCall = [&](const std::string& call, const std::string&) { call == "create shared" && RemoveFile(third); };
  FakeDialog dialog;
  dialog.AnswerYesNo(kAnswerYes);
  DialogReport report(dialog.handle());
  EXPECT_EQ(PerformJoinJob(JoinRequest{pieces + kPathSeparator + "report_doc.1", joined}, report), JobOutcome::kFailed);
  gBeforeSystemCall = nullptr;
  EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{"Could not open the piece\n" + third +
                                                         " !!\nThe join has been stopped and the incomplete file removed."});
  EXPECT_TRUE(ListDir(joined).empty());
  EXPECT_EQ(ListDir(pieces).size(), 4u);
}

}  // namespace

// A source changed while it is split, and a piece removed while a set is joined, for real and at exact
// moments: each run stops with the cause, and leaves the target as it found it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fault_links.h"
#include "job_fixture.h"

// The shim (system_shim.cpp) calls it before the free-space query, before each file is created (with its
// path) and before each read.
extern std::function<void(const std::string& call, const std::string& path)> gBeforeSystemCall;

namespace {

struct ChangeRow {
  SplitRequest request;
  size_t sourceSize;
  const char* moment;  // the call before which the source changes: "free space", the second "create" or "read"
  uint64_t newSize;    // the source's size: cut or grown; the same size is a byte overwritten in place
};

TEST(SourceChange, StopsTheSplitAndLeavesTheTargetAsItWas) {
  const ChangeRow rows[] = {
      {BySize(4000), 65536, "free space", 10240},
      {ByCount(7), 65536, "free space", 65537},
      {ByKeyword("--"), 65536, "free space", 10240},
      {BySize(4000), 262144, "create", 6000},  // piece 2 meets an early end
      {ByCount(7), 262144, "create", 266240},
      {ByCount(7), 262144, "create", 262144},
      {ByKeyword("--"), 1048576, "create", 9000},
      {ByKeyword("--"), 1048576, "read", 4096},  // cut under the search: the next read ends early
      {BySize(4000), 262144, "read", 262144},
  };
  for (const ChangeRow& row : rows) {
    SCOPED_TRACE(std::to_string(row.request.method) + " " + row.moment + " " + std::to_string(row.newSize));
    TempDir dir;
    const std::string source = dir.Subdir("in") + kPathSeparator + "data.bin", target = dir.Subdir("out");
    std::string original;  // "--" every 4,001 bytes, no zero byte
    for (size_t i = 0; i < row.sourceSize; ++i) original += i % 4001 >= 3999 ? '-' : static_cast<char>('a' + i % 23);
    WriteBytes(source, original);
    const std::string host = "'" + fault::HostPath(source) + "'";
    // An old time: a write in the same clock tick as WriteBytes must still show.
    ASSERT_TRUE(fault::RunHostCommand("touch -d @946684800 " + host));
    const bool overwrite = row.newSize == row.sourceSize;
    bool changed = false;
    int calls = 0;
    gBeforeSystemCall = [&](const std::string& call, const std::string&) {
      if (call != row.moment || (call != "free space" && ++calls != 2)) return;
      // From outside the engine: under Wine through the host, as the split keeps Windows writers out.
      changed = fault::RunHostCommand(overwrite ? "printf Z | dd of=" + host + " bs=1 seek=5 conv=notrunc 2>/dev/null"
                                                : "truncate -s " + std::to_string(row.newSize) + " " + host);
    };
    const Log log = RunSplit(WithBatch(row.request), source, target);
    gBeforeSystemCall = nullptr;
    EXPECT_TRUE(changed);
    EXPECT_EQ(log.back(), "stopped source-changed " + source + " 0");
    EXPECT_TRUE(ListDir(target).empty());
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
  gBeforeSystemCall = [&](const std::string& call, const std::string&) {
    if (call == "create") RemoveFile(third);
  };
  const Log log = RunJoin(pieces + kPathSeparator + "report_doc.1", joined);
  gBeforeSystemCall = nullptr;
  EXPECT_EQ(log.back(), "stopped open-piece " + third + " 2");  // ENOENT, ERROR_FILE_NOT_FOUND
  EXPECT_TRUE(ListDir(joined).empty());
  EXPECT_EQ(ListDir(pieces).size(), 4u);
}

// Piece 2 is gone, under its temporary name, when JOIN.BAT is written after the last piece: the
// commit cannot tell its identity (POSIX) or rename it (Windows), stops, and names nothing.
TEST(PieceVanishes, BeforeTheCommitStopsTheSplitAndLeavesTheTargetAsItWas) {
  TempDir dir;
  const std::string source = dir.Subdir("in") + kPathSeparator + "data.bin", target = dir.Subdir("out");
  WriteBytes(source, PatternBytes(10000, 7));
  gBeforeSystemCall = [&](const std::string& call, const std::string& path) {
    if (call != "create" || path.find(".bat.dvtmp") == std::string::npos) return;
    for (const std::string& name : ListDir(target)) {
      if (name.size() > 9 && name.compare(name.size() - 8, 8, ".2.dvtmp") == 0) RemoveFile(target + kPathSeparator + name);
    }
  };
  const Log log = RunSplit(WithBatch(BySize(4000)), source, target);
  gBeforeSystemCall = nullptr;
  const std::string second = target + kPathSeparator + "data_bin.2";
#ifdef _WIN32
  EXPECT_EQ(log.back(), "stopped rename-piece " + second + " 2");  // ERROR_FILE_NOT_FOUND
#else
  EXPECT_EQ(log.back(), "stopped stat-piece " + second + " 2");  // ENOENT
#endif
  EXPECT_TRUE(ListDir(target).empty());
}

}  // namespace

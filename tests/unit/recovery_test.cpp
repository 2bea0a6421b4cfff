// Sets with recovery pieces: a join gives the source back whatever K of
// its files are lost or damaged and names what it rebuilt; a repair puts
// the very files back; more than K lost, or a damaged manifest, is refused.
#include "job_fixture.h"

#include "recovery_code.h"
#include "repair_job.h"
#include "verify_job.h"

namespace {

enum class Harm { kMissing, kFlipped, kCut, kForeign, kLastFlipped };
const Harm kHarms[] = {Harm::kMissing, Harm::kFlipped, Harm::kCut, Harm::kForeign};

// The set's file of row `row`: pieces 1 .. n, then recovery pieces r1 ...
std::string RowName(int row, int n) {
  return "s_bin." + (row < n ? std::to_string(row + 1) : "r" + std::to_string(row - n + 1));
}

void CopyFolder(const std::string& from, const std::string& to) {
  for (const std::string& name : ListDir(from)) WriteBytes(to + kPathSeparator + name, ReadBytes(from + kPathSeparator + name));
}

void Damage(const std::string& folder, const std::string& name, Harm harm, const std::string& foreignFolder) {
  const std::string path = folder + kPathSeparator + name;
  std::string bytes = ReadBytes(path);
  std::remove(path.c_str());
  if (harm == Harm::kFlipped) bytes[bytes.size() / 2] ^= 0x20;
  if (harm == Harm::kLastFlipped) bytes.back() ^= 0x20;
  if (harm == Harm::kCut) bytes.resize(bytes.size() / 2);
  if (harm == Harm::kForeign) bytes = ReadBytes(foreignFolder + kPathSeparator + name);
  if (harm != Harm::kMissing) WriteBytes(path, bytes);
}

// The join's last words: its warnings and its end.
Log Outcome(const Log& log) {
  Log outcome;
  for (const std::string& line : log) {
    if (line.compare(0, 5, "warn ") == 0 || line.compare(0, 8, "finished") == 0 || line.compare(0, 7, "stopped") == 0) {
      outcome.push_back(line);
    }
  }
  return outcome;
}

std::string LastProgress(const Log& log) {
  for (auto line = log.rbegin(); line != log.rend(); ++line) {
    if (line->compare(0, 9, "progress ") == 0) return *line;
  }
  return "no progress";
}

Log FolderBytes(const std::string& folder) {
  Log files;
  for (const std::string& name : ListDir(folder)) files.push_back(name + ":" + ReadBytes(folder + kPathSeparator + name));
  return files;
}

// What a check without joining says of a damaged set: "lost K".
struct RepairableNote : VerifyReport {
  void Checked(const std::string&, Verdict) override {}
  void Repairable(uint64_t lost, uint64_t rebuildable) override { said = std::to_string(lost) + " " + std::to_string(rebuildable); }
  std::string said = "nothing";
};

std::string VerifySays(const std::string& firstPiece) {
  RepairableNote note;
  PerformVerifyJob(VerifyRequest{firstPiece}, note);
  return note.said;
}

struct LossCase {
  int recovery;  // K of the set
  std::vector<std::pair<int, Harm>> rows;
};

// K = 1: every single file missing; K = 2: every pair, the harms in turn.
std::vector<LossCase> LossCases(int n) {
  std::vector<LossCase> cases;
  for (int row = 0; row < n + 1; ++row) cases.push_back({1, {{row, Harm::kMissing}}});
  int turn = 0;
  for (int a = 0; a < n + 2; ++a) {
    for (int b = a + 1; b < n + 2; ++b, ++turn) cases.push_back({2, {{a, kHarms[turn % 4]}, {b, kHarms[(turn + 1) % 4]}}});
  }
  // Damage past the end of the short last piece, which rebuilding it never
  // reads: only the damaged piece's own hash tells.
  cases.push_back({2, {{0, Harm::kLastFlipped}, {n - 1, Harm::kMissing}}});
  return cases;
}

TEST_F(JobTest, AnyKLostOrDamagedFilesAreRebuiltByTheJoinAndTheRepair) {
  // Four pieces of 2000 bytes and a shorter last one, which the code pads.
  const std::string source = PatternBytes(9001, 3);
  WriteBytes(In("s.bin"), source);
  WriteBytes(dir.Subdir("other") + kPathSeparator + "s.bin", PatternBytes(9001, 4));
  std::string sets[3], foreign = dir.Subdir("foreign");
  for (int k = 1; k <= 2; ++k) {
    SplitRequest request = BySize(2000);
    request.recoveryCount = static_cast<uint32_t>(k);
    sets[k] = dir.Subdir("k" + std::to_string(k));
    ASSERT_EQ(RunSplit(request, In("s.bin"), sets[k]).back(), "finished s.bin 5 9001 s_bin.1:2000 s_bin.5:1001");
  }
  SplitRequest other = BySize(2000);
  other.recoveryCount = 2;
  RunSplit(other, dir.path() + kPathSeparator + "other" + kPathSeparator + "s.bin", foreign);
  const char* const kNamedBy[] = {"s_bin.1", "s_bin.sha256", "s_bin.r1"};
  int turn = 0;
  for (const LossCase& loss : LossCases(5)) {
    TempDir scratch, target;
    CopyFolder(sets[loss.recovery], scratch.path());
    std::string lost, rebuilt;
    for (const auto& row : loss.rows) {
      Damage(scratch.path(), RowName(row.first, 5), row.second, foreign);
      lost += (lost.empty() ? "" : ", ") + RowName(row.first, 5);
      if (row.first < 5) rebuilt += (rebuilt.empty() ? "" : ", ") + RowName(row.first, 5);
    }
    SCOPED_TRACE("K=" + std::to_string(loss.recovery) + ", lost " + lost);
    Log expected;
    if (!rebuilt.empty()) expected.push_back("warn rebuilt " + rebuilt);
    expected.push_back("finished s.bin 5 9001 s_bin.1:0 s_bin.5:0");
    EXPECT_EQ(VerifySays(scratch.File("s_bin.1")), std::to_string(loss.rows.size()) + " " + std::to_string(loss.recovery));
    const std::string named = scratch.File(kNamedBy[turn++ % 3]);
    const Log joined = RunJoin(named, target.path());
    EXPECT_TRUE(Same(Outcome(joined), expected));
    EXPECT_TRUE(Same(FolderBytes(target.path()), {"s.bin:" + source}));
    EXPECT_EQ(LastProgress(joined), "progress 5 9001");
    // Every other case repaired too: a change of the set costs its syncs.
    if (turn % 2 == 1) continue;
    RecordingReport report;
    std::string repaired;
    EXPECT_EQ(PerformRepairJob(RepairRequest{named}, report, &repaired).end, JobEnd::kFinished);
    EXPECT_EQ(repaired, lost);
    EXPECT_TRUE(Same(FolderBytes(scratch.path()), FolderBytes(sets[loss.recovery]))) << "the very files back";
  }
  // One more than K: refused, naming every lost file and what could have
  // been rebuilt; also where one is missing and the others are found
  // damaged only as the missing one is rebuilt.
  TempDir scratch, target;
  for (Harm first : {Harm::kFlipped, Harm::kMissing}) {
    CopyFolder(sets[2], scratch.path());
    Damage(scratch.path(), RowName(0, 5), first, foreign);
    for (int row : {3, 6}) Damage(scratch.path(), RowName(row, 5), Harm::kFlipped, foreign);
    EXPECT_TRUE(Same(Outcome(RunJoin(scratch.File("s_bin.1"), target.path())),
                     {"stopped too-many-lost s_bin.1, s_bin.4, s_bin.r2 1"}));
    EXPECT_TRUE(Same(ListDir(target.path()), {})) << "nothing written";
    EXPECT_EQ(VerifySays(scratch.File("s_bin.1")), "3 2");
  }
  // A manifest whose line no longer matches its sound piece: nothing is rebuilt against it.
  CopyFolder(sets[2], scratch.path());
  std::string manifest = ReadBytes(scratch.File("s_bin.sha256"));
  char& digit = manifest[manifest.find('\n') + 3];  // of piece 2's hash
  digit = digit == '0' ? '1' : '0';
  std::remove(scratch.File("s_bin.sha256").c_str());
  WriteBytes(scratch.File("s_bin.sha256"), manifest);
  EXPECT_TRUE(Same(Outcome(RunJoin(scratch.File("s_bin.1"), target.path())),
                   {"stopped manifest-invalid " + scratch.File("s_bin.sha256") + " 0"}));
  EXPECT_TRUE(Same(ListDir(target.path()), {})) << "nothing written";
}

TEST_F(JobTest, KeywordSetsResplitsAndTheLimitOfRecoveryPieces) {
  // A keyword set whose last piece is empty: it and a full one rebuilt.
  WriteBytes(In("k.txt"), "aXbbXcccX");
  SplitRequest keyword = ByKeyword("X");
  keyword.recoveryCount = 2;
  RunSplit(keyword, In("k.txt"), out);
  EXPECT_TRUE(Same(PiecesIn(out, "k_txt"), {"aX", "bbX", "cccX", ""}));
  std::remove(Out("k_txt.4").c_str());
  std::remove(Out("k_txt.2").c_str());
  TempDir target;
  EXPECT_TRUE(Same(Outcome(RunJoin(Out("k_txt.1"), target.path())),
                   {"warn rebuilt k_txt.2, k_txt.4", "finished k.txt 4 9 k_txt.1:0 k_txt.4:0"}));
  EXPECT_EQ(ReadBytes(target.File("k.txt")), "aXbbXcccX");
  // The header: magic, version, code, N, K, index, reserved, the longest piece; then 40 bytes a piece and 64.
  const std::string header = std::string("DVRECOVR\1\0\0\0\1\0\0\0\4\0\0\0\2\0\0\0\2\0\0\0\0\0\0\0\4\0\0\0\0\0\0\0", 40);
  EXPECT_EQ(ReadBytes(Out("k_txt.r2")).substr(0, 40), header);
  // Then the code's row of the pieces, each padded with zeros to the longest.
  std::vector<std::string> rows;
  for (const std::string piece : {"aX", "bbX", "cccX", ""}) rows.push_back(piece + std::string(4 - piece.size(), '\0'));
  std::string coded[2] = {std::string(4, '\0'), std::string(4, '\0')};
  const unsigned char* data[4];
  for (int k = 0; k < 4; ++k) data[k] = reinterpret_cast<const unsigned char*>(rows[k].data());
  unsigned char* recovery[2] = {reinterpret_cast<unsigned char*>(&coded[0][0]), reinterpret_cast<unsigned char*>(&coded[1][0])};
  RecoveryCode code;
  ASSERT_TRUE(code.Init(4, 2));
  code.Encode(4, data, recovery);
  EXPECT_EQ(ReadBytes(Out("k_txt.r2")), ReadBytes(Out("k_txt.r2")).substr(0, 40 + 4 * 40 + 64) + coded[1]);
  EXPECT_EQ(ReadBytes(Out("k_txt.r2")).size(), 40u + 4 * 40 + 64 + 4);
  // A re-split with fewer recovery pieces leaves none of the old ones.
  keyword.recoveryCount = 1;
  RunSplit(keyword, In("k.txt"), out);
  EXPECT_TRUE(Same(ListDir(out), {"k_txt.1", "k_txt.2", "k_txt.3", "k_txt.4", "k_txt.r1", "k_txt.sha256"}));
  // More than 256 pieces and recovery pieces: refused before a byte is
  // written where the count is known, at the end with nothing named otherwise.
  TempDir empty;
  WriteBytes(In("p.bin"), PatternBytes(1000));
  SplitRequest count = ByCount(255);
  count.recoveryCount = 2;
  EXPECT_TRUE(Same(RunSplit(count, In("p.bin"), empty.path()), {"stopped recovery-too-many " + In("p.bin") + " 257"}));
  WriteBytes(In("many.txt"), std::string(300, 'X'));
  keyword.recoveryCount = 1;
  EXPECT_EQ(RunSplit(keyword, In("many.txt"), empty.path()).back(), "stopped recovery-too-many " + In("many.txt") + " 302");
  EXPECT_TRUE(Same(ListDir(empty.path()), {})) << "nothing written";
}

}  // namespace

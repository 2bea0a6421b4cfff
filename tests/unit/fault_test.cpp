// Real faults in a split or a join (see fault_links.h; writes that fail
// come from a file-size limit the kernel enforces). A run with a fault says
// exactly what stopped it, claims no success it did not have, leaves no
// partial, temporary or batch file, and keeps the source, earlier pieces
// and an existing file of the joined name.
#include <filesystem>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "fault_links.h"
#include "job_fixture.h"

namespace {

// Holds the process's file-size limit at `bytes` (none for 0) while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes) {
#ifndef _WIN32
    if (bytes == 0) return;
    std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    EXPECT_TRUE(set_);
#else
    (void)bytes;
#endif
  }
  ~FileSizeLimit() {
#ifndef _WIN32
    if (set_) setrlimit(RLIMIT_FSIZE, &saved_);
#endif
  }

 private:
#ifndef _WIN32
  rlimit saved_ = {};
  bool set_ = false;
#endif
};

// kLimit: files may not grow past `limit` bytes, so the write that would
// is refused (natively only: Windows has no such limit to set).
enum class Fault { kLimit, kMem, kSource, kDir, kFifo };

struct FaultRow {
  const char* name;
  bool join;
  SplitInput input;          // a split's; cuts: where it cuts without the fault
  std::vector<size_t> cuts;
  const char* at;            // the faulty path, below the scratch folder
  Fault fault;
  Log infos;                 // "%p": the faulty path
  size_t piecesBefore;       // split pieces written before the fault
  uint64_t limit = 0;
};

const std::vector<size_t> kSizeCuts{2048, 4096, 6144, 8192}, kKeywordCuts{1002, 2002, 3002, 4002},
    kCountCuts{2500, 5000, 7500}, kThirdsCuts{3333, 6666};
const SplitInput kBySize{Size, "2", true, true}, kByKeyword{Keyword, "--", false, true},
    kByCount{Pieces, "4", false, true}, kByThirds{Pieces, "3", false, true};

const FaultRow kFaults[] = {
#ifndef _WIN32
    {"size, first piece too large", false, kBySize, kSizeCuts, "out/data_txt.1", Fault::kLimit,
     {known::kPieceWriteFailed}, 0, 1000},
    {"pieces, last piece too large", false, kByThirds, kThirdsCuts, "out/data_txt.3", Fault::kLimit,
     {known::kPieceWriteFailed}, 2, 3333},
    {"keyword, first piece too large", false, kByKeyword, kKeywordCuts, "out/data_txt.1", Fault::kLimit,
     {known::kPieceWriteFailed}, 0, 500},
    {"keyword, last piece too large", false, kByKeyword, kKeywordCuts, "out/data_txt.5", Fault::kLimit,
     {known::kPieceWriteFailed}, 4, 2000},
    {"join output too large", true, {}, {}, "out/data.txt", Fault::kLimit, {known::kOutputWriteFailed}, 0, 300000},
#endif
    {"directory for the batch file", false, kByCount, kCountCuts, "out/JOIN.BAT", Fault::kDir,
     {known::kBatchFailed, known::kSplitFinished}, 4},
    {"piece 2 is the source", false, kByCount, kCountCuts, "out/data_txt.2", Fault::kSource,
     {known::kPieceIsSource}, 1},
    {"directory for piece 3", false, kBySize, kSizeCuts, "out/data_txt.3", Fault::kDir, {known::kPieceRenameFailed}, 2},
    {"join piece 2 unreadable", true, {}, {}, "in/data_txt.2", Fault::kMem, {known::kPieceReadFailed}, 0},
    {"directory for the join output", true, {}, {}, "out/data.txt", Fault::kDir, {known::kOutputRenameFailed}, 0},
#ifndef _WIN32  // a FIFO opened for reading waits for a writer; only POSIX has them
    {"source is a FIFO", false, kByCount, kCountCuts, "in/data.txt", Fault::kFifo, {}, 0},
    {"join piece 2 is a FIFO", true, {}, {}, "in/data_txt.2", Fault::kFifo, {known::kPieceOpenFailed}, 0},
#endif
};

bool MakeFault(Fault fault, const std::string& path, const std::string& source) {
  RemoveFile(path);
  switch (fault) {
    case Fault::kLimit: return true;
    case Fault::kMem: return fault::MakeHostSymlink("/proc/self/mem", path);
    case Fault::kSource: return fault::MakeHostSymlink(fault::HostPath(source), path);
    case Fault::kDir: return std::filesystem::create_directory(path);
    case Fault::kFifo: return fault::RunHostCommand("mkfifo '" + fault::HostPath(path) + "'");
  }
  return false;
}

TEST_F(DialogTest, FaultsStopTheJobWithoutLosingOrClaimingAnything) {
  std::string bytes(10000, 'x');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + (i * 13 + i / 7) % 26);
  for (size_t at : {1000, 2000, 3000, 4000}) bytes.replace(at, 2, "--");
  for (const FaultRow& row : kFaults) {
    SCOPED_TRACE(row.name);
    TempDir scratch;
    const std::string rin = scratch.Subdir("in"), rout = scratch.Subdir("out");
    const std::string source = rin + kPathSeparator + "data.txt";
    std::string path = scratch.File(row.at);
    for (char& c : path) c = c == '/' ? kPathSeparator : c;
    Log pieces;  // the set a join starts from, or the pieces a clean split writes
    if (row.join) {
      for (int k = 1; k <= 3; ++k) pieces.push_back(PatternBytes(204800 + 1000 * k, k));
      for (size_t k = 0; k < 3; ++k) WriteBytes(rin + kPathSeparator + "data_txt." + std::to_string(k + 1), pieces[k]);
    } else {
      WriteBytes(source, bytes);
      size_t from = 0;
      for (size_t cut : row.cuts) {
        pieces.push_back(bytes.substr(from, cut - from));
        from = cut;
      }
      pieces.push_back(bytes.substr(from));
    }
    if (!MakeFault(row.fault, path, source)) GTEST_SKIP() << "no host to make the fault";
    // A failed join must leave a file of the joined name as it was.
    const std::string earlier = rout + kPathSeparator + "data.txt";
    if (row.join && earlier != path) WriteBytes(earlier, "earlier bytes");

    {
      FileSizeLimit limit(row.limit);
      if (row.join) Join(rin + kPathSeparator + "data_txt.1", rout);
      if (!row.join) Split(source, row.input, rout);
    }
    Log infos;
    for (const std::string& text : row.infos) infos.push_back(Named(text, path));
    EXPECT_EQ(dialog.InfoBoxes(), infos);

    Log names, expectedNames;
    for (const std::string& name : ListDir(rout)) {
      if (rout + kPathSeparator + name != path) names.push_back(name);
    }
    if (row.join && earlier != path) expectedNames.push_back("data.txt");
    for (size_t k = 1; k <= row.piecesBefore; ++k) expectedNames.push_back("data_txt." + std::to_string(k));
    EXPECT_EQ(names, expectedNames) << "earlier pieces only: no partial file, no batch file";
    EXPECT_TRUE(!row.join || earlier == path || ReadBytes(earlier) == "earlier bytes");
    for (size_t k = 1; k <= (row.join ? 3 : row.piecesBefore); ++k) {
      std::string piece = (row.join ? rin : rout) + kPathSeparator + "data_txt." + std::to_string(k);
      EXPECT_TRUE(piece == path || ReadBytes(piece) == pieces[k - 1]) << "piece " << k;
    }
    EXPECT_TRUE(row.join || path == source || ReadBytes(source) == bytes) << "the source is untouched";
    fault::RemoveHostPath(path);
  }
}

TEST_F(DialogTest, TheBatchFileNeverReplacesTheSource) {
  WriteBytes(Out("JOIN.BAT"), "original");
  Split(Out("JOIN.BAT"), {Pieces, "2", false, true}, out);
  EXPECT_EQ(dialog.InfoBoxes(), (Log{Named(known::kBatchIsSource, Out("JOIN.BAT")), known::kSplitFinished}));
  EXPECT_EQ(ReadBytes(Out("JOIN.BAT")), "original");
  EXPECT_EQ(PiecesIn(out, "JOIN_BAT"), (Log{"orig", "inal"}));
}

}  // namespace

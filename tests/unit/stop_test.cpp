// Every cause a job can stop for, one row each, made for real: the report's
// last word names the kind, the path and the system's error code; nothing
// else is said after it; the source folder is untouched and the target
// holds what it held before, plus the named pieces where a row says so.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

#include "fault_links.h"
#include "job_fixture.h"
#include "stop_request.h"

namespace {

size_t gFailAllocationsFrom = SIZE_MAX;  // bytes; allocations this large fail while set

#ifdef _WIN32
// A failed read of /proc/self/mem is the host's EIO, which Wine gives as ERROR_NOT_READY.
constexpr SystemError kNoFile = ERROR_FILE_NOT_FOUND, kNoFolder = ERROR_PATH_NOT_FOUND,
                      kIsFolder = ERROR_ACCESS_DENIED, kBadRead = ERROR_NOT_READY;
#else
constexpr SystemError kNoFile = ENOENT, kNoFolder = ENOENT, kIsFolder = EISDIR, kBadRead = EIO;
#endif

enum class Fault {
  kNone,
  kMissing,       // nothing at `at`
  kEmpty,         // an empty file at `at`
  kFolder,        // a folder at `at`
  kFifo,          // a FIFO at `at`
  kLink,          // a link at `at` to the source, or to piece 2 of a join
  kMemLink,       // a link at `at` to /proc/self/mem, whose reads at offset 0 fail
  kSparse,        // a sparse file of 1 TiB at `at`, more than the disk holds
  kUnreadable,    // `at` made unreadable, out/ open to all, the job run by another user
  kReadOnly,      // the folder `at` made read-only, the job run by another user
  kSizeLimit,     // files may grow to `limit` bytes only
  kSmallDisk,     // out/ a disk of `limit` KiB, and of `at` inodes when given
  kStopBefore,    // a stop requested before the job starts
  kStopOn,        // a stop requested when the report says `at`
  kOldSetStopOn,  // kStopOn over out/'s set of in/data.txt, whose bytes then change (same size)
  kGrowOn,        // in/data_txt.2 grows by a byte when the report says `at`
  kShrinkOn,      // in/data_txt.2 loses a byte when the report says `at`
  kLowMemory,     // allocations of 100 KiB and more fail
};

// A split, or a join of in/data_txt.1..3.
struct Job {
  Job(SplitRequest request, bool isJoin = false) : split(std::move(request)), join(isJoin) {}
  SplitRequest split;
  bool join;
};
const Job kJoin(SplitRequest(), true);

struct StopRow {
  const char* name;
  Job job;
  Fault fault;
  const char* at;    // under the scratch folder
  StopKind kind;
  const char* path;
  SystemError code;
  size_t named = 0;  // pieces left named
  uint64_t limit = 0;
  const char* source = "";  // "": in/data.txt, or in/data_txt.1 for a join
  const char* target = "out";
};

const std::string kLongKeyword(kMaxKeywordBytes, 'z');

const StopRow kRows[] = {
    {"source missing", BySize(2048), Fault::kMissing, "in/data.txt", StopKind::kSourceOpen, "in/data.txt", kNoFile},
    {"source empty", BySize(2048), Fault::kEmpty, "in/data.txt", StopKind::kSourceEmpty, "in/data.txt", 0},
    {"source larger than the free space", BySize(2048), Fault::kSparse, "in/data.txt", StopKind::kNoFreeSpace, "out", 0},
    {"size 0", BySize(0), Fault::kNone, "", StopKind::kSizeZero, "in/data.txt", 0},
    {"count 0", ByCount(0), Fault::kNone, "", StopKind::kSizeZero, "in/data.txt", 0},
    {"size of the source", BySize(10000), Fault::kNone, "", StopKind::kSizeNotBelowSource, "in/data.txt", 0},
    {"size of 2^32 + 3", BySize(4294967299), Fault::kNone, "", StopKind::kSizeNotBelowSource, "in/data.txt", 0},
    {"count past the numbers", ByCount(1000000000), Fault::kNone, "", StopKind::kTooManyPieces, "in/data.txt", 0},
    {"count of 2^32 + 3", ByCount(4294967299), Fault::kNone, "", StopKind::kTooManyPieces, "in/data.txt", 0},
    {"keyword empty", ByKeyword(""), Fault::kNone, "", StopKind::kKeywordEmpty, "in/data.txt", 0},
    {"keyword too long", ByKeyword(kLongKeyword + "z"), Fault::kNone, "", StopKind::kKeywordTooLong, "in/data.txt", 0},
    {"keyword not found", ByKeyword(kLongKeyword), Fault::kNone, "", StopKind::kKeywordNotFound, "in/data.txt", 0},
    {"count of a stream", FromStream(ByCount(4), "data.txt"), Fault::kNone, "", StopKind::kCountOfStream, "data.txt", 0},
    {"stream unreadable", FromStream(BySize(2048), "data.txt"), Fault::kMemLink, "in/mem", StopKind::kSourceRead,
     "data.txt", kBadRead},
    {"piece 2 is the source", ByCount(4), Fault::kLink, "out/data_txt.2", StopKind::kPieceIsSource, "out/data_txt.2", 0},
    {"no target folder", BySize(2048), Fault::kNone, "", StopKind::kPieceCreate, "out/missing/data_txt.1", kNoFolder,
     0, 0, "", "out/missing"},
    {"a folder at piece 3", BySize(2048), Fault::kFolder, "out/data_txt.3", StopKind::kPieceRename, "out/data_txt.3",
     kIsFolder, 2},
    {"stopped before", BySize(2048), Fault::kStopBefore, "", StopKind::kInterrupted, "out/data_txt.1", 0},
    {"stopped after piece 2", ByCount(4), Fault::kStopOn, "progress 2", StopKind::kInterrupted, "out/data_txt.3", 0},
    {"stopped after piece 2 of a re-split: the old set stays whole", BySize(2048), Fault::kOldSetStopOn, "progress 2",
     StopKind::kInterrupted, "out/data_txt.3", 0},
    {"stopped before a keyword split", ByKeyword("--"), Fault::kStopBefore, "", StopKind::kInterrupted, "in/data.txt", 0},
    {"low memory for a keyword split", ByKeyword("--"), Fault::kLowMemory, "", StopKind::kLowMemory, "", 0},
    {"the batch file is the source", WithBatch(ByCount(2)), Fault::kNone, "", StopKind::kBatchIsSource, "out/JOIN.BAT",
     0, 2, 0, "out/JOIN.BAT"},
    {"a folder at the batch file", WithBatch(BySize(2048)), Fault::kFolder, "out/JOIN.BAT", StopKind::kBatchWrite,
     "out/JOIN.BAT", kIsFolder, 5},
    {"the script is the source", WithScript(ByCount(2)), Fault::kNone, "", StopKind::kScriptWrite, "out/join.sh", 0, 2,
     0, "out/join.sh"},
    {"a folder at the script", WithScript(BySize(2048)), Fault::kFolder, "out/join.sh", StopKind::kScriptWrite,
     "out/join.sh", kIsFolder, 5},
    {"join: not a first piece", kJoin, Fault::kNone, "", StopKind::kNotFirstPiece, "in/data_txt.2", 0, 0, 0,
     "in/data_txt.2"},
    {"join: first piece missing", kJoin, Fault::kMissing, "in/data_txt.1", StopKind::kFirstPieceMissing,
     "in/data_txt.1", 0},
    {"join: pieces larger than the free space", kJoin, Fault::kSparse, "in/data_txt.2", StopKind::kNoFreeSpace,
     "out", 0},
    {"join: the output is piece 2", kJoin, Fault::kLink, "out/data.txt", StopKind::kOutputIsPiece, "out/data.txt",
     0},
    {"join: no target folder", kJoin, Fault::kNone, "", StopKind::kOutputCreate, "out/missing/data.txt",
     kNoFolder, 0, 0, "", "out/missing"},
    {"join: a folder at the output", kJoin, Fault::kFolder, "out/data.txt", StopKind::kOutputRename,
     "out/data.txt", kIsFolder},
    {"join: piece 2 missing, 3 there", kJoin, Fault::kMissing, "in/data_txt.2", StopKind::kPieceMissing,
     "in/data_txt.2", 0},
    {"join: a folder at piece 2", kJoin, Fault::kFolder, "in/data_txt.2", StopKind::kPieceUnreadable, "in/data_txt.2", 0},
    {"join: piece 2 grows after it was counted", kJoin, Fault::kGrowOn, "progress 2", StopKind::kPieceChanged,
     "in/data_txt.2", 0},
    {"join: piece 2 shrinks after it was counted", kJoin, Fault::kShrinkOn, "progress 2", StopKind::kPieceChanged,
     "in/data_txt.2", 0},
    {"join: stopped at piece 2", kJoin, Fault::kStopOn, "progress 2", StopKind::kInterrupted, "out/data.txt", 0},
    {"join: low memory", kJoin, Fault::kLowMemory, "", StopKind::kLowMemory, "out/data.txt", 0},
#ifdef _WIN32
    {"source a device", BySize(2048), Fault::kNone, "", StopKind::kSourceNotRegular, "NUL", 0, 0, 0, "NUL"},
#else
    {"source unreadable", BySize(2048), Fault::kUnreadable, "in/data.txt", StopKind::kSourceOpen, "in/data.txt", EACCES},
    {"source a folder", BySize(2048), Fault::kNone, "", StopKind::kSourceNotRegular, "in", 0, 0, 0, "in"},
    {"source a FIFO", BySize(2048), Fault::kFifo, "in/data.txt", StopKind::kSourceNotRegular, "in/data.txt", 0},
    {"stream a folder", FromStream(BySize(2048), "data.txt"), Fault::kNone, "in", StopKind::kSourceRead, "data.txt",
     EISDIR},
    {"a name JOIN.BAT cannot hold", WithBatch(BySize(2048)), Fault::kNone, "", StopKind::kBatchNameInvalid, "a:b.txt",
     0, 0, 0, "in/a:b.txt"},
    {"free space not known", BySize(2048), Fault::kNone, "", StopKind::kNoFreeSpace, "in/data.txt/out", ENOTDIR, 0, 0,
     "", "in/data.txt/out"},
    {"target read-only", BySize(2048), Fault::kReadOnly, "out", StopKind::kPieceCreate, "out/data_txt.1", EACCES},
    {"out of inodes", ByCount(4), Fault::kSmallDisk, "3", StopKind::kPieceCreate, "out/data_txt.3", ENOSPC, 0, 64},
    {"disk full", BySize(2048), Fault::kSmallDisk, "", StopKind::kPieceWrite, "out/data_txt.5", ENOSPC, 0, 16},
    {"piece 1 too large", BySize(2048), Fault::kSizeLimit, "", StopKind::kPieceWrite, "out/data_txt.1", EFBIG, 0, 1000},
    {"last keyword piece too large", ByKeyword("--"), Fault::kSizeLimit, "", StopKind::kPieceWrite, "out/data_txt.5",
     EFBIG, 0, 2000},
    {"join: target read-only", kJoin, Fault::kReadOnly, "out", StopKind::kOutputCreate, "out/data.txt", EACCES},
    {"join: output too large", kJoin, Fault::kSizeLimit, "", StopKind::kOutputWrite, "out/data.txt", EFBIG, 0,
     300000},
    {"join: piece 2 a FIFO", kJoin, Fault::kFifo, "in/data_txt.2", StopKind::kPieceOpen, "in/data_txt.2", EINVAL},
    {"join: piece 2 not readable", kJoin, Fault::kUnreadable, "in/data_txt.2", StopKind::kPieceOpen,
     "in/data_txt.2", EACCES},
#endif
};

// Paths of in/ and out/ are under the scratch folder; others are names.
std::string Under(const TempDir& scratch, const std::string& path) {
  if (path.rfind("in", 0) != 0 && path.rfind("out", 0) != 0) return path;
  std::string full = scratch.File(path);
  for (char& c : full) c = c == '/' ? kPathSeparator : c;
  return full;
}

bool MakeFault(const StopRow& row, const TempDir& scratch) {
  const std::string at = Under(scratch, row.at), out = scratch.File("out");
  const std::string link = row.job.join ? "../in/data_txt.2" : "../in/data.txt";
  switch (row.fault) {
    case Fault::kMissing: return RemoveFile(at) == kNoError;
    case Fault::kEmpty: return WriteBytes(at, ""), true;
    case Fault::kFolder: return RemoveFile(at), std::filesystem::create_directory(at);
    case Fault::kFifo: return RemoveFile(at) == kNoError && fault::RunHostCommand("mkfifo '" + at + "'");
    case Fault::kLink: return fault::MakeHostSymlink(link, at);
    case Fault::kMemLink: return RemoveFile(at), fault::MakeHostSymlink("/proc/self/mem", at);
    case Fault::kSparse: return MakeSparse(at, uint64_t{1} << 40);
    case Fault::kUnreadable: return fault::RunHostCommand("chmod 000 '" + at + "' && chmod 777 '" + out + "'");
    case Fault::kReadOnly: return fault::RunHostCommand("chmod 555 '" + at + "'");
    case Fault::kOldSetStopOn: {
      const std::string source = Under(scratch, "in/data.txt"), bytes = ReadBytes(source);
      RunSplit(row.job.split, source, out);
      return WriteBytes(source, std::string(bytes.rbegin(), bytes.rend())), ListDir(out).size() == 5;
    }
    default: return true;
  }
}

#ifndef _WIN32

// Changes this (child) process the way the row needs: another user, a
// file-size limit, or a small disk of its own at out/.
bool PrepareChild(const StopRow& row, const std::string& out) {
  switch (row.fault) {
    case Fault::kUnreadable:
    case Fault::kReadOnly:
      return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
    case Fault::kSizeLimit: {
      std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
      const rlimit limit = {row.limit, row.limit};
      return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    case Fault::kSmallDisk: {
      std::string options = "size=" + std::to_string(row.limit) + "k";
      if (*row.at != '\0') options += std::string(",nr_inodes=") + row.at;
      return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
             mount("tmpfs", out.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    default:
      return false;
  }
}

// Runs the job in a child process prepared for the row: its report's lines,
// then "--", then what out/ held afterwards. False when the child could not
// be prepared (a small disk needs the right to mount).
bool RunInChild(const StopRow& row, const std::string& out, const std::function<Log()>& job, Log* log, Log* after) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    std::string text;
    if (PrepareChild(row, out)) {
      for (const std::string& line : job()) text += line + "\n";
      text += "--\n";
      for (const std::string& line : Snapshot(out)) text += line + "\n";
    }
    const bool sent = write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    _exit(sent && !text.empty() ? 0 : 1);
  }
  close(ends[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  Log* into = log;
  for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    const std::string line = text.substr(from, end - from);
    if (line == "--" && into == log) into = after;
    else into->push_back(line);
  }
  return true;
}

#endif

// The faults from kUnreadable to kSmallDisk change the process that runs the job.
bool InChild(Fault fault) { return fault >= Fault::kUnreadable && fault <= Fault::kSmallDisk; }

// The pieces of a clean size or count split.
Log Planned(const std::string& data, const SplitRequest& request) {
  const size_t size = request.method == Size ? request.pieceBytes : data.size() / request.pieceCount;
  std::vector<size_t> lengths(data.size() / size, size);
  if (request.method == Size && data.size() % size != 0) lengths.push_back(data.size() % size);
  if (request.method == Pieces) lengths.back() += data.size() % request.pieceCount;
  return Cut(data, lengths);
}

TEST(Stops, EachCauseIsToldWithItsPathAndCode) {
  std::string data(10000, 'x');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + (i * 13 + i / 7) % 26);
  for (size_t at : {1000, 2000, 3000, 4000}) data.replace(at, 2, "--");
  std::vector<std::string> notRun;
  for (const StopRow& row : kRows) {
    SCOPED_TRACE(row.name);
    TempDir scratch;
    const std::string in = scratch.Subdir("in"), out = scratch.Subdir("out");
    const std::string source = Under(scratch, *row.source ? row.source : row.job.join ? "in/data_txt.1" : "in/data.txt");
    for (int k = 1; row.job.join && k <= 3; ++k) {
      WriteBytes(in + kPathSeparator + "data_txt." + std::to_string(k), PatternBytes(204800 + 1000 * k, k));
    }
    if (!row.job.join) WriteBytes(source, data);
    const std::string at = Under(scratch, row.at);
    if (!MakeFault(row, scratch)) {
      notRun.push_back(row.name);
      continue;
    }
    const Log inBefore = Snapshot(in), outBefore = Snapshot(out);
    const std::string target = Under(scratch, row.target);

    RecordingReport report;
    if (row.fault == Fault::kStopOn || row.fault == Fault::kOldSetStopOn) {
      report.onLine = [&row](const std::string& line) { if (line.rfind(row.at, 0) == 0) RequestStop(); };
    }
    const bool resized = row.fault == Fault::kGrowOn || row.fault == Fault::kShrinkOn;
    if (resized) {
      const std::string piece = in + kPathSeparator + "data_txt.2";
      report.onLine = [&row, piece](const std::string& line) {
        if (line.rfind(row.at, 0) != 0) return;
        const std::string bytes = ReadBytes(piece);
        WriteBytes(piece, row.fault == Fault::kGrowOn ? bytes + "+" : bytes.substr(0, bytes.size() - 1));
      };
    }
    auto job = [&]() {
      if (row.fault == Fault::kStopBefore) RequestStop();
      if (row.fault == Fault::kLowMemory) gFailAllocationsFrom = 100 << 10;
      std::optional<RedirectedInput> input;
      if (row.job.split.fromStandardInput) input.emplace(*row.at ? at : source);
      const Log log = row.job.join ? RunJoin(source, target, report) : RunSplit(row.job.split, source, target, report);
      gFailAllocationsFrom = SIZE_MAX;
      ClearStopRequest();
      return log;
    };
    Log log, outAfter;
#ifndef _WIN32
    if (InChild(row.fault)) {
      if (!RunInChild(row, out, job, &log, &outAfter)) {
        notRun.push_back(row.name);
        continue;
      }
    }
#endif
    if (!InChild(row.fault)) log = job(), outAfter = Snapshot(out);

    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), StopLine(StopReason{row.kind, Under(scratch, row.path), row.code}));
    size_t endings = 0;
    for (const std::string& line : log) endings += line.rfind("stopped ", 0) == 0 || line.rfind("finished ", 0) == 0;
    EXPECT_EQ(endings, 1u) << "one last word";
    // Named pieces are whole (all of them after the stops that say so); nothing else in out/ changed.
    std::string stem = SourceFileName(source);
    ReplaceLastDot(stem);
    if (row.named > 0) {
      const Log planned = Planned(ReadBytes(source), row.job.split);
      EXPECT_TRUE(Same(PiecesIn(out, stem), Log(planned.begin(), planned.begin() + row.named)));
      EXPECT_EQ(PiecesAreWhole(row.kind), row.named == planned.size());
    }
    Log others;
    for (const std::string& line : outAfter) {
      const size_t number = line.rfind(stem + ".", 0) == 0 ? std::atoi(line.c_str() + stem.size() + 1) : 0;
      if (number == 0 || number > row.named) others.push_back(line);
    }
    EXPECT_TRUE(Same(others, outBefore)) << "out/ as it was";
    EXPECT_TRUE(resized || Same(Snapshot(in), inBefore)) << "in/ untouched";
    EXPECT_EQ(outAfter.size() - others.size(), row.named);
  }
  if (!notRun.empty()) GTEST_SKIP() << "rows this system cannot make: " << ::testing::PrintToString(notRun);
}

}  // namespace

// Every allocation of the test program passes here, so that one can fail on
// purpose. Blocks are taken and given back out of line, where the compiler
// cannot pair the two ends and take them for mismatched.
[[gnu::noinline]] void* TakeBlock(size_t size) { return std::malloc(size == 0 ? 1 : size); }
[[gnu::noinline]] void GiveBack(void* block) { std::free(block); }

void* operator new(size_t size) {
  void* block = size < gFailAllocationsFrom ? TakeBlock(size) : nullptr;
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept { GiveBack(block); }
void operator delete(void* block, size_t) noexcept { GiveBack(block); }

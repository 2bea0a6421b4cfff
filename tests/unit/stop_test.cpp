// Every cause a job can stop for, one row each, made for real: the report's last word names the kind, the path and the
// system's error code; nothing else is said after it; the source folder is untouched and the target holds what it held
// before, plus the named pieces where a row says so.
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
#include "slots.h"
#include "stop_request.h"

namespace {

size_t gFailAllocationsFrom = SIZE_MAX;  // bytes; allocations this large fail while set
FileSlot gHeldLock;                      // a lock of "another run"

#ifdef _WIN32
// A failed read of /proc/self/mem is the host's EIO, which Wine gives as ERROR_NOT_READY.
constexpr SystemError kNoFile = ERROR_FILE_NOT_FOUND, kNoFolder = ERROR_PATH_NOT_FOUND,
                      kIsFolder = ERROR_ACCESS_DENIED, kBadRead = ERROR_NOT_READY;
#else
constexpr SystemError kNoFile = ENOENT, kNoFolder = ENOENT, kIsFolder = EISDIR, kBadRead = EIO;
#endif

enum class F {
  kNone,
  kMissing,       // nothing at `at`
  kEmpty,         // an empty file at `at`
  kFolder,        // a folder at `at`
  kFifo,          // a FIFO at `at`
  kLink,          // a link at `at` to the source, or to piece 2 of a join
  kMemLink,       // a link at `at` to /proc/self/mem, whose reads at offset 0 fail
  kProcLink,      // a link at `at` to /proc/self/status, which counts 0 bytes and reads more
  kZeroLink,      // a link at `at` to /dev/zero
  kSparse,        // a sparse file of 1 TiB at `at`, more than the disk holds
  kUnreadable,    // `at` made unreadable, out/ open to all, the job run by another user
  kReadOnly,      // the folder `at` made read-only, the job run by another user
  kSizeLimit,     // files may grow to `limit` bytes only
  kSmallDisk,     // out/ a disk of `limit` KiB, and of `at` inodes when given
  kHugePieces,    // in/ a small disk whose pieces 2 and 3 are sparse files of 2^63 - 1 bytes
  kStopBefore,    // a stop requested before the job starts
  kStopOn,        // a stop requested when the report says `at`
  kOldSetStopOn,  // kStopOn over out/'s set of in/data.txt, whose bytes then change (same size)
  kOldSetFolder,  // kFolder beside out/'s set of in/data.txt, whose bytes then change (same size)
  kGrowOn,        // in/data_txt.2 (a split's source) grows by a byte when the report says `at`
  kShrinkOn,      // in/data_txt.2 (a split's source) loses a byte when the report says `at`
  kLowMemory,     // allocations of 100 KiB and more fail
  kLockHeld,      // the folder lock `at` held by another run; a stop requested once the job says it waits
  kLookUpFails,   // the look-up of a name fails with kBadRead, the `limit`th one
};

// A join of in/data_txt.1..3, told from a split by its stream name.
const SplitRequest kJoin = FromStream(SplitRequest(), "(a join)");
using K = StopKind;
using R = Role;
using O = Operation;
StopReason Kind(StopKind kind) { return StopReason(kind, std::string()); }
StopReason Failed(Role role, Operation operation) { return Failure(role, operation, std::string(), kNoError); }

struct StopRow {
  const char* name;
  SplitRequest split;  // or kJoin
  F fault;
  const char* at;    // under the scratch folder
  StopReason reason;  // with the path and code below
  const char* path;
  SystemError code;
  size_t named = 0;  // pieces left named
  uint64_t limit = 0;
  const char* source = "";  // "": in/data.txt, or in/data_txt.1 for a join
  const char* target = "out";
};

bool IsJoin(const StopRow& row) { return row.split.streamName == kJoin.streamName; }

const std::string kLongKeyword(kMaxKeywordBytes, 'z');

const StopRow kRows[] = {
    {"source missing", BySize(2048), F::kMissing, "in/data.txt", Failed(R::kSource, O::kOpen), "in/data.txt", kNoFile},
    {"source empty", BySize(2048), F::kEmpty, "in/data.txt", Kind(K::kSourceEmpty), "in/data.txt", 0},
    {"source larger than the free space", BySize(2048), F::kSparse, "in/data.txt", Kind(K::kNoFreeSpace), "out", 0},
    {"size 0", BySize(0), F::kNone, "", Kind(K::kSizeZero), "in/data.txt", 0},
    {"count 0", ByCount(0), F::kNone, "", Kind(K::kSizeZero), "in/data.txt", 0},
    {"size of the source", BySize(10000), F::kNone, "", Kind(K::kSizeNotBelowSource), "in/data.txt", 0},
    {"size of 2^32 + 3", BySize(4294967299), F::kNone, "", Kind(K::kSizeNotBelowSource), "in/data.txt", 0},
    {"count past the numbers", ByCount(1000000000), F::kNone, "", Kind(K::kTooManyPieces), "in/data.txt", 0},
    {"count of 2^32 + 3", ByCount(4294967299), F::kNone, "", Kind(K::kTooManyPieces), "in/data.txt", 0},
    {"keyword empty", ByKeyword(""), F::kNone, "", Kind(K::kKeywordEmpty), "in/data.txt", 0},
    {"keyword too long", ByKeyword(kLongKeyword + "z"), F::kNone, "", Kind(K::kKeywordTooLong), "in/data.txt", 0},
    {"keyword not found", ByKeyword(kLongKeyword), F::kNone, "", Kind(K::kKeywordNotFound), "in/data.txt", 0},
    {"count of a stream", FromStream(ByCount(4), "data.txt"), F::kNone, "", Kind(K::kCountOfStream), "data.txt", 0},
    {"stream unreadable", FromStream(BySize(2048), "data.txt"), F::kMemLink, "in/mem", Failed(R::kSource, O::kRead),
     "data.txt", kBadRead},
    {"piece 2 is the source", ByCount(4), F::kLink, "out/data_txt.2", Kind(K::kPieceIsSource), "out/data_txt.2", 0},
    {"no target folder", BySize(2048), F::kNone, "", Failed(R::kFolder, O::kList), "out/missing", kNoFolder,
     0, 0, "", "out/missing"},
    {"a folder at piece 3", BySize(2048), F::kFolder, "out/data_txt.3", Failed(R::kPiece, O::kRename), "out/data_txt.3",
     kIsFolder},
    {"stopped before", BySize(2048), F::kStopBefore, "", Kind(K::kInterrupted), "out/data_txt.1", 0},
    {"stopped after piece 2", ByCount(4), F::kStopOn, "progress 2", Kind(K::kInterrupted), "out/data_txt.3", 0},
    {"stopped after piece 2 of a re-split: the old set stays whole", BySize(2048), F::kOldSetStopOn, "progress 2",
     Kind(K::kInterrupted), "out/data_txt.3", 0},
    {"stopped before a keyword split", ByKeyword("--"), F::kStopBefore, "", Kind(K::kInterrupted), "in/data.txt", 0},
    {"low memory for a keyword split", ByKeyword("--"), F::kLowMemory, "", Kind(K::kLowMemory), "", 0},
    {"the batch file is the source", WithBatch(ByCount(2)), F::kNone, "", Kind(K::kBatchIsSource), "out/JOIN.BAT",
     0, 2, 0, "out/JOIN.BAT"},
    {"a folder at the batch file, over an older set: the old set back", WithBatch(BySize(2048)), F::kOldSetFolder,
     "out/JOIN.BAT", Failed(R::kBatch, O::kRename), "out/JOIN.BAT", kIsFolder},
    {"the script is the source", WithScript(ByCount(2)), F::kNone, "", Kind(K::kScriptIsSource), "out/join.sh", 0, 2,
     0, "out/join.sh"},
    {"a folder at the script", WithScript(BySize(2048)), F::kFolder, "out/join.sh", Failed(R::kScript, O::kRename),
     "out/join.sh", kIsFolder},
    {"join: not a first piece", kJoin, F::kNone, "", Kind(K::kNotFirstPiece), "in/data_txt.2", 0, 0, 0, "in/data_txt.2"},
    {"join: first piece missing", kJoin, F::kMissing, "in/data_txt.1", Kind(K::kFirstPieceMissing), "in/data_txt.1", 0},
    {"join: pieces larger than the free space", kJoin, F::kSparse, "in/data_txt.2", Kind(K::kNoFreeSpace), "out", 0},
    {"join: the output is piece 2", kJoin, F::kLink, "out/data.txt", Kind(K::kOutputIsPiece), "out/data.txt", 0},
    {"join: no target folder", kJoin, F::kNone, "", Failed(R::kOutput, O::kCreate), "out/missing/data.txt",
     kNoFolder, 0, 0, "", "out/missing"},
    {"join: a folder at the output", kJoin, F::kFolder, "out/data.txt", Failed(R::kOutput, O::kRename), "out/data.txt", kIsFolder},
    {"join: piece 2 missing, 3 there", kJoin, F::kMissing, "in/data_txt.2", Kind(K::kPieceMissing), "in/data_txt.2", 0},
    {"join: a folder at piece 2", kJoin, F::kFolder, "in/data_txt.2", Kind(K::kPieceUnreadable), "in/data_txt.2", 0},
    {"join: a folder at the checksum manifest", kJoin, F::kFolder, "in/data_txt.sha256", Kind(K::kManifestNotRegular),
     "in/data_txt.sha256", 0},
    {"join: piece 2 a link to /proc/self/mem", kJoin, F::kMemLink, "in/data_txt.2", Kind(K::kPieceEmpty), "in/data_txt.2", 0},
    {"join: piece 3 a link to a /proc file", kJoin, F::kProcLink, "in/data_txt.3", Kind(K::kPieceChanged), "in/data_txt.3", 0},
    {"join: piece 2 grows after it was counted", kJoin, F::kGrowOn, "progress 2", Kind(K::kPieceChanged), "in/data_txt.2", 0},
    {"join: piece 2 shrinks while the question waits", kJoin, F::kShrinkOn, "ask ", Kind(K::kSetChanged), "in/data_txt.1", 0},
    {"a folder at the folder lock", BySize(2048), F::kFolder, "out/~dv.lock.dvtmp", Kind(K::kLockNotAFile),
     "out/~dv.lock.dvtmp", 0},
    {"join: a folder at the folder lock", kJoin, F::kFolder, "in/~dv.lock.dvtmp", Kind(K::kLockNotAFile),
     "in/~dv.lock.dvtmp", 0},
    {"stopped while another run holds the folder lock", BySize(2048), F::kLockHeld, "out/~dv.lock.dvtmp",
     Kind(K::kInterrupted), "out/~dv.lock.dvtmp", 0},
    {"join: stopped at piece 2", kJoin, F::kStopOn, "progress 2", Kind(K::kInterrupted), "out/data.txt", 0},
    {"join: low memory", kJoin, F::kLowMemory, "", Kind(K::kLowMemory), "out/data.txt", 0},
    {"join: the pieces give back the name '.'", kJoin, F::kEmpty, "in/_.1", Kind(K::kNameNotPlain), ".", 0, 0, 0,
     "in/_.1"},
    {"join: piece 2 cannot be looked up", kJoin, F::kLookUpFails, "", Failed(R::kPiece, O::kLookUp), "in/data_txt.2",
     kBadRead, 0, 2},
#ifdef _WIN32
    {"source a device", BySize(2048), F::kNone, "", Kind(K::kSourceNotRegular), "NUL", 0, 0, 0, "NUL"},
#else
    {"source unreadable", BySize(2048), F::kUnreadable, "in/data.txt", Failed(R::kSource, O::kOpen), "in/data.txt", EACCES},
    {"source a folder", BySize(2048), F::kNone, "", Kind(K::kSourceNotRegular), "in", 0, 0, 0, "in"},
    {"source a FIFO", BySize(2048), F::kFifo, "in/data.txt", Kind(K::kSourceNotRegular), "in/data.txt", 0},
    // Windows keeps writers off a source while it is split.
    {"split: the source grows while it is read", BySize(2048), F::kGrowOn, "progress 2", Kind(K::kSourceChanged), "in/data.txt", 0},
    {"split: the source shrinks while it is read", BySize(3000), F::kShrinkOn, "progress 1", Kind(K::kSourceChanged), "in/data.txt", 0},
    {"stream a folder", FromStream(BySize(2048), "data.txt"), F::kNone, "in", Failed(R::kSource, O::kRead), "data.txt", EISDIR},
    {"a name JOIN.BAT cannot hold", WithBatch(BySize(2048)), F::kNone, "", Kind(K::kBatchNameInvalid), "a:b.txt",
     0, 0, 0, "in/a:b.txt"},
    {"free space not known", BySize(2048), F::kNone, "", Failed(R::kFolder, O::kStat), "in/data.txt/out", ENOTDIR, 0, 0,
     "", "in/data.txt/out"},
    {"target read-only", BySize(2048), F::kReadOnly, "out", Failed(R::kPiece, O::kCreate), "out/data_txt.1", EACCES},
    {"out of inodes", ByCount(4), F::kSmallDisk, "3", Failed(R::kPiece, O::kCreate), "out/data_txt.3", ENOSPC, 0, 64},
    {"disk full", BySize(2048), F::kSmallDisk, "", Failed(R::kPiece, O::kWrite), "out/data_txt.5", ENOSPC, 0, 16},
    {"piece 1 too large", BySize(2048), F::kSizeLimit, "", Failed(R::kPiece, O::kWrite), "out/data_txt.1", EFBIG, 0, 1000},
    {"last keyword piece too large", ByKeyword("--"), F::kSizeLimit, "", Failed(R::kPiece, O::kWrite), "out/data_txt.5",
     EFBIG, 0, 2000},
    {"join: target read-only", kJoin, F::kReadOnly, "out", Failed(R::kOutput, O::kCreate), "out/data.txt", EACCES},
    {"join: output too large", kJoin, F::kSizeLimit, "", Failed(R::kOutput, O::kWrite), "out/data.txt", EFBIG, 0, 300000},
    {"a link at the folder lock", BySize(2048), F::kLink, "out/~dv.lock.dvtmp", Kind(K::kLockNotAFile),
     "out/~dv.lock.dvtmp", 0},
    {"join: a FIFO at the folder lock", kJoin, F::kFifo, "in/~dv.lock.dvtmp", Kind(K::kLockNotAFile), "in/~dv.lock.dvtmp", 0},
    {"join: piece 2 a FIFO", kJoin, F::kFifo, "in/data_txt.2", Kind(K::kPieceNotRegular), "in/data_txt.2", 0},
    {"join: piece 3 a link to /dev/zero", kJoin, F::kZeroLink, "in/data_txt.3", Kind(K::kPieceNotRegular), "in/data_txt.3", 0},
    {"join: the checksum manifest a link to /dev/zero", kJoin, F::kZeroLink, "in/data_txt.sha256",
     Kind(K::kManifestNotRegular), "in/data_txt.sha256", 0},
    {"join: sizes past 2^64", kJoin, F::kHugePieces, "", Kind(K::kSizesOverflow), "in/data_txt.1", 0},
    {"join: piece 2 not readable", kJoin, F::kUnreadable, "in/data_txt.2", Failed(R::kPiece, O::kOpen), "in/data_txt.2", EACCES},
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
  const std::string link = IsJoin(row) ? "../in/data_txt.2" : "../in/data.txt";
  switch (row.fault) {
    case F::kMissing: return RemoveFile(at) == kNoError;
    case F::kEmpty: return WriteBytes(at, ""), true;
    case F::kFolder: return RemoveFile(at), std::filesystem::create_directory(at);
    case F::kFifo: return RemoveFile(at), fault::RunHostCommand("mkfifo '" + at + "'");
    case F::kLink: return fault::MakeHostSymlink(link, at);
    case F::kMemLink: return RemoveFile(at), fault::MakeHostSymlink("/proc/self/mem", at);
    case F::kProcLink: return RemoveFile(at), fault::MakeHostSymlink("/proc/self/status", at);
    case F::kZeroLink: return RemoveFile(at), fault::MakeHostSymlink("/dev/zero", at);
    case F::kSparse: return MakeSparse(at, uint64_t{1} << 40);
    case F::kLockHeld: {
      SystemError error = kNoError;
      return TryLockFile(at, LockMode::kExclusive, gHeldLock.Receive(), &error) == LockOutcome::kHeld;
    }
    case F::kUnreadable: return fault::RunHostCommand("chmod 000 '" + at + "' && chmod 777 '" + out + "'");
    case F::kReadOnly: return fault::RunHostCommand("chmod 555 '" + at + "'");
    case F::kOldSetStopOn:
    case F::kOldSetFolder: {
      const std::string source = Under(scratch, "in/data.txt"), bytes = ReadBytes(source);
      RunSplit(BySize(2048), source, out);
      WriteBytes(source, std::string(bytes.rbegin(), bytes.rend()));
      return ListDir(out).size() == 5 && (row.fault == F::kOldSetStopOn || std::filesystem::create_directory(at));
    }
    default: return true;
  }
}

#ifndef _WIN32

// Changes this (child) process the way the row needs: another user, a
// file-size limit, or a small disk of its own at out/.
bool PrepareChild(const StopRow& row, const std::string& out) {
  switch (row.fault) {
    case F::kUnreadable:
    case F::kReadOnly:
      return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
    case F::kSizeLimit: {
      std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
      const rlimit limit = {row.limit, row.limit};
      return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    case F::kSmallDisk: {
      std::string options = "size=" + std::to_string(row.limit) + "k";
      if (*row.at != '\0') options += std::string(",nr_inodes=") + row.at;
      return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
             mount("tmpfs", out.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    case F::kHugePieces: {
      const std::string in = out.substr(0, out.size() - 3) + "in", piece = in + "/data_txt.";
      return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
             mount("tmpfs", in.c_str(), "tmpfs", 0, "size=1m") == 0 && MakeSparse(piece + "1", 1000) &&
             MakeSparse(piece + "2", INT64_MAX) && MakeSparse(piece + "3", INT64_MAX);
    }
    default:
      return false;
  }
}

// Runs the job in a child process prepared for the row: its report's lines, then what out/ held afterwards,
// each after "--". False when the child could not be prepared (a small disk needs the right to mount).
bool RunInChild(const StopRow& row, const std::string& out, const std::function<Log()>& job, Log* log, Log* after) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    std::string text;
    for (const std::string& line : PrepareChild(row, out) ? job() : Log{}) text += line + "\n";
    for (const std::string& line : text.empty() ? Log{} : Snapshot(out)) text += "--" + line + "\n";
    _exit(write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) && !text.empty() ? 0 : 1);
  }
  close(ends[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    const std::string line = text.substr(from, end - from);
    if (line.rfind("--", 0) == 0) after->push_back(line.substr(2));
    else log->push_back(line);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif

// The faults from kUnreadable to kHugePieces change the process that runs the job.
bool InChild(F fault) { return fault >= F::kUnreadable && fault <= F::kHugePieces; }

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
    const std::string source = Under(scratch, *row.source ? row.source : IsJoin(row) ? "in/data_txt.1" : "in/data.txt");
    for (int k = 1; IsJoin(row) && k <= 3; ++k) {
      WriteBytes(in + kPathSeparator + "data_txt." + std::to_string(k), PatternBytes(204800 + 1000 * k, k));
    }
    if (!IsJoin(row)) WriteBytes(source, data);
    const std::string at = Under(scratch, row.at);
    if (!MakeFault(row, scratch)) {
      notRun.push_back(row.name);
      continue;
    }
    const Log inBefore = Snapshot(in), outBefore = Snapshot(out);
    const std::string target = Under(scratch, row.target);

    RecordingReport report;
    if (row.fault == F::kStopOn || row.fault == F::kOldSetStopOn) {
      report.onLine = [&row](const std::string& line) { if (line.rfind(row.at, 0) == 0) RequestStop(); };
    }
    if (row.fault == F::kLockHeld) {
      report.onLine = [](const std::string& line) { if (line.rfind("warn waiting ", 0) == 0) RequestStop(); };
    }
    const bool resized = row.fault == F::kGrowOn || row.fault == F::kShrinkOn;
    if (resized) {
      const std::string piece = IsJoin(row) ? in + kPathSeparator + "data_txt.2" : source;
      report.onLine = [&row, piece](const std::string& line) {
        if (line.rfind(row.at, 0) != 0) return;
        const std::string bytes = ReadBytes(piece);
        WriteBytes(piece, row.fault == F::kGrowOn ? bytes + "+" : bytes.substr(0, bytes.size() - 1));
      };
    }
    auto job = [&]() {
      if (row.fault == F::kStopBefore) RequestStop();
      if (row.fault == F::kLowMemory) gFailAllocationsFrom = 100 << 10;
      if (row.fault == F::kLookUpFails) SetFaultPlan(FaultPlan{FaultCall::kLookUp, row.limit, kBadRead, false, false});
      std::optional<RedirectedInput> input;
      if (row.split.fromStandardInput && !IsJoin(row)) input.emplace(*row.at ? at : source);
      const Log log = IsJoin(row) ? RunJoin(source, target, report) : RunSplit(row.split, source, target, report);
      gFailAllocationsFrom = SIZE_MAX;
      ClearFaultPlan();
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
    gHeldLock.Release();

    ASSERT_FALSE(log.empty());
    StopReason expected = row.reason;
    expected.path = Under(scratch, row.path);
    expected.code = row.code;
    EXPECT_EQ(log.back(), StopLine(expected));
    const bool checkOfPieces = row.reason.kind == K::kPieceNotRegular || row.reason.kind == K::kPieceEmpty;
    EXPECT_TRUE(!checkOfPieces || log.size() == 1) << "refused before the question";
    size_t endings = 0;
    for (const std::string& line : log) endings += line.rfind("stopped ", 0) == 0 || line.rfind("finished ", 0) == 0;
    EXPECT_EQ(endings, 1u) << "one last word";
    // The lock is looked at before a question is asked or a piece written; a wait for it is told once.
    if (row.reason.kind == K::kLockNotAFile || row.fault == F::kLockHeld) {
      EXPECT_EQ(log.size(), 1u + (row.fault == F::kLockHeld));
    }
    // Named pieces are whole (all of them after the stops that say so); nothing else in out/ changed.
    std::string stem = SourceFileName(source);
    ReplaceLastDot(stem);
    if (row.named > 0) {
      const Log planned = Planned(ReadBytes(source), row.split);
      EXPECT_TRUE(Same(PiecesIn(out, stem), Log(planned.begin(), planned.begin() + row.named)));
      EXPECT_EQ(PiecesAreWhole(row.reason), row.named == planned.size());
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

// Every allocation of the test program passes here, so that one can fail on purpose. Blocks are taken and given back
// out of line, where the compiler cannot pair the two ends and take them for mismatched.
[[gnu::noinline]] void* TakeBlock(size_t size) { return std::malloc(size == 0 ? 1 : size); }
[[gnu::noinline]] void GiveBack(void* block) { std::free(block); }

void* operator new(size_t size) {
  void* block = size < gFailAllocationsFrom ? TakeBlock(size) : nullptr;
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return size < gFailAllocationsFrom ? TakeBlock(size) : nullptr;
}
void operator delete(void* block) noexcept { GiveBack(block); }
void operator delete(void* block, size_t) noexcept { GiveBack(block); }

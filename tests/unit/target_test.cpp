// What stands in the target folder never leads a split or a join astray: a piece left by an earlier split is told of, a
// link at a piece's or the output's name is replaced and never followed, files of other runs (at ".dvtmp" names) stay
// as they were, and the source folder is untouched.
#include <chrono>

#include "fault_links.h"
#include "folder_lock.h"
#include "job_fixture.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#endif

namespace {

struct TargetRow {
  const char* name;
  bool join;  // else: in/r.bin ("abcdef") split into 2 pieces
  std::vector<std::pair<std::string, std::string>> before;  // made first; "->x": a link to x
  std::string warned;  // a stale piece the split tells of, under the scratch folder
  Log after;           // what out/ then holds, "name=bytes"
};

const TargetRow kRows[] = {
    {"pieces of an earlier split", false, {{"out/r_bin.1", std::string(50000, 'x')}, {"out/r_bin.3", "old"}},
     "out/r_bin.3", {"r_bin.1=abc", "r_bin.2=def", "r_bin.3=old"}},
    {"a link at a piece's name", false, {{"out/r_bin.2", "->r_bin.1"}}, "", {"r_bin.1=abc", "r_bin.2=def"}},
    {"a link at a piece's name to a file elsewhere", false, {{"in/keep", "keep"}, {"out/r_bin.1", "->../in/keep"}},
     "", {"r_bin.1=abc", "r_bin.2=def"}},
    {"files of another run", false, {{"out/r_bin.2.dvtmp", "other"}, {"out/~dv1-1a.1.dvtmp", "->../in/r.bin"}}, "",
     {"r_bin.1=abc", "r_bin.2=def", "r_bin.2.dvtmp=other", "~dv1-1a.1.dvtmp=abcdef"}},
    {"a temporary file left beside the pieces", true, {{"in/r_bin.3.dvtmp", "x"}}, "", {"r.bin=abcdef"}},
    {"files of another run in the join's target", true,
     {{"out/r.bin.dvtmp", "other"}, {"out/~dv1-1a.out.dvtmp", "->../in/r_bin.1"}}, "",
     {"r.bin=abcdef", "r.bin.dvtmp=other", "~dv1-1a.out.dvtmp=abc"}},
    {"a link at the output's name to a file elsewhere", true, {{"in/keep", "keep"}, {"out/r.bin", "->../in/keep"}},
     "", {"r.bin=abcdef"}},
};

TEST(Target, WhatStandsThereLeadsNothingAstray) {
  for (const TargetRow& row : kRows) {
    SCOPED_TRACE(row.name);
    TempDir scratch;
    const std::string in = scratch.Subdir("in"), out = scratch.Subdir("out");
    if (row.join) WriteBytes(in + kPathSeparator + "r_bin.1", "abc"), WriteBytes(in + kPathSeparator + "r_bin.2", "def");
    if (!row.join) WriteBytes(in + kPathSeparator + "r.bin", "abcdef");
    for (const auto& file : row.before) {
      std::string path = scratch.File(file.first);
      for (char& c : path) c = c == '/' ? kPathSeparator : c;
      if (file.second.rfind("->", 0) == 0) {
        ASSERT_TRUE(fault::MakeHostSymlink(file.second.substr(2), path));
      } else {
        WriteBytes(path, file.second);
      }
    }
    const Log source = Snapshot(in);
    const Log log = row.join ? RunJoin(in + kPathSeparator + "r_bin.1", out)
                             : RunSplit(ByCount(2), in + kPathSeparator + "r.bin", out);
    Log said;
    if (!row.warned.empty()) said.push_back("warn stale " + out + kPathSeparator + row.warned.substr(4));
    said.push_back(row.join ? "finished r.bin 2 6 r_bin.1:0 r_bin.2:0" : "finished r.bin 2 6 r_bin.1:3 r_bin.2:3");
    EXPECT_TRUE(Same(Log(log.end() - std::min(log.size(), said.size()), log.end()), said));
    Log after;
    for (const std::string& name : ListDir(out)) after.push_back(name + "=" + ReadBytes(out + kPathSeparator + name));
    EXPECT_TRUE(Same(after, row.after));
    EXPECT_TRUE(Same(Snapshot(in), source)) << "the source folder is untouched";
  }
}

#ifndef _WIN32
// Two processes split different sources of one name into one folder at once: each finishes, or stops with a
// reason; the set left is whole and one finisher's source to the byte, and no temporary file stays.
TEST(Target, TwoRunsAtOnceKeepToTheirOwnFiles) {
  for (int round = 0; round < 3; ++round) {
    TempDir scratch;
    const std::string out = scratch.Subdir("out");
    std::string sources[2], paths[2];
    for (int k = 0; k < 2; ++k) {
      sources[k] = PatternBytes(4 << 20, static_cast<uint32_t>(2 * round + k + 1));
      WriteBytes(paths[k] = scratch.Subdir(std::to_string(k)) + "/data.bin", sources[k]);
    }
    // Both start when the gate closes.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    pid_t runs[2];
    for (int k = 0; k < 2; ++k) {
      if ((runs[k] = fork()) != 0) continue;
      char byte;
      close(gate[1]);
      if (read(gate[0], &byte, 1) != 0) _exit(2);
      const std::string end = RunSplit(BySize(16384), paths[k], out).back();
      _exit(end.rfind("finished ", 0) == 0 ? 0 : end.rfind("stopped ", 0) == 0 ? 1 : 2);  // 1: with a reason
    }
    close(gate[0]), close(gate[1]);
    bool finished[2] = {false, false};
    for (int k = 0; k < 2; ++k) {
      int status = -1;
      ASSERT_EQ(waitpid(runs[k], &status, 0), runs[k]);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << status;
      finished[k] = WEXITSTATUS(status) == 0;
    }
    std::string set;
    for (const std::string& piece : PiecesIn(out, "data_bin")) set += piece;
    SCOPED_TRACE("round " + std::to_string(round) + ", finished: " + std::to_string(finished[0]) + std::to_string(finished[1]));
    EXPECT_TRUE((finished[0] && set == sources[0]) || (finished[1] && set == sources[1]) || (!finished[0] && !finished[1]));
    EXPECT_EQ(ListDir(out).size(), finished[0] || finished[1] ? 256u : 0u);
  }
}

// A join started while a re-split of its set writes its pieces, or is about to give them their names, joins the old
// set or the new one, whole. Half-way, the join lets the re-split go on for a while: a commit there that is not kept
// waiting would leave it half old, half new.
TEST(Target, AJoinTakesItsTurnWithAResplit) {
  for (const char* start : {"start ", "progress 32 ", "progress 64 "}) {
    TempDir scratch;
    const std::string out = scratch.Subdir("out"), joined = scratch.Subdir("j"), source = scratch.File("data.bin");
    const std::string sets[2] = {PatternBytes(1 << 20, 1), PatternBytes(1 << 20, 2)};
    WriteBytes(source, sets[0]);
    RunSplit(BySize(16384), source, out);
    WriteBytes(source, sets[1]);
    int gate[2];  // a byte when the join may start, another when the re-split has ended
    ASSERT_EQ(pipe(gate), 0);
    const pid_t resplit = fork();
    if (resplit == 0) {
      RecordingReport report;
      report.onLine = [&](const std::string& line) { if (line.rfind(start, 0) == 0) (void)!write(gate[1], "g", 1); };
      const bool finished = RunSplit(BySize(16384), source, out, report).back().rfind("finished ", 0) == 0;
      _exit(finished && write(gate[1], "e", 1) == 1 ? 0 : 1);
    }
    char byte;
    ASSERT_EQ(read(gate[0], &byte, 1), 1);
    RecordingReport slow;
    slow.onLine = [&gate](const std::string& line) {
      pollfd ended = {gate[0], POLLIN, 0};
      if (line.rfind("progress 32 ", 0) == 0) poll(&ended, 1, 1500);
    };
    const Log log = RunJoin(out + "/data_bin.1", joined, slow);
    int status = -1;
    ASSERT_EQ(waitpid(resplit, &status, 0), resplit);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(gate[0]), close(gate[1]);
    const std::string result = ReadBytes(joined + "/data.bin");
    SCOPED_TRACE(std::string("join from ") + start + ": " + log.back());
    EXPECT_TRUE(result == sets[0] || result == sets[1]);
  }
}

// The folder lock: joins hold it together, a run that gives a set its names alone. A run kept waiting says so after
// a second, not before; the lock's file stays while another run holds it, and the last to let go removes it.
TEST(Target, RunsTakeTheFolderLockInTurn) {
  using M = LockMode;
  struct Row { M held, wanted; useconds_t holding; bool waits, told; };
  const Row rows[] = {{M::kShared, M::kShared, 1600000, false, false},
                      {M::kShared, M::kExclusive, 1600000, true, true},
                      {M::kExclusive, M::kShared, 1600000, true, true},
                      {M::kExclusive, M::kExclusive, 500000, true, false}};
  for (const Row& row : rows) {
    TempDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
      RecordingReport quiet;
      FolderLock lock(quiet);
      StopReason stop;
      if (!lock.Take(dir.path(), row.held, &stop) || write(ready[1], "x", 1) != 1) _exit(1);
      usleep(row.holding);
      lock.Release();
      _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]), close(ready[1]);
    RecordingReport report;
    FolderLock lock(report);
    StopReason stop;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(lock.Take(dir.path(), row.wanted, &stop));
    EXPECT_EQ(std::chrono::steady_clock::now() - start > std::chrono::milliseconds(100), row.waits);
    EXPECT_EQ(report.log, row.told ? Log{"warn waiting " + dir.File("~dv.lock.dvtmp")} : Log{});
    lock.Release();
    EXPECT_EQ(FileExists(dir.File("~dv.lock.dvtmp")), !row.waits);
    int status = -1;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(ListDir(dir.path()).empty());
  }
}

// A split of 10 pieces with its manifest, JOIN.BAT and join.sh, over an older set of that name or into an empty
// folder, failed or killed at every call of a kind: the folder then holds the old set or the new one, byte for byte;
// a failure names its cause (EIO), and the run after a kill says which set it restored.
enum class Blow { kError, kErrorNotPutBack, kKill, kKillInRecovery };
struct CommitRow {
  const char* name;
  bool sums;   // with the manifest (whose hashed copy costs more): else JOIN.BAT and join.sh only
  bool older;  // an older set of the same name stands in out/
  FaultCall call;
  Blow blow;
};
const CommitRow kCommitRows[] = {
    {"renames fail over an older set", true, true, FaultCall::kRename, Blow::kError},
    {"renames fail into an empty folder", false, false, FaultCall::kRename, Blow::kError},
    {"renames fail, and so does putting the old set back", false, true, FaultCall::kRename, Blow::kErrorNotPutBack},
    {"writes fail", false, true, FaultCall::kWrite, Blow::kError},
    {"creates fail", false, true, FaultCall::kCreate, Blow::kError},
    {"syncs fail", false, true, FaultCall::kSync, Blow::kError},
    {"killed at a rename over an older set", false, true, FaultCall::kRename, Blow::kKill},
    {"killed at a rename into an empty folder", false, false, FaultCall::kRename, Blow::kKill},
    {"killed at a removal over an older set", false, true, FaultCall::kRemove, Blow::kKill},
    {"killed at a rename, the recovery killed at its first", false, true, FaultCall::kRename, Blow::kKillInRecovery},
};

SplitRequest WholeSet(bool sums) {
  SplitRequest request = WithScript(WithBatch(ByCount(10)));
  request.writeChecksums = sums;
  return request;
}

// Runs job in a child process under the plan; true when the plan ended it there.
bool KilledAt(const FaultPlan& plan, const std::function<void()>& job) {
  const pid_t child = fork();
  if (child == 0) SetFaultPlan(plan), job(), _exit(0);
  int status = -1;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 9;
}

// What a folder holds but the lock, which a killed run leaves behind.
Log SetIn(const std::string& dir) {
  Log held = Snapshot(dir);
  held.erase(std::remove_if(held.begin(), held.end(), [](const std::string& line) { return line.rfind("~dv.lock.", 0) == 0; }),
             held.end());
  return held;
}

TEST(Target, ACommitIsAllOrNothingAtEveryCall) {
  const std::string oldBytes = PatternBytes(30000, 7), newBytes = PatternBytes(30001, 8);
  for (const CommitRow& row : kCommitRows) {
    TempDir reference;
    const std::string refOld = reference.Subdir("old"), refNew = reference.Subdir("new");
    WriteBytes(reference.File("data.bin"), oldBytes);
    RunSplit(WholeSet(row.sums), reference.File("data.bin"), refOld);
    WriteBytes(reference.File("data.bin"), newBytes);
    RunSplit(WholeSet(row.sums), reference.File("data.bin"), refNew);
    const Log newSet = Snapshot(refNew);
    for (uint64_t n = 1;; ++n) {
      SCOPED_TRACE(std::string(row.name) + ", call " + std::to_string(n));
      TempDir scratch;
      const std::string in = scratch.Subdir("in"), out = scratch.Subdir("out"), joined = scratch.Subdir("joined");
      const std::string source = in + "/data.bin", stem = out + "/data_bin";
      WriteBytes(source, newBytes);
      for (const std::string& name : row.older ? ListDir(refOld) : Log()) {
        WriteBytes(out + "/" + name, ReadBytes(refOld + "/" + name));
      }
      const Log before = Snapshot(out);
      // A copy the kernel refused is tried again through the buffer: a write fault stays, as a full disk does.
      const bool persist = row.blow == Blow::kErrorNotPutBack || (row.call == FaultCall::kWrite && row.blow == Blow::kError);
      const FaultPlan plan{row.call, n, EIO, persist, row.blow >= Blow::kKill};
      Log log;
      bool hit = false;
      if (row.blow >= Blow::kKill) {
        hit = KilledAt(plan, [&] { RunSplit(WholeSet(row.sums), source, out); });
      } else {
        SetFaultPlan(plan);
        log = RunSplit(WholeSet(row.sums), source, out);
        hit = FaultCallsSeen() >= n;
        ClearFaultPlan();
      }
      if (!hit) {  // past the last call of the kind: the split is done
        EXPECT_TRUE(Same(Snapshot(out), newSet));
        break;
      }
      if (row.blow < Blow::kKill) {
        ASSERT_EQ(log.back().rfind("stopped ", 0), 0u);
        const size_t code = log.back().find(' ', log.back().find(out)) + 1;
        EXPECT_EQ(log.back().substr(code, log.back().find(' ', code) - code), std::to_string(EIO)) << log.back();
        const bool left = log.back().find(" not-put-back ") != std::string::npos;
        EXPECT_EQ(FileExists(stem + ".dvjournal"), left);
        // The record left makes the next run put the old set back.
        if (left) {
          EXPECT_EQ(RunJoin(stem + ".1", joined).front(), "warn undone " + stem);
          EXPECT_EQ(ReadBytes(joined + "/data.bin"), oldBytes);
        }
        EXPECT_TRUE(Same(Snapshot(out), before));
        continue;
      }
      if (row.blow == Blow::kKillInRecovery) KilledAt({FaultCall::kRename, 1, 0, false, true}, [&] { RunJoin(stem + ".1", joined); });
      // The next run is a join or a split, in turn; a kill at a removal comes after the last rename.
      const bool byJoin = n % 2 == 1 || row.blow == Blow::kKillInRecovery, forward = row.call == FaultCall::kRemove;
      const bool recorded = FileExists(stem + ".dvjournal");
      const Log next = byJoin ? RunJoin(stem + ".1", joined) : RunSplit(WholeSet(row.sums), source, out);
      const std::string said = std::string("warn ") + (forward ? "finished " : "undone ") + stem;
      EXPECT_EQ(std::count(next.begin(), next.end(), said), recorded ? 1 : 0);
      EXPECT_TRUE(Same(SetIn(out), byJoin && !forward ? before : newSet));
      if (byJoin && (row.older || forward)) {
        EXPECT_EQ(ReadBytes(joined + "/data.bin"), forward ? newBytes : oldBytes);
      }
    }
  }
}

// Thousands of pieces: the record of the change is written a block at a time and the pieces' identities come from the
// folder's listing. Killed halfway through the renames, the next run reads the record back whole and undoes it all.
TEST(Target, ALongRecordIsReadBackWhole) {
  TempDir scratch;
  const std::string in = scratch.Subdir("in"), out = scratch.Subdir("out"), joined = scratch.Subdir("joined");
  const std::string source = in + "/data.bin", stem = out + "/data_bin";
  WriteBytes(source, PatternBytes(9000, 3));
  ASSERT_TRUE(KilledAt({FaultCall::kRename, 2000, 0, false, true}, [&] { RunSplit(ByCount(3000), source, out); }));
  ASSERT_GT(ReadBytes(stem + ".dvjournal").size(), size_t{65536});
  EXPECT_EQ(ListDir(out).size(), 3002u);  // 1,999 pieces named, 1,001 not, the record and the lock
  const Log next = RunJoin(stem + ".1", joined);
  EXPECT_EQ(next.front(), "warn undone " + stem);
  EXPECT_EQ(SetIn(out), Log{});
}

// Another split of the same name gives the folder its set while this one writes its pieces: this one stops with its
// reason and leaves that set whole, whichever of the two has more pieces.
TEST(Target, AnotherRunsSetIsLeftWhole) {
  for (const auto& counts : {std::make_pair(5, 3), std::make_pair(3, 5)}) {
    TempDir scratch;
    const std::string out = scratch.Subdir("out"), mine = scratch.Subdir("a") + "/data.bin",
                      other = scratch.Subdir("b") + "/data.bin";
    WriteBytes(mine, PatternBytes(9000, 1)), WriteBytes(other, PatternBytes(9000, 2));
    RecordingReport report;
    Log otherLog;
    report.onLine = [&](const std::string& line) {
      if (line.rfind("progress 1 ", 0) == 0) otherLog = RunSplit(ByCount(counts.second), other, out);
    };
    const Log log = RunSplit(ByCount(counts.first), mine, out, report);
    ASSERT_FALSE(otherLog.empty());
    EXPECT_EQ(otherLog.back().rfind("finished ", 0), 0u);
    EXPECT_EQ(log.back(), "stopped other-runs-set " + out + "/data_bin.1 0");
    EXPECT_EQ(ListDir(out).size(), static_cast<size_t>(counts.second));
    std::string set;
    for (const std::string& piece : PiecesIn(out, "data_bin")) set += piece;
    EXPECT_EQ(set, PatternBytes(9000, 2));
  }
}
#endif

}  // namespace

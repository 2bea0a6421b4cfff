// dorvenal-cli run as a program: exit codes, what it prints where, the files it leaves, real faults, and
// its pieces held against the dialog's own split of the same source.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli_options.h"
#include "dialog_entries.h"
#include "fake_dialog.h"
#include "known_sets.h"
#include "resource_ids.h"
#include "session_state.h"
#include "test_files.h"

namespace {

using Args = std::vector<std::string>;
struct CliRun { int code; std::string out, err; };

// Every "@" in a text stands for the test's folder.
std::string At(std::string text, const std::string& dir) {
  for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir);
  return text;
}

// Runs in `cwd` (or elsewhere when empty), "@" standing for `dir`. Standard input: "" /dev/null, "|" a pipe
// that stays open and empty, "tty" a terminal (standard error too) with nothing typed, "limit" /dev/null
// under a file size limit of 1 KiB, "full out" /dev/null with standard output on /dev/full, else what is
// typed on a terminal. A run that hangs is ended after 30 s (124).
CliRun Cli(const Args& args, const std::string& dir, const std::string& input, const std::string& cwd) {
  TempDir streams;
  std::string line = "cd '" + (cwd.empty() ? streams.path() : cwd) + "' && trap '' XFSZ && " +
                     (input == "limit" ? "ulimit -f 2 && " : "") + "timeout --foreground 30 " DORVENAL_CLI_PATH;
  for (std::string arg : args) {
    arg = At(arg, dir);
    for (size_t at = 0; (at = arg.find('\'', at)) != std::string::npos; at += 4) arg.replace(at, 1, "'\\''");
    line += " '" + arg + "'";
  }
  const bool tty = input == "tty";
  line += (input == "full out" ? " >/dev/full" : " >'" + streams.File("out") + "'") + (tty ? "" : " 2>'" + streams.File("err") + "'");
  if (input == "|" && ::mkfifo(streams.File("in").c_str(), 0600) == 0) line += " 0<>'" + streams.File("in") + "'";
  if (input.empty() || input == "limit" || input == "full out") line += " </dev/null";
  if (input.size() > 1 && input != "limit" && input != "full out") {
    line = "printf '" + (tty ? "" : input) + "' | script -qec \"" + line + "\" /dev/null >" + (tty ? streams.File("err") : "/dev/null");
  }
  int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(streams.File("out")), ReadBytes(streams.File("err"))};
}

const char kSplitDone[] = "dorvenal-cli: Finished Splitting Successfully !!!\n";
const char kNotAsking[] =
    "dorvenal-cli: not asking: standard input is not a terminal; give --yes to go on without a question\n";

// setup: "cd in", "cd ref", what first lies at out/report_doc.2 ("dir") or .4 ("stale"), or in/pipe a FIFO.
struct RunRow {
  const char* setup;
  Args args;
  const char* input;
  int code;
  std::string out, err;
  Args files;  // what out/ then holds
};

// report.doc: 10,000 bytes, zero and 0x1A bytes among them after two
// "END"s; ref/ holds it in three pieces.
TEST(CliRun, ExitCodesMessagesAndFiles) {
  const std::string source = "xxEND yyEND" + PatternBytes(9989);
  const Args three = {"report_doc.1", "report_doc.2", "report_doc.3"};
  const Args batch = {"JOIN.BAT", "report_doc.1", "report_doc.2", "report_doc.3"};
  const std::string ask = "dorvenal-cli: File will be split into 3 pieces Shall I continue ?";
  const Args stale = {"report_doc.1", "report_doc.2", "report_doc.3", "report_doc.4"};
  const RunRow rows[] = {
      {"", {"split", "--pieces", "3", "--bogus", "@/in/report.doc", "@/out"}, "", 2, "",
       "dorvenal-cli: unrecognized option '--bogus'\nTry 'dorvenal-cli --help' for more information.\n", {}},
      {"", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "|", 0, kSplitDone, "", batch},
      {"cd in", {"split", "--pieces", "3", "--batch", "-y", "report.doc", "../out/"}, "", 0, kSplitDone, "", batch},
      {"", {"split", "--keyword", "END", "@/in/report.doc", "@/out"}, "|", 0, kSplitDone, "", three},
      {"", {"split", "-s", "4K", "@/in/report.doc", "@/out"}, "|", 3, "", ask + "\n" + kNotAsking, {}},
      {"", {"join", "@/ref/report_doc.1", "@/out"}, "", 3, "",
       "dorvenal-cli: Dorvenal has detected 3 files which can joined to recreate report.doc. report.doc which will "
       "be recreated will be of size 10000. If there is an existing report.doc , it will be Over-Written. Do you "
       "wish to continue ?\n" + std::string(kNotAsking), {}},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, "n\n", 3, "", ask + " [y/N] ", {}},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, " YES \n", 0, kSplitDone, ask + " [y/N] ", three},
      {"", {"split", "--pieces", "3", "--yes", "@/in/report.doc", "@/out"}, "tty", 0, kSplitDone,
       "\rSplitting: piece 1 of 3 (33%)\rSplitting: piece 2 of 3 (66%)\rSplitting: piece 3 of 3 (100%)\r\n", three},
      {"cd ref", {"join", "--yes", "report_doc.1", "../out"}, "|", 0, "dorvenal-cli: Finished Joining Successfully !!!\n",
       "", {"report.doc"}},
      {"", {"split", "-qyn", "3", "@/in/report.doc", "@/out"}, "tty", 0, "", "", three},
      {"", {"split", "-n", "3", "--dry-run", "@/in/report.doc", "@/out"}, "", 0,
       "dorvenal-cli: Dry run: report.doc would be split into 3 pieces, from @/out/report_doc.1 (3333 bytes) to "
       "@/out/report_doc.3 (3334 bytes). Nothing was written.\n", "", {}},
      {"", {"join", "--dry-run", "@/ref/report_doc.1", "@/out"}, "", 0,
       "dorvenal-cli: Dry run: 3 pieces, 10000 bytes in all, from @/ref/report_doc.1 to @/ref/report_doc.3 would be "
       "joined into @/out/report.doc. Nothing was written.\n", "", {}},
      {"stale", {"split", "-yn", "3", "@/in/report.doc", "@/out"}, "", 0, kSplitDone,
       "dorvenal-cli: The target folder also holds @/out/report_doc.4 from an earlier split !! A join would take it "
       "as well: please remove it before joining.\n", stale},
      {"", {"split", "-yn", "3", "@/in/report.doc", "@/out"}, "full out", 1, "",
       "dorvenal-cli: cannot write to standard output\n", three},
      {"fifo", {"split", "-yn", "3", "@/in/pipe", "@/out"}, "", 1, "", "dorvenal-cli: '@/in/pipe' is not a regular file\n", {}},
      {"", {"split", "--size", "10000", "--bytes", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: the piece size (10000 bytes) is not below the size of '@/in/report.doc' (10000 bytes); "
       "nothing was written\n", {}},
      {"", {"split", "--pieces", "2", "--yes", "@/in/missing", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot open '@/in/missing': No such file or directory\n", {}},
      {"", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "limit", 1, "",
       "dorvenal-cli: Could not write the piece file @/out/report_doc.1 !! The split has been stopped.\n", {}},
      {"dir", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: Could not give the piece file its name @/out/report_doc.2 !! The split has been stopped.\n",
       {"report_doc.1", "report_doc.2"}},
  };
  for (const RunRow& row : rows) {
    SCOPED_TRACE(std::string(row.setup) + " " + ::testing::PrintToString(row.args) + " " + row.input);
    TempDir dir;
    const std::string in = dir.Subdir("in"), out = dir.Subdir("out"), ref = dir.Subdir("ref"), setup = row.setup;
    WriteBytes(in + "/report.doc", source);
    for (int k = 0; k < 3; ++k) WriteBytes(ref + "/report_doc." + std::to_string(k + 1), source.substr(k * 3333, 3333 + k / 2));
    const std::string blocked = out + "/report_doc.2";
    ASSERT_EQ(setup == "dir" ? ::mkdir(blocked.c_str(), 0755) : setup == "fifo" ? ::mkfifo((in + "/pipe").c_str(), 0600) : 0, 0);
    if (setup == "stale") WriteBytes(out + "/report_doc.4", "old");
    CliRun run = Cli(row.args, dir.path(), row.input, setup.rfind("cd ", 0) == 0 ? dir.path() + "/" + setup.substr(3) : "");
    EXPECT_EQ(run.code, row.code);
    EXPECT_EQ(run.out, At(row.out, dir.path()));
    EXPECT_EQ(run.err, At(row.err, dir.path()));
    EXPECT_EQ(ListDir(out), row.files);
    // The pieces so far, or the joined file: the source, or a start of it when the run stopped.
    std::string whole = ReadBytes(out + "/report.doc");
    for (int k = 1; k <= 3 && setup != "dir"; ++k) whole += ReadBytes(out + "/report_doc." + std::to_string(k));
    EXPECT_TRUE(row.code == 0 && !row.files.empty() ? whole == source : source.compare(0, whole.size(), whole) == 0);
    EXPECT_EQ(row.files == batch ? ReadBytes(out + "/JOIN.BAT") : kReportJoinBatch, kReportJoinBatch);
    // A finished split: the dialog's entry, on the fake dialog, writes the same files.
    CliRequest request;
    std::string error;
    if (row.code != 0 || !ParseCommandLine(row.args, &request, &error) || request.command != Command::kSplit ||
        request.dryRun || setup == "stale") {
      continue;
    }
    const std::string dialogOut = dir.Subdir("dialog");
    gSession = SessionState();
    gSession.splitMethod = request.method;
    FakeDialog dialog;
    dialog.SetText(IDC_SOURCE_PATH, in + "/report.doc");
    dialog.SetText(IDC_TARGET_PATH, dialogOut);
    dialog.SetText(IDC_VALUE, request.value);
    dialog.SetCheck(IDC_UNIT_KB, !request.sizeInBytes);
    dialog.SetCheck(IDC_MAKE_BATCH, request.writeBatch);
    dialog.AnswerYesNo(kAnswerYes);
    RunSplitJob(dialog.handle());
    ASSERT_EQ(ListDir(dialogOut), row.files);
    for (const std::string& name : row.files) EXPECT_EQ(ReadBytes(out + "/" + name), ReadBytes(dialogOut + "/" + name));
  }
}

// A run stopped from outside, mid-way through 300,000 pieces: every name of the set holds a whole piece;
// a stop it could catch also removes the piece it was writing and says so.
TEST(CliRun, StoppedRunsLeaveOnlyWholePieces) {
  const std::pair<const char*, int> rows[] = {{"TERM", 143}, {"INT", 130}, {"KILL", 137}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    TempDir dir;
    std::string source;
    for (int k = 0; k < 300000; ++k) source += "ab|";
    WriteBytes(dir.File("s.txt"), source);
    const std::string line = "cd '" + dir.path() + "' && mkdir out && { " DORVENAL_CLI_PATH " split -k '|' s.txt out "
                             "2>err </dev/null & pid=$!; sleep 0.3; kill -" + row.first + " $pid; wait $pid; echo $? >code; }";
    ASSERT_EQ(std::system(line.c_str()), 0);
    EXPECT_EQ(ReadBytes(dir.File("code")), std::to_string(row.second) + "\n");
    size_t temporary = 0, pieces = 0;
    for (const std::string& name : ListDir(dir.File("out"))) {
      bool whole = name.rfind("s_txt.", 0) == 0 && name.find(".dvtmp") == std::string::npos;
      temporary += !whole;
      pieces += whole && ReadBytes(dir.File("out/" + name)) == "ab|";
      EXPECT_TRUE(!whole || ReadBytes(dir.File("out/" + name)) == "ab|") << name;
    }
    EXPECT_GT(pieces, 0u);
    EXPECT_LE(temporary, row.second == 137 ? 1u : 0u);
    EXPECT_EQ(ReadBytes(dir.File("err")), row.second == 137 ? "" :
              "dorvenal-cli: The split was interrupted !! The piece being written was removed; the pieces before it are whole.\n");
  }
}

// join.sh rebuilds the file under dash and sh whatever bytes its name holds, and writes nothing when a
// piece is missing.
TEST(CliRun, JoinScriptRebuildsAnyName) {
  const std::string names[] = {"a b.txt", "it's \"q\".txt", "$HOME `id` $(id).txt", "new\nline", "-dash.tar.gz"};
  for (const std::string& name : names) {
    for (const char* shell : {"dash", "sh"}) {
      SCOPED_TRACE(name + " " + shell);
      TempDir dir;
      const std::string source = PatternBytes(5000, 3), parts = dir.path() + "/parts/new";
      WriteBytes(dir.File(name), source);
      CliRun run = Cli({"split", "-yqn", "3", "--script", "-p", "--", dir.File(name), parts}, dir.path(), "", "");
      ASSERT_EQ(run.code, 0) << run.err;
      std::string script = std::string("cd / && ") + shell + " '" + parts + "/join.sh' >'" + dir.File("said") + "' 2>&1";
      EXPECT_EQ(std::system(script.c_str()), 0);
      EXPECT_TRUE(ReadBytes(parts + "/" + name) == source);
      EXPECT_EQ(ReadBytes(dir.File("said")), "Finished creating " + name + "\n");
      EXPECT_EQ(ListDir(parts).size(), 5u) << "3 pieces, join.sh and the file";
      std::string stem = name.substr(0, name.rfind('.')) + (name.rfind('.') == std::string::npos ? "" : "_" + name.substr(name.rfind('.') + 1));
      ::unlink((parts + "/" + name).c_str());
      ::unlink((parts + "/" + stem + ".2").c_str());
      EXPECT_NE(std::system(script.c_str()), 0);
      EXPECT_EQ(ReadBytes(dir.File("said")), "join.sh: missing piece " + stem + ".2\n");
      EXPECT_EQ(ListDir(parts).size(), 3u) << "nothing written";
    }
  }
}

}  // namespace

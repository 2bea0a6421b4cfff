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
// that stays open and empty, "tty" a terminal (standard error too) with nothing typed, else what is typed on
// a terminal. A run that hangs is ended after 30 s (124).
CliRun Cli(const Args& args, const std::string& dir, const std::string& input, const std::string& cwd) {
  TempDir streams;
  std::string line = "cd '" + (cwd.empty() ? streams.path() : cwd) + "' && timeout --foreground 30 " DORVENAL_CLI_PATH;
  for (const std::string& arg : args) line += " '" + At(arg, dir) + "'";
  const bool tty = input == "tty";
  line += " >'" + streams.File("out") + "'" + (tty ? "" : " 2>'" + streams.File("err") + "'");
  if (input == "|" && ::mkfifo(streams.File("in").c_str(), 0600) == 0) line += " 0<>'" + streams.File("in") + "'";
  if (input.empty()) line += " </dev/null";
  if (input.size() > 1) {
    line = "printf '" + (tty ? "" : input) + "' | script -qec \"" + line + "\" /dev/null >" + (tty ? streams.File("err") : "/dev/null");
  }
  int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(streams.File("out")), ReadBytes(streams.File("err"))};
}

const char kSplitDone[] = "Finished Splitting Successfully !!!\n";
const char kNotAsking[] =
    "dorvenal-cli: not asking: standard input is not a terminal; give --yes to go on without a question\n";
const char kReportJoinBatch[] =
    "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now report.doc will be recreated\r\nPAUSE\r\n"
    "COPY /B \"report_doc.1\" dorvnl.tmp\r\nCOPY /B dorvnl.tmp+\"report_doc.2\" dorvnl.tmp\r\n"
    "COPY /B dorvnl.tmp+\"report_doc.3\" dorvnl.tmp\r\nREN dorvnl.tmp \"report.doc\"\r\n"
    "ECHO Finished creating report.doc\r\n";

// setup: "cd in", "cd ref", or what first lies at out/report_doc.2: "full" (a link to /dev/full) or "dir".
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
  const std::string ask = "File will be split into 3 pieces\nShall I continue ?";
  const RunRow rows[] = {
      {"", {"split", "--pieces", "3", "--bogus", "@/in/report.doc", "@/out"}, "", 2, "",
       "dorvenal-cli: unrecognized option '--bogus'\nTry 'dorvenal-cli --help' for more information.\n", {}},
      {"", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "|", 0, kSplitDone, "", batch},
      {"cd in", {"split", "--pieces", "3", "--batch", "-y", "report.doc", "../out/"}, "", 0, kSplitDone, "", batch},
      {"", {"split", "--keyword", "END", "@/in/report.doc", "@/out"}, "|", 0, kSplitDone, "", three},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, "|", 3, "", ask + "\n" + kNotAsking, {}},
      {"", {"join", "@/ref/report_doc.1", "@/out"}, "", 3, "",
       "Dorvenal has detected 3 files which can joined to recreate report.doc.\n report.doc which will be recreated "
       "will be of size 10000.\n If there is an existing report.doc , it will be Over-Written.\n Do you wish to "
       "continue ?\n" + std::string(kNotAsking), {}},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, "n\n", 3, "", ask + " [y/N] ", {}},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, " YES \n", 0, kSplitDone, ask + " [y/N] ", three},
      {"", {"split", "--pieces", "3", "--yes", "@/in/report.doc", "@/out"}, "tty", 0, kSplitDone,
       "\rSplitting: piece 1 of 3 (33%)\rSplitting: piece 2 of 3 (66%)\rSplitting: piece 3 of 3 (100%)\r\n", three},
      {"cd ref", {"join", "--yes", "report_doc.1", "../out"}, "|", 0, "Finished Joining Successfully !!!\n", "",
       {"report.doc"}},
      {"", {"split", "--size", "10000", "--bytes", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: the piece size (10000 bytes) is not below the size of '@/in/report.doc' (10000 bytes); "
       "nothing was written\n", {}},
      {"", {"split", "--pieces", "2", "--yes", "@/in/missing", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot open '@/in/missing': No such file or directory\n", {}},
      {"full", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "The target drive is full !!\nCould not write the piece file\n@/out/report_doc.2 !!\nThe split has been "
       "stopped.\n", {"report_doc.1"}},
      {"dir", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: the split stopped: a piece file could not be created in '@/out'\n", {"report_doc.1", "report_doc.2"}},
  };
  for (const RunRow& row : rows) {
    SCOPED_TRACE(std::string(row.setup) + " " + ::testing::PrintToString(row.args) + " " + row.input);
    TempDir dir;
    const std::string in = dir.Subdir("in"), out = dir.Subdir("out"), ref = dir.Subdir("ref"), setup = row.setup;
    WriteBytes(in + "/report.doc", source);
    for (int k = 0; k < 3; ++k) WriteBytes(ref + "/report_doc." + std::to_string(k + 1), source.substr(k * 3333, 3333 + k / 2));
    const std::string blocked = out + "/report_doc.2";
    ASSERT_EQ(setup == "dir" ? ::mkdir(blocked.c_str(), 0755) : setup == "full" ? ::symlink("/dev/full", blocked.c_str()) : 0, 0);
    CliRun run = Cli(row.args, dir.path(), row.input, setup.rfind("cd ", 0) == 0 ? dir.path() + "/" + setup.substr(3) : "");
    EXPECT_EQ(run.code, row.code);
    EXPECT_EQ(run.out, row.out);
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
    if (row.code != 0 || !ParseCommandLine(row.args, &request, &error) || request.command != Command::kSplit) continue;
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

}  // namespace

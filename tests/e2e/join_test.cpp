// Joins made through the dialog: the confirmation text, the joined file,
// No, the validation messages, and a round trip from split to join.
#include <windows.h>

#include <gtest/gtest.h>

#include "scenario.h"

namespace {

std::string JoinConfirmation(int count, const std::string& name, long long size) {
  return "Dorvenal has detected " + std::to_string(count) + " files which can joined to recreate " + name +
         ".\n " + name + " which will be recreated will be of size " + std::to_string(size) +
         ".\n If there is an existing " + name + " , it will be Over-Written.\n Do you wish to continue ?";
}

void EnterJoinMode(const Program& program) {
  program.Click(ui::kModeJoin);
  if (!program.Checked(ui::kModeJoin)) throw DriverError("Join mode did not check");
}

// Runs the command-line front end in `dir` with `arguments`, no console
// input; its exit code, or -1 when it could not be run or hung.
int RunCli(const std::string& dir, const std::string& arguments) {
  std::string command = "\"" + Config().cliPath + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, dir.c_str(),
                      &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

TEST(Join, sets_cut_by_the_command_line_join_in_the_program_and_back) {
  if (Config().cliPath.empty()) GTEST_FAIL() << "no dorvenal-cli.exe was given";
  WorkDir work;
  std::string in = work.Subdir("in");
  std::string byCli = work.Subdir("by-cli");
  std::string byProgram = work.Subdir("by-program");
  std::string out = work.Subdir("out");
  std::string source = PatternBytes(70000, 4);
  WriteBytes(in + "\\cross.bin", source);

  // Cut by the command line, joined by the program.
  ASSERT_EQ(0, RunCli(work.path(), "split --pieces 4 --yes \"" + in + "\\cross.bin\" \"" + byCli + "\""));
  Program program(work.path());
  EnterJoinMode(program);
  Choose(program, byCli + "\\cross_bin.1", out);
  program.Click(ui::kSplit);
  ExpectConfirmation(program, JoinConfirmation(4, "cross.bin", 70000)).Press(IDYES);
  ExpectInfo(program, msg::kJoinFinished);
  EXPECT_EQ(source, ReadBytes(out + "\\cross.bin"));

  // Cut by the program, joined by the command line: the same pieces.
  program.Click(ui::kModeSplit);
  Choose(program, in + "\\cross.bin", byProgram);
  EnterValue(program, "4");
  program.Click(ui::kSplit);
  program.WaitBox().Press(IDYES);
  ExpectInfo(program, msg::kSplitFinished);
  EXPECT_EQ(0u, program.Close());
  for (const char* piece : {"cross_bin.1", "cross_bin.2", "cross_bin.3", "cross_bin.4"}) {
    EXPECT_EQ(ReadBytes(byCli + "\\" + piece), ReadBytes(byProgram + "\\" + piece)) << piece;
  }
  std::string back = work.Subdir("back");
  ASSERT_EQ(0, RunCli(work.path(), "join --yes \"" + byProgram + "\\cross_bin.1\" \"" + back + "\""));
  EXPECT_EQ(source, ReadBytes(back + "\\cross.bin"));
}

TEST(Join, yes_joins_the_consecutive_pieces_and_no_creates_nothing) {
  WorkDir work;
  std::string in = work.Subdir("in");
  std::string out = work.Subdir("out");
  std::string one = PatternBytes(300000, 1);  // more than one read of the copy buffer
  std::string two = PatternBytes(1, 2);
  std::string three = PatternBytes(999, 3);
  WriteBytes(in + "\\report_doc.1", one);
  WriteBytes(in + "\\report_doc.2", two);
  WriteBytes(in + "\\report_doc.3", three);
  WriteBytes(in + "\\report_doc.5", "not part of the set");
  WriteBytes(out + "\\report.doc", "an older report");
  const std::string confirmation = JoinConfirmation(3, "report.doc", 300000 + 1 + 999);

  Program program(work.path());
  EnterJoinMode(program);
  Choose(program, in + "\\report_doc.1", out);
  program.Click(ui::kSplit);
  Box box = ExpectConfirmation(program, confirmation);
  // Unlike the split, the join leaves its buttons alone.
  EXPECT_TRUE(program.Enabled(ui::kSplit));
  EXPECT_TRUE(program.Enabled(ui::kCancel));
  box.Press(IDNO);
  ExpectIdle(program);
  EXPECT_EQ("an older report", ReadBytes(out + "\\report.doc"));
  EXPECT_EQ(std::vector<std::string>{"report.doc"}, ListDir(out));

  program.Click(ui::kSplit);
  ExpectConfirmation(program, confirmation).Press(IDYES);
  ExpectInfo(program, msg::kJoinFinished);
  ExpectIdle(program);
  EXPECT_EQ(one + two + three, ReadBytes(out + "\\report.doc"));
  EXPECT_EQ(std::vector<std::string>{"report.doc"}, ListDir(out));
  EXPECT_EQ(3, program.ProgressPos());
  EXPECT_EQ(0u, program.Close());
}

TEST(Join, validation_messages_and_focus) {
  WorkDir work;
  std::string out = work.Subdir("out");
  WriteBytes(work.File("report_doc.1"), "1");
  WriteBytes(work.File("report_doc.2"), "2");
  WriteBytes(work.File("report_doc.11"), "11");
  Program program(work.path());
  EnterJoinMode(program);
  auto refuse = [&](const char* text, int focus) {
    SCOPED_TRACE(text);
    program.Click(ui::kSplit);
    ExpectInfo(program, text);
    ExpectIdle(program);
    if (focus) {
      EXPECT_EQ(focus, program.FocusId());
    }
  };
  refuse(msg::kNoSource, ui::kSourceBrowse);
  ChooseSource(program, work.File("report_doc.1"));
  refuse(msg::kNoTarget, ui::kTargetBrowse);
  for (const char* name : {"report_doc.2", "report_doc.11"}) {
    Choose(program, work.File(name), out);
    refuse(msg::kNotFirstPiece, 0);
  }
  EXPECT_TRUE(ListDir(out).empty());
  EXPECT_EQ(0u, program.Close());
}

TEST(Join, round_trip_after_a_split_restores_the_name_by_its_last_underscore) {
  WorkDir work;
  std::string in = work.Subdir("in");
  std::string pieces = work.Subdir("pieces");
  std::string out = work.Subdir("out");
  std::string source = PatternBytes(5000, 9);
  WriteBytes(in + "\\my_file", source);

  Program program(work.path());
  Choose(program, in + "\\my_file", pieces);
  EnterValue(program, "3");
  program.Click(ui::kSplit);
  program.WaitBox().Press(IDYES);
  ExpectInfo(program, msg::kSplitFinished);

  EnterJoinMode(program);
  EXPECT_EQ("", program.Text(ui::kSourcePath));
  EXPECT_EQ("", program.Text(ui::kTargetPath));
  EXPECT_EQ(program.ProgressLow(), program.ProgressPos()) << "the bar must be empty";
  Choose(program, pieces + "\\my_file.1", out);
  program.Click(ui::kSplit);
  ExpectConfirmation(program, JoinConfirmation(3, "my.file", 5000)).Press(IDYES);
  ExpectInfo(program, msg::kJoinFinished);
  EXPECT_EQ(std::vector<std::string>{"my.file"}, ListDir(out));
  EXPECT_EQ(source, ReadBytes(out + "\\my.file"));
  EXPECT_EQ(0u, program.Close());
}

// dorvenal-cli run as a program: its exit codes, what it prints where, and
// the files it writes, held against the engine run through the fake dialog.
#include "worked_examples.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "cli_options.h"
#include "fake_dialog.h"
#include "join_job.h"
#include "resource_ids.h"
#include "run_cli.h"
#include "session_state.h"
#include "split_job.h"
#include "test_files.h"
#include "text_format.h"
#include "texts.h"

namespace {

using Args = std::vector<std::string>;
using Contents = std::map<std::string, std::string>;

const std::string kTenThousand = PatternBytes(10000);
const std::string kSplitDone = std::string(kMsgSplitFinished) + "\n";
const std::string kJoinDone = std::string(kMsgJoinFinished) + "\n";
const std::string kNotAsking =
    "dorvenal-cli: not asking: standard input is not a terminal; give --yes to go on without a question\n";

// The worked example's JOIN.BAT: report.doc in three pieces, 282 bytes.
const std::string kReportJoinBatch = kWorkedJoinBatch;

Contents ContentsOf(const std::string& dir) {
  Contents contents;
  for (const std::string& name : ListDir(dir)) contents[name] = ReadBytes(dir + "/" + name);
  return contents;
}

std::vector<size_t> PieceSizes(const std::string& dir, const std::string& stemName) {
  std::vector<size_t> sizes;
  for (int k = 1; FileExists(dir + "/" + stemName + "." + std::to_string(k)); ++k) {
    sizes.push_back(ReadBytes(dir + "/" + stemName + "." + std::to_string(k)).size());
  }
  return sizes;
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() : in(dir.Subdir("in")), out(dir.Subdir("out")), ref(dir.Subdir("ref")) {}

  std::string Source(const std::string& name, const std::string& bytes) {
    std::string path = in + "/" + name;
    WriteBytes(path, bytes);
    return path;
  }

  // The same split by the engine itself, through the fake dialog, answering Yes.
  JobOutcome EngineSplit(const std::string& source, const std::string& target, SplitMethod method,
                         const std::string& value, bool kilobytes, bool batch) {
    gSession = SessionState();
    FakeDialog dialog;
    dialog.SetText(IDC_SOURCE_PATH, source);
    dialog.SetText(IDC_TARGET_PATH, target);
    dialog.SetText(IDC_VALUE, value);
    dialog.SetCheck(IDC_UNIT_KB, kilobytes);
    dialog.SetCheck(IDC_MAKE_BATCH, batch);
    dialog.AnswerYesNo(kAnswerYes);
    gSession.splitMethod = method;
    return PerformSplitJob(dialog.handle());
  }

  void EmptyDir(const std::string& path) {
    for (const std::string& name : ListDir(path)) ::unlink((path + "/" + name).c_str());
  }

  TempDir dir;
  std::string in;
  std::string out;
  std::string ref;
};

TEST(CliInfo, HelpAndVersionGoToStandardOutput) {
  for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"split", "--pieces", "2", "--help"}}) {
    CliResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kHelpText);
    EXPECT_EQ(run.err, "");
  }
  for (const Args& args : {Args{"--version"}, Args{"-V"}, Args{"join", "--version"}}) {
    CliResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "dorvenal-cli 1.0.8\n");
    EXPECT_EQ(run.err, "");
  }
}

TEST(CliInfo, HelpNamesEveryOptionAndExitCode) {
  const std::string help = kHelpText;
  for (const char* word : {"--size", "--bytes", "--pieces", "--keyword", "--batch", "--yes", "-y", "--help",
                           "--version", "JOIN.BAT", "  0  ", "  1  ", "  2  ", "  3  "}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

TEST_F(CliTest, UsageErrorsExitTwoAndWriteNothing) {
  std::string source = Source("report.doc", kTenThousand);
  const std::pair<Args, std::string> rows[] = {
      {{}, "missing command: split or join"},
      {{"split", source, out}, "split needs one of --size, --pieces and --keyword"},
      {{"split", "--pieces", "0", "--yes", source, out}, "--pieces takes a whole number from 1 to 2147483647, not '0'"},
      {{"split", "--size", "3", "--pieces", "3", source, out}, "give only one of --size, --pieces and --keyword"},
      {{"split", "--pieces", "3", source}, "missing TARGET_DIR after '" + source + "'"},
      {{"split", "--pieces", "3", "--frobnicate", source, out}, "unrecognized option '--frobnicate'"},
      {{"join", "--batch", out + "/report_doc.1", out}, "option '--batch' belongs to split, not to join"},
  };
  for (const auto& row : rows) {
    CliResult run = RunCli(row.first);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "dorvenal-cli: " + row.second + "\nTry 'dorvenal-cli --help' for more information.\n");
  }
  EXPECT_TRUE(ListDir(out).empty());
}

// The worked plans for a source of 10,000 bytes, each with JOIN.BAT.
struct PlanRow {
  Args options;
  SplitMethod method;
  const char* value;
  bool kilobytes;
  std::vector<size_t> sizes;  // empty: checked by count below
};

TEST_F(CliTest, WorkedPlansGiveTheEnginesPiecesAndBatchFile) {
  std::string source = Source("report.doc", kTenThousand);
  const PlanRow rows[] = {
      {{"--size", "4"}, Size, "4", true, {4096, 4096, 1808}},
      {{"--pieces", "3"}, Pieces, "3", false, {3333, 3333, 3334}},
      {{"--size", "3", "--bytes"}, Size, "3", false, {}},
      {{"--size", "9999", "--bytes"}, Size, "9999", false, {9999, 1}},
      {{"--pieces", "1"}, Pieces, "1", false, {10000}},
      {{"--size", "5000", "--bytes"}, Size, "5000", false, {5000, 5000}},  // no remainder piece
  };
  for (const PlanRow& row : rows) {
    SCOPED_TRACE(row.options[0] + " " + row.options[1]);
    EmptyDir(out);
    EmptyDir(ref);
    Args args = {"split"};
    args.insert(args.end(), row.options.begin(), row.options.end());
    args.insert(args.end(), {"--batch", "--yes", source, out});
    CliResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kSplitDone);
    EXPECT_EQ(run.err, "");

    ASSERT_EQ(EngineSplit(source, ref, row.method, row.value, row.kilobytes, true), JobOutcome::kFinished);
    EXPECT_EQ(ContentsOf(out), ContentsOf(ref));

    std::vector<size_t> sizes = PieceSizes(out, "report_doc");
    if (row.sizes.empty()) {
      // Size 3 in bytes: 3,333 pieces of 3 bytes and piece 3,334 of 1 byte.
      ASSERT_EQ(sizes.size(), 3334u);
      EXPECT_EQ(std::vector<size_t>(sizes.begin(), sizes.end() - 1), std::vector<size_t>(3333, 3));
      EXPECT_EQ(sizes.back(), 1u);
    } else {
      EXPECT_EQ(sizes, row.sizes);
    }
    std::string joined;
    for (size_t k = 1; k <= sizes.size(); ++k) joined += ReadBytes(out + "/report_doc." + std::to_string(k));
    EXPECT_EQ(joined, kTenThousand);
    if (sizes.size() == 3) {
      EXPECT_EQ(ReadBytes(out + "/JOIN.BAT"), kReportJoinBatch);
    }
  }
  EXPECT_EQ(kReportJoinBatch.size(), 282u);
}

TEST_F(CliTest, WithoutBatchNoJoinBatIsWritten) {
  std::string source = Source("report.doc", kTenThousand);
  CliResult run = RunCli({"split", "--pieces", "3", "--yes", source, out});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ListDir(out), (std::vector<std::string>{"report_doc.1", "report_doc.2", "report_doc.3"}));
}

struct KeywordRow {
  std::string data;
  const char* keyword;
  std::vector<std::string> pieces;
};

TEST_F(CliTest, KeywordSplitsFollowTheTableAndTheEngine) {
  using std::string;
  const KeywordRow rows[] = {
      {"ab--cd--ef", "--", {"ab--", "cd--", "ef"}},
      {"ab--cd--", "--", {"ab--", "cd--", ""}},
      {"----", "--", {"--", "--", ""}},
      {string("a--b--c\0d--e", 12), "--", {"a--", "b--", string("c\0d--e", 6)}},
      {"abababa", "aba", {"aba", "baba", ""}},
      {"xxEND yyEND zz", "END", {"xxEND", " yyEND", " zz"}},
  };
  for (const KeywordRow& row : rows) {
    SCOPED_TRACE(row.keyword + std::string(" in ") + row.data);
    EmptyDir(out);
    EmptyDir(ref);
    std::string source = Source("notes.txt", row.data);
    // The keyword split asks nothing, so no --yes is needed even without a terminal.
    CliOptions script;
    script.input = Input::kOpenPipe;
    CliResult run = RunCli({"split", "--keyword", row.keyword, "--batch", source, out}, script);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kSplitDone);
    EXPECT_EQ(run.err, "");
    std::vector<string> pieces;
    for (size_t k = 1; k <= row.pieces.size(); ++k) pieces.push_back(ReadBytes(out + "/notes_txt." + std::to_string(k)));
    EXPECT_EQ(pieces, row.pieces);
    ASSERT_EQ(EngineSplit(source, ref, Keyword, row.keyword, false, true), JobOutcome::kFinished);
    EXPECT_EQ(ContentsOf(out), ContentsOf(ref));
  }
}

// Refusals: exit 1, one message on standard error, nothing written.
TEST_F(CliTest, RefusalsExitOneWithAMessage) {
  std::string report = Source("report.doc", kTenThousand);
  std::string empty = Source("empty.bin", "");
  std::string zeroFirst = Source("zero.txt", std::string("ab\0--cd", 7));
  std::string missing = in + "/missing.doc";
  const std::pair<Args, std::string> rows[] = {
      {{"split", "--size", "10000", "--bytes", "--yes", report, out},
       "dorvenal-cli: the piece size (10000 bytes) is not below the size of '" + report +
           "' (10000 bytes); nothing was written\n"},
      {{"split", "--size", "10", "--yes", report, out},
       "dorvenal-cli: the piece size (10240 bytes) is not below the size of '" + report +
           "' (10000 bytes); nothing was written\n"},
      {{"split", "--keyword", "zz", report + "x", out},
       "dorvenal-cli: cannot open '" + report + "x': No such file or directory\n"},
      {{"split", "--keyword", "--", zeroFirst, out},
       "dorvenal-cli: '--' does not occur in '" + zeroFirst +
           "' before its end or its first zero byte; nothing was written\n"},
      {{"split", "--pieces", "2", "--yes", empty, out}, std::string(kMsgEmptySource) + "\n"},
      {{"split", "--pieces", "1000000000", "--yes", report, out}, std::string(kMsgTooManyPieces) + "\n"},
      {{"split", "--pieces", "2", "--yes", missing, out},
       "dorvenal-cli: cannot open '" + missing + "': No such file or directory\n"},
      {{"split", "--pieces", "2", "--yes", in, out}, "dorvenal-cli: '" + in + "' is a directory, not a file\n"},
      {{"split", "--pieces", "2", "--yes", report, out + "/nowhere"},
       "dorvenal-cli: '" + out + "/nowhere' is not an existing directory\n"},
      {{"split", "--pieces", "2", "--yes", report, report},
       "dorvenal-cli: '" + report + "' is not an existing directory\n"},
      {{"join", "--yes", report, out}, std::string(kMsgNotFirstPiece) + "\n"},
      {{"join", "--yes", in + "/report_doc.11", out}, std::string(kMsgNotFirstPiece) + "\n"},
      {{"join", "--yes", in + "/report_doc.1", out},
       FillTemplate(kMsgFirstPieceMissing, {in + "/report_doc.1"}) + "\n"},
  };
  for (const auto& row : rows) {
    CliResult run = RunCli(row.first);
    EXPECT_EQ(run.exitCode, 1) << row.second;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, row.second);
  }
  EXPECT_TRUE(ListDir(out).empty());
}

// Faults after the first piece: exit 1, the pieces so far stay, no
// completion message and no JOIN.BAT.
TEST_F(CliTest, APieceThatCannotBeCreatedStopsTheSplit) {
  std::string source = Source("report.doc", kTenThousand);
  ASSERT_EQ(::mkdir((out + "/report_doc.2").c_str(), 0755), 0);  // no file can be created there
  CliResult run = RunCli({"split", "--pieces", "3", "--batch", "--yes", source, out});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "dorvenal-cli: the split stopped: a piece file could not be created in '" + out + "'\n");
  EXPECT_EQ(ReadBytes(out + "/report_doc.1"), kTenThousand.substr(0, 3333));
  EXPECT_FALSE(FileExists(out + "/report_doc.3"));
  EXPECT_FALSE(FileExists(out + "/JOIN.BAT"));
}

TEST_F(CliTest, AFullDriveIsReportedForSplitAndJoin) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  std::string source = Source("report.doc", kTenThousand);
  ASSERT_EQ(::symlink("/dev/full", (out + "/report_doc.2").c_str()), 0);
  CliResult split = RunCli({"split", "--pieces", "3", "--yes", source, out});
  EXPECT_EQ(split.exitCode, 1);
  EXPECT_EQ(split.out, "");
  EXPECT_EQ(split.err, kMsgDriveFull + FillTemplate(kMsgPieceWriteFailed, {out + "/report_doc.2"}) + "\n");

  ASSERT_EQ(EngineSplit(source, ref, Pieces, "3", false, false), JobOutcome::kFinished);
  std::string joined = dir.Subdir("joined");
  ASSERT_EQ(::symlink("/dev/full", (joined + "/report.doc").c_str()), 0);
  CliResult join = RunCli({"join", "--yes", ref + "/report_doc.1", joined});
  EXPECT_EQ(join.exitCode, 1);
  EXPECT_EQ(join.out, "");
  EXPECT_EQ(join.err, kMsgDriveFull + FillTemplate(kMsgOutputWriteFailed, {joined + "/report.doc"}) + "\n");
}

TEST_F(CliTest, WithoutATerminalNothingIsAskedAndNothingDone) {
  std::string source = Source("report.doc", kTenThousand);
  ASSERT_EQ(EngineSplit(source, ref, Pieces, "3", false, false), JobOutcome::kFinished);
  const std::string splitQuestion =
      "File will be split into 2 pieces of size 3333 bytes and 1 piece of size 3334 bytes\nShall I continue ?\n";
  const std::string joinQuestion =
      FillTemplate(kConfirmJoin, {"3", "report.doc", "report.doc", "10000", "report.doc"}) + "\n";
  const Input inputs[] = {Input::kOpenPipe, Input::kNull, Input::kText};
  for (Input input : inputs) {
    CliOptions options;
    options.input = input;
    options.inputText = "y\n";  // a script's "yes" on a pipe does not count
    CliResult split = RunCli({"split", "--pieces", "3", source, out}, options);
    EXPECT_FALSE(split.timedOut);
    EXPECT_EQ(split.exitCode, 3);
    EXPECT_EQ(split.out, "");
    EXPECT_EQ(split.err, splitQuestion + kNotAsking);

    CliResult join = RunCli({"join", ref + "/report_doc.1", out}, options);
    EXPECT_FALSE(join.timedOut);
    EXPECT_EQ(join.exitCode, 3);
    EXPECT_EQ(join.out, "");
    EXPECT_EQ(join.err, joinQuestion + kNotAsking);
  }
  EXPECT_TRUE(ListDir(out).empty());
}

TEST_F(CliTest, TheQuestionIsAskedOnATerminal) {
  std::string source = Source("report.doc", kTenThousand);
  struct Row {
    const char* typed;
    int exitCode;
  };
  const Row rows[] = {{"n\n", 3}, {"\n", 3}, {"no\n", 3}, {"yess\n", 3}, {"", 3}, {"y\n", 0}, {" YES \n", 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("typed: ") + row.typed);
    EmptyDir(out);
    CliOptions options;
    options.input = Input::kTerminal;
    options.inputText = row.typed;
    if (std::string(row.typed).empty()) options.inputText = "\x04";  // end of input at the prompt
    CliResult run = RunCli({"split", "--size", "4", source, out}, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, row.exitCode);
    EXPECT_EQ(run.err, "File will be split into 3 pieces\nShall I continue ? [y/N] " +
                           std::string(std::string(row.typed).empty() ? "\n" : ""));
    if (row.exitCode == 0) {
      EXPECT_EQ(run.out, kSplitDone);
      EXPECT_EQ(PieceSizes(out, "report_doc"), (std::vector<size_t>{4096, 4096, 1808}));
    } else {
      EXPECT_EQ(run.out, "");
      EXPECT_TRUE(ListDir(out).empty());
    }
  }
}

TEST_F(CliTest, AProgressLineOnlyWhenStandardErrorIsATerminal) {
  std::string source = Source("report.doc", kTenThousand);
  CliOptions terminal;
  terminal.input = Input::kTerminal;
  terminal.errorIsTerminal = true;
  CliResult split = RunCli({"split", "--pieces", "3", "--yes", source, out}, terminal);
  EXPECT_EQ(split.exitCode, 0);
  EXPECT_EQ(split.out, kSplitDone);
  EXPECT_NE(split.terminal.find("\rSplitting: piece 1 of 3 (33%)\rSplitting: piece 2 of 3 (66%)"
                                "\rSplitting: piece 3 of 3 (100%)\r\n"),
            std::string::npos)
      << split.terminal;

  std::string joined = dir.Subdir("joined");
  CliResult join = RunCli({"join", "--yes", out + "/report_doc.1", joined}, terminal);
  EXPECT_EQ(join.exitCode, 0);
  EXPECT_EQ(join.out, kJoinDone);
  EXPECT_NE(join.terminal.find("\rJoining: piece 3 of 3 (100%)\r\n"), std::string::npos) << join.terminal;

  // Thousands of pieces redraw the line once per percent, not once per piece.
  EmptyDir(out);
  CliResult many = RunCli({"split", "--size", "3", "--bytes", "--yes", source, out}, terminal);
  EXPECT_EQ(many.exitCode, 0);
  size_t redraws = 0;
  for (size_t at = many.terminal.find('\r'); at != std::string::npos; at = many.terminal.find('\r', at + 1)) {
    ++redraws;
  }
  EXPECT_GE(redraws, 50u);
  EXPECT_LE(redraws, 110u);
  EXPECT_NE(many.terminal.find("Splitting: piece 3334 of 3334 (100%)"), std::string::npos);

  // On a file or a pipe: not a word of progress.
  EmptyDir(out);
  CliResult quiet = RunCli({"split", "--pieces", "3", "--yes", source, out});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.err, "");
}

TEST_F(CliTest, SplitAndJoinRoundTrip) {
  const std::string data = PatternBytes(3 * 1024 * 1024 + 17, 7);
  std::string source = Source("archive.tar.gz", data);
  struct Row {
    Args method;
    size_t pieces;
  };
  const Row rows[] = {{{"--size", "1000"}, 4}, {{"--pieces", "7"}, 7}, {{"--size", "204801", "--bytes"}, 16}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.method[0]);
    EmptyDir(out);
    std::string joined = dir.Subdir("joined");
    EmptyDir(joined);
    Args args = {"split"};
    args.insert(args.end(), row.method.begin(), row.method.end());
    args.insert(args.end(), {"--yes", source, out});
    ASSERT_EQ(RunCli(args).exitCode, 0);
    EXPECT_EQ(PieceSizes(out, "archive.tar_gz").size(), row.pieces);
    CliResult join = RunCli({"join", "-y", out + "/archive.tar_gz.1", joined});
    EXPECT_EQ(join.exitCode, 0);
    EXPECT_EQ(join.out, kJoinDone);
    EXPECT_EQ(join.err, "");
    EXPECT_EQ(ListDir(joined), std::vector<std::string>{"archive.tar.gz"});
    EXPECT_TRUE(ReadBytes(joined + "/archive.tar.gz") == data);
  }
}

TEST_F(CliTest, RelativePathsWorkAsTheEngineNamesThem) {
  Source("report.doc", kTenThousand);
  CliOptions inDir;
  inDir.workingDir = in;
  // A source without a directory part, and a target that ends in a slash.
  CliResult split = RunCli({"split", "--pieces", "3", "--batch", "--yes", "report.doc", "../out/"}, inDir);
  EXPECT_EQ(split.exitCode, 0);
  EXPECT_EQ(ListDir(out), (std::vector<std::string>{"JOIN.BAT", "report_doc.1", "report_doc.2", "report_doc.3"}));
  EXPECT_EQ(ReadBytes(out + "/JOIN.BAT"), kReportJoinBatch);

  CliOptions outDir;
  outDir.workingDir = out;
  std::string joined = dir.Subdir("joined");
  CliResult join = RunCli({"join", "--yes", "report_doc.1", "../joined"}, outDir);
  EXPECT_EQ(join.exitCode, 0);
  EXPECT_EQ(ReadBytes(joined + "/report.doc"), kTenThousand);
}

TEST_F(CliTest, JoinStopsAtTheFirstGap) {
  std::string source = Source("report.doc", kTenThousand);
  ASSERT_EQ(EngineSplit(source, ref, Pieces, "5", false, false), JobOutcome::kFinished);
  ASSERT_EQ(::unlink((ref + "/report_doc.4").c_str()), 0);
  CliResult join = RunCli({"join", "--yes", ref + "/report_doc.1", out});
  EXPECT_EQ(join.exitCode, 0);
  EXPECT_EQ(ReadBytes(out + "/report.doc"), kTenThousand.substr(0, 6000));
}

}  // namespace

// Splits made through the dialog: every method, answered Yes and No, the
// validation messages, and the batch file with a real run of it.
#include "worked_examples.h"
#include <gtest/gtest.h>

#include "scenario.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// The pieces a source cut at the given sizes gives, named as the program names them.
Files ExpectedPieces(const std::string& stemName, const std::string& source, const std::vector<size_t>& sizes) {
  Files pieces;
  size_t offset = 0;
  for (size_t k = 0; k < sizes.size(); ++k) {
    pieces.emplace_back(stemName + "." + std::to_string(k + 1), source.substr(offset, sizes[k]));
    offset += sizes[k];
  }
  EXPECT_EQ(source.size(), offset) << "the expected pieces must cover the source";
  std::sort(pieces.begin(), pieces.end());
  return pieces;
}

struct ArithmeticCase {
  const char* name;
  int method;  // ui::kSize or ui::kPieces
  int unit;    // ui::kUnitKb or ui::kUnitBytes for Size
  size_t fileSize;
  const char* value;
  const char* confirmation;
  std::vector<size_t> pieceSizes;
};

const ArithmeticCase kArithmeticCases[] = {
    {"size_4_kbs_leaves_a_remainder_piece", ui::kSize, ui::kUnitKb, 10000, "4",
     "File will be split into 3 pieces\nShall I continue ?", {4096, 4096, 1808}},
    {"size_3_bytes_of_10", ui::kSize, ui::kUnitBytes, 10, "3",
     "File will be split into 4 pieces\nShall I continue ?", {3, 3, 3, 1}},
    {"size_dividing_the_file_writes_no_remainder_piece", ui::kSize, ui::kUnitBytes, 12, "4",
     "File will be split into 3 pieces\nShall I continue ?", {4, 4, 4}},
    {"size_9_of_10_bytes", ui::kSize, ui::kUnitBytes, 10, "9",
     "File will be split into 2 pieces\nShall I continue ?", {9, 1}},
    {"size_1_kb_of_exactly_2_kb", ui::kSize, ui::kUnitKb, 2048, "1",
     "File will be split into 2 pieces\nShall I continue ?", {1024, 1024}},
    {"pieces_3_of_10000_puts_the_remainder_in_the_last", ui::kPieces, 0, 10000, "3",
     "File will be split into 2 pieces of size 3333 bytes and 1 piece of size 3334 bytes\nShall I continue ?",
     {3333, 3333, 3334}},
    {"pieces_4_of_10000_are_equal", ui::kPieces, 0, 10000, "4",
     "File will be split into 4 pieces of size 2500 bytes\nShall I continue ?", {2500, 2500, 2500, 2500}},
    {"pieces_1_is_the_whole_file", ui::kPieces, 0, 10000, "1",
     "File will be split into 1 pieces of size 10000 bytes\nShall I continue ?", {10000}},
    {"pieces_8_of_5_bytes_leaves_seven_empty_pieces", ui::kPieces, 0, 5, "8",
     "File will be split into 7 pieces of size 0 bytes and 1 piece of size 5 bytes\nShall I continue ?",
     {0, 0, 0, 0, 0, 0, 0, 5}},
};

// Sets method, unit and value the way a user does.
void EnterRequest(const Program& program, const ArithmeticCase& c) {
  SelectMethod(program, c.method);
  if (c.method == ui::kSize) SelectMethod(program, c.unit);
  EnterValue(program, c.value);
}

}  // namespace

TEST(SplitArithmetic, yes_writes_exactly_the_planned_pieces) {
  WorkDir work;
  Program program(work.path());
  int round = 0;
  for (const ArithmeticCase& c : kArithmeticCases) {
    SCOPED_TRACE(c.name);
    std::string dir = work.Subdir("case" + std::to_string(round++));
    std::string target = work.Subdir("case" + std::to_string(round++));
    std::string source = PatternBytes(c.fileSize, round);
    WriteBytes(dir + "\\data.bin", source);

    Choose(program, dir + "\\data.bin", target);
    EnterRequest(program, c);
    program.Click(ui::kSplit);
    Box confirmation = ExpectConfirmation(program, c.confirmation);
    // The split holds both buttons off while it runs.
    EXPECT_FALSE(program.Enabled(ui::kSplit));
    EXPECT_FALSE(program.Enabled(ui::kCancel));
    confirmation.Press(IDYES);
    ExpectInfo(program, msg::kSplitFinished);
    ExpectIdle(program);

    EXPECT_EQ(ExpectedPieces("data_bin", source, c.pieceSizes), DirContents(target));
    EXPECT_EQ(source, ReadBytes(dir + "\\data.bin")) << "the source must stay as it was";
    EXPECT_EQ(static_cast<int>(c.pieceSizes.size()), program.ProgressPos());
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(SplitArithmetic, no_writes_nothing_and_leaves_the_dialog_usable) {
  WorkDir work;
  std::string target = work.Subdir("out");
  WriteBytes(work.File("data.bin"), PatternBytes(10000));
  Program program(work.path());
  for (const ArithmeticCase& c : {kArithmeticCases[0], kArithmeticCases[5]}) {
    SCOPED_TRACE(c.name);
    Choose(program, work.File("data.bin"), target);
    EnterRequest(program, c);
    program.Click(ui::kSplit);
    ExpectConfirmation(program, c.confirmation).Press(IDNO);
    ExpectIdle(program);
    EXPECT_TRUE(ListDir(target).empty());
    EXPECT_EQ(0, program.ProgressPos());
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(SplitArithmetic, refused_values_stop_without_a_message) {
  WorkDir work;
  std::string target = work.Subdir("out");
  WriteBytes(work.File("ten.bin"), "0123456789");
  Program program(work.path());
  Choose(program, work.File("ten.bin"), target);
  struct Refusal {
    int method, unit;
    const char* value;
  };
  // A size not below the file size, and zero for either method.
  for (const Refusal& r : {Refusal{ui::kSize, ui::kUnitBytes, "10"}, Refusal{ui::kSize, ui::kUnitBytes, "11"},
                           Refusal{ui::kSize, ui::kUnitKb, "1"}, Refusal{ui::kSize, ui::kUnitBytes, "0"},
                           Refusal{ui::kPieces, 0, "0"}}) {
    SCOPED_TRACE(r.value);
    SelectMethod(program, r.method);
    if (r.unit) SelectMethod(program, r.unit);
    EnterValue(program, r.value);
    program.Click(ui::kSplit);
    ExpectIdle(program);
    EXPECT_TRUE(ListDir(target).empty());
  }
  EXPECT_EQ(0u, program.Close());
}

namespace {

struct KeywordCase {
  const char* name;
  std::string data;
  const char* keyword;
  std::vector<std::string> pieces;  // empty: nothing written, no message
};

const KeywordCase kKeywordCases[] = {
    {"cut_after_each_occurrence", "ab--cd--ef", "--", {"ab--", "cd--", "ef"}},
    {"ending_in_the_keyword_leaves_an_empty_tail", "ab--cd--", "--", {"ab--", "cd--", ""}},
    {"back_to_back_occurrences", "----", "--", {"--", "--", ""}},
    {"a_zero_byte_ends_the_search_but_not_the_tail", std::string("a--b--c\0d--e", 12), "--",
     {"a--", "b--", std::string("c\0d--e", 6)}},
    {"overlapping_occurrences_are_skipped", "abababa", "aba", {"aba", "baba", ""}},
    {"keyword_not_in_the_file", "abcd", "--", {}},
    {"keyword_only_after_a_zero_byte", std::string("ab\0--cd", 7), "--", {}},
    {"the_case_of_letters_counts", "xABx-xABx", "ab", {}},
    {"a_keyword_of_25_characters", "head-1234567890abcdefghijklmn-tail-1234567890abcdefghijklmn-end",
     "1234567890abcdefghijklmn-",
     {"head-1234567890abcdefghijklmn-", "tail-1234567890abcdefghijklmn-", "end"}},
};

}  // namespace

TEST(SplitKeyword, cuts_after_each_occurrence_without_asking) {
  WorkDir work;
  Program program(work.path());
  int round = 0;
  for (const KeywordCase& c : kKeywordCases) {
    SCOPED_TRACE(c.name);
    std::string dir = work.Subdir("in" + std::to_string(round));
    std::string target = work.Subdir("out" + std::to_string(round++));
    WriteBytes(dir + "\\notes.txt", c.data);

    Choose(program, dir + "\\notes.txt", target);
    SelectMethod(program, ui::kKeyword);
    EnterValue(program, c.keyword);
    program.Click(ui::kSplit);
    if (!c.pieces.empty()) {
      // No confirmation: the only box is the completion message.
      ExpectInfo(program, msg::kSplitFinished);
    }
    ExpectIdle(program);

    Files expected;
    for (size_t k = 0; k < c.pieces.size(); ++k) expected.emplace_back("notes_txt." + std::to_string(k + 1), c.pieces[k]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, DirContents(target));
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(SplitValidation, each_missing_input_is_named_and_gets_the_focus) {
  WorkDir work;
  std::string target = work.Subdir("out");
  WriteBytes(work.File("data.bin"), PatternBytes(100));
  Program program(work.path());
  struct Step {
    const char* message;
    int focus;
  };
  auto check = [&](const Step& step) {
    SCOPED_TRACE(step.message);
    program.Click(ui::kSplit);
    Box box = program.WaitBox();
    // The buttons are off from the start of the job, also while it refuses.
    EXPECT_FALSE(program.Enabled(ui::kSplit));
    EXPECT_FALSE(program.Enabled(ui::kCancel));
    EXPECT_EQ("Dorvenal", box.caption);
    EXPECT_EQ(step.message, box.text);
    EXPECT_EQ(std::vector<int>{IDOK}, box.Buttons());
    EXPECT_TRUE(box.HasIcon());
    box.Press(IDOK);
    ExpectIdle(program);
    EXPECT_EQ(step.focus, program.FocusId());
  };
  // Nothing chosen: the source is named first, even with a value typed.
  EnterValue(program, "2");
  check({msg::kNoSource, ui::kSourceBrowse});
  ChooseSource(program, work.File("data.bin"));
  check({msg::kNoTarget, ui::kTargetBrowse});
  ChooseTarget(program, target);
  SelectMethod(program, ui::kPieces);  // empties the value
  check({msg::kNoValue, ui::kValue});
  // The focus is really in the field: typing goes there.
  TypeText("2");
  WaitFor([&] { return program.Text(ui::kValue) == "2"; }, "the digit typed after the message");
  EXPECT_TRUE(ListDir(target).empty());
  EXPECT_EQ(0u, program.Close());
}

TEST(SplitValidation, a_source_of_zero_bytes_is_refused) {
  WorkDir work;
  std::string target = work.Subdir("out");
  WriteBytes(work.File("empty.txt"), "");
  Program program(work.path());
  Choose(program, work.File("empty.txt"), target);
  for (int method : {ui::kPieces, ui::kKeyword}) {
    SelectMethod(program, method);
    EnterValue(program, "2");
    program.Click(ui::kSplit);
    ExpectInfo(program, msg::kEmptySource);
    ExpectIdle(program);
  }
  EXPECT_TRUE(ListDir(target).empty());
  EXPECT_EQ(0u, program.Close());
}

TEST(SplitBatch, worked_example_byte_for_byte_and_cmd_recreates_the_file) {
  WorkDir work;
  std::string data = work.Subdir("data");
  std::string target = work.Subdir("out");
  std::string source = PatternBytes(10000, 7);
  source[5000] = '\x1a';  // COPY without /B would stop here
  WriteBytes(data + "\\report.doc", source);
  Program program(work.path());
  Choose(program, data + "\\report.doc", target);
  SelectMethod(program, ui::kSize);
  SelectMethod(program, ui::kUnitKb);
  EnterValue(program, "4");
  TickBatch(program);
  program.Click(ui::kSplit);
  ExpectConfirmation(program, "File will be split into 3 pieces\nShall I continue ?").Press(IDYES);
  ExpectInfo(program, msg::kSplitFinished);
  ExpectIdle(program);
  EXPECT_EQ(0u, program.Close());

  const std::string expected = kWorkedJoinBatch;
  ASSERT_EQ(282u, expected.size());
  EXPECT_EQ(expected, ReadBytes(target + "\\JOIN.BAT"));
  EXPECT_EQ((std::vector<std::string>{"JOIN.BAT", "report_doc.1", "report_doc.2", "report_doc.3"}),
            ListDir(target));

  RunCommand("cmd /c JOIN.BAT", target);
  ASSERT_TRUE(FileExists(target + "\\report.doc"));
  EXPECT_EQ(source, ReadBytes(target + "\\report.doc"));
  EXPECT_FALSE(FileExists(target + "\\dorvnl.tmp"));
}

TEST(SplitBatch, every_method_names_exactly_its_pieces_and_the_exact_name) {
  struct BatchCase {
    const char* name;
    const char* fileName;  // also the name the batch file restores
    const char* stemName;
    int method;
    const char* value;
    std::string data;
    size_t pieces;
  };
  const BatchCase cases[] = {
      // Pieces: the count stored is one more than the last piece.
      {"pieces_with_blanks_in_the_name", "my notes.txt", "my notes_txt", ui::kPieces, "3", PatternBytes(100, 3), 3},
      // The join would restore my.file; the batch file restores my_file.
      {"keyword_and_a_name_without_a_dot", "my_file", "my_file", ui::kKeyword, "--", "one--two--three", 3},
      {"size_into_one_more_piece_than_nine", "notes.v1_2", "notes_v1_2", ui::kSize, "10", PatternBytes(101, 4), 11},
  };
  WorkDir work;
  Program program(work.path());
  int round = 0;
  for (const BatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string data = work.Subdir("in" + std::to_string(round));
    std::string target = work.Subdir("out" + std::to_string(round++));
    WriteBytes(data + "\\" + c.fileName, c.data);
    Choose(program, data + "\\" + c.fileName, target);
    SelectMethod(program, c.method);
    if (c.method == ui::kSize) SelectMethod(program, ui::kUnitBytes);
    EnterValue(program, c.value);
    TickBatch(program);
    program.Click(ui::kSplit);
    if (c.method != ui::kKeyword) program.WaitBox().Press(IDYES);
    ExpectInfo(program, msg::kSplitFinished);
    ExpectIdle(program);

    std::string expected = std::string("ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now ") + c.fileName +
                           " will be recreated\r\nPAUSE\r\n";
    for (size_t k = 1; k <= c.pieces; ++k) {
      expected += std::string(k == 1 ? "COPY /B \"" : "COPY /B dorvnl.tmp+\"") + c.stemName + "." +
                  std::to_string(k) + "\" dorvnl.tmp\r\n";
    }
    expected += std::string("REN dorvnl.tmp \"") + c.fileName + "\"\r\nECHO Finished creating " + c.fileName + "\r\n";
    EXPECT_EQ(expected, ReadBytes(target + "\\JOIN.BAT"));
    EXPECT_EQ(c.pieces + 1, ListDir(target).size());

    RunCommand("cmd /c JOIN.BAT", target);
    ASSERT_TRUE(FileExists(target + "\\" + c.fileName));
    EXPECT_EQ(c.data, ReadBytes(target + "\\" + c.fileName));
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(SplitBatch, none_without_the_tick_or_after_no) {
  WorkDir work;
  std::string target = work.Subdir("out");
  WriteBytes(work.File("data.bin"), PatternBytes(1000));
  Program program(work.path());
  Choose(program, work.File("data.bin"), target);
  EnterValue(program, "2");  // Pieces, the opening method
  TickBatch(program);
  program.Click(ui::kSplit);
  program.WaitBox().Press(IDNO);
  ExpectIdle(program);
  EXPECT_TRUE(ListDir(target).empty());

  program.Click(ui::kMakeBatch);  // untick
  ASSERT_FALSE(program.Checked(ui::kMakeBatch));
  program.Click(ui::kSplit);
  program.WaitBox().Press(IDYES);
  ExpectInfo(program, msg::kSplitFinished);
  EXPECT_EQ((std::vector<std::string>{"data_bin.1", "data_bin.2"}), ListDir(target));
  EXPECT_EQ(0u, program.Close());
}

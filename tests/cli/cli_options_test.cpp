#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli_options.h"

namespace {

using Args = std::vector<std::string>;

std::string Show(const Args& args) {
  std::ostringstream text;
  for (const std::string& a : args) text << '[' << a << ']';
  return text.str();
}

struct GoodRow {
  Args args;
  Command command;
  SplitMethod method;
  const char* value;
  bool bytes;
  bool batch;
  bool yes;
  const char* source;
  const char* target;
};

TEST(ParseCommandLine, ReadsEveryOption) {
  const GoodRow rows[] = {
      {{"split", "--size", "1400", "a.doc", "out"}, Command::kSplit, Size, "1400", false, false, false, "a.doc", "out"},
      {{"split", "--size=1400", "--bytes", "a", "b"}, Command::kSplit, Size, "1400", true, false, false, "a", "b"},
      {{"split", "--pieces", "10", "--batch", "-y", "a", "b"}, Command::kSplit, Pieces, "10", false, true, true, "a",
       "b"},
      {{"split", "--keyword", "--", "--yes", "a", "b"}, Command::kSplit, Keyword, "--", false, false, true, "a", "b"},
      {{"split", "--keyword=a=b", "a", "b"}, Command::kSplit, Keyword, "a=b", false, false, false, "a", "b"},
      {{"split", "--keyword", "-y", "a", "b"}, Command::kSplit, Keyword, "-y", false, false, false, "a", "b"},
      // Options may follow the paths; "--" makes a path of anything.
      {{"split", "a", "b", "--pieces", "2", "--yes"}, Command::kSplit, Pieces, "2", false, false, true, "a", "b"},
      {{"split", "--pieces", "2", "--", "-a", "--yes"}, Command::kSplit, Pieces, "2", false, false, false, "-a",
       "--yes"},
      {{"split", "--pieces", "2", "-", "b"}, Command::kSplit, Pieces, "2", false, false, false, "-", "b"},
      // Unambiguous abbreviations.
      {{"split", "--si", "7", "--by", "--bat", "--y", "a", "b"}, Command::kSplit, Size, "7", true, true, true, "a",
       "b"},
      {{"split", "--p=3", "--ke", "x", "a", "b"}, Command::kSplit, Pieces, "3", false, false, false, "", ""},
      {{"split", "--p=3", "a", "b"}, Command::kSplit, Pieces, "3", false, false, false, "a", "b"},
      {{"split", "--pieces", "2147483647", "a", "b"}, Command::kSplit, Pieces, "2147483647", false, false, false, "a",
       "b"},
      {{"split", "--size", "0000000000000000000000001", "a", "b"}, Command::kSplit, Size, "0000000000000000000000001",
       false, false, false, "a", "b"},
      {{"split", "--keyword", "1234567890123456789012345", "a", "b"}, Command::kSplit, Keyword,
       "1234567890123456789012345", false, false, false, "a", "b"},
      {{"join", "pieces/x_doc.1", "."}, Command::kJoin, Size, "", false, false, false, "pieces/x_doc.1", "."},
      {{"join", "--yes", "x.1", "t"}, Command::kJoin, Size, "", false, false, true, "x.1", "t"},
      {{"join", "x.1", "-y", "t"}, Command::kJoin, Size, "", false, false, true, "x.1", "t"},
  };
  for (const GoodRow& row : rows) {
    CliRequest request;
    std::string error;
    bool parsed = ParseCommandLine(row.args, &request, &error);
    if (std::string(row.source).empty()) {
      // "--p" and "--ke" are each unambiguous, but two methods are one too many.
      EXPECT_FALSE(parsed) << Show(row.args);
      continue;
    }
    ASSERT_TRUE(parsed) << Show(row.args) << ": " << error;
    EXPECT_EQ(request.command, row.command) << Show(row.args);
    if (row.command == Command::kSplit) {
      EXPECT_EQ(request.method, row.method) << Show(row.args);
      EXPECT_EQ(request.value, row.value) << Show(row.args);
    }
    EXPECT_EQ(request.sizeInBytes, row.bytes) << Show(row.args);
    EXPECT_EQ(request.writeBatch, row.batch) << Show(row.args);
    EXPECT_EQ(request.assumeYes, row.yes) << Show(row.args);
    EXPECT_EQ(request.source, row.source) << Show(row.args);
    EXPECT_EQ(request.target, row.target) << Show(row.args);
  }
}

TEST(ParseCommandLine, HelpAndVersionWinWhereverTheyAreRead) {
  const std::pair<Args, Command> rows[] = {
      {{"--help"}, Command::kHelp},
      {{"-h"}, Command::kHelp},
      {{"--he"}, Command::kHelp},
      {{"--version"}, Command::kVersion},
      {{"-V"}, Command::kVersion},
      {{"split", "--size", "3", "--help", "a"}, Command::kHelp},
      {{"join", "--version", "a", "b", "c"}, Command::kVersion},
      {{"-V", "nonsense"}, Command::kVersion},
  };
  for (const auto& row : rows) {
    CliRequest request;
    std::string error;
    bool parsed = ParseCommandLine(row.first, &request, &error);
    ASSERT_TRUE(parsed) << Show(row.first) << ": " << error;
    EXPECT_EQ(request.command, row.second) << Show(row.first);
  }
  // A keyword is a value, even when it looks like an option.
  CliRequest request;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"split", "--keyword", "--help", "a", "b"}, &request, &error)) << error;
  EXPECT_EQ(request.value, "--help");
}

struct BadRow {
  Args args;
  const char* error;
};

TEST(ParseCommandLine, RefusesWrongCommandLinesWithAReason) {
  const BadRow rows[] = {
      {{}, "missing command: split or join"},
      {{"splitt", "a", "b"}, "unknown command 'splitt' (expected split or join)"},
      {{"--yes", "split", "a", "b"}, "option '--yes' must follow the command (split or join)"},
      {{"split", "a", "b"}, "split needs one of --size, --pieces and --keyword"},
      {{"split", "--size", "3", "--pieces", "2", "a", "b"}, "give only one of --size, --pieces and --keyword"},
      {{"split", "--keyword", "x", "--keyword", "y", "a", "b"}, "give only one of --size, --pieces and --keyword"},
      {{"split", "--size", "0", "a", "b"}, "--size takes a whole number from 1 to 2147483647, not '0'"},
      {{"split", "--size", "2147483648", "a", "b"}, "--size takes a whole number from 1 to 2147483647, not '2147483648'"},
      {{"split", "--pieces", "-3", "a", "b"}, "--pieces takes a whole number from 1 to 2147483647, not '-3'"},
      {{"split", "--pieces", "+3", "a", "b"}, "--pieces takes a whole number from 1 to 2147483647, not '+3'"},
      {{"split", "--size", "1k", "a", "b"}, "--size takes a whole number from 1 to 2147483647, not '1k'"},
      {{"split", "--size", " 3", "a", "b"}, "--size takes a whole number from 1 to 2147483647, not ' 3'"},
      {{"split", "--size=", "a", "b"}, "the value of --size must not be empty"},
      {{"split", "--keyword", "", "a", "b"}, "the value of --keyword must not be empty"},
      {{"split", "--keyword", "12345678901234567890123456", "a", "b"}, "the value of --keyword has more than 25 characters"},
      {{"split", "--pieces", "3", "--bytes", "a", "b"}, "--bytes goes only with --size"},
      {{"split", "--keyword", "x", "--bytes", "a", "b"}, "--bytes goes only with --size"},
      {{"split", "--size"}, "option '--size' requires an argument"},
      {{"split", "--pieces", "3", "--yes=1", "a", "b"}, "option '--yes' doesn't allow an argument"},
      {{"split", "--pieces", "3", "--batch=no", "a", "b"}, "option '--batch' doesn't allow an argument"},
      {{"split", "--b", "a", "b"}, "option '--b' is ambiguous; possibilities: '--bytes' '--batch'"},
      {{"split", "--sizes", "3", "a", "b"}, "unrecognized option '--sizes'"},
      {{"split", "-s", "3", "a", "b"}, "unrecognized option '-s'"},
      {{"split", "-yh", "a", "b"}, "unrecognized option '-yh'"},
      // Read in order, like getopt: an unknown option before --help is an error.
      {{"split", "--bogus", "--help"}, "unrecognized option '--bogus'"},
      {{"split", "--pieces", "3"}, "missing SOURCE and TARGET_DIR"},
      {{"split", "--pieces", "3", "a"}, "missing TARGET_DIR after 'a'"},
      {{"split", "--pieces", "3", "a", "b", "c"}, "unexpected argument 'c'"},
      {{"split", "--pieces", "3", "", "b"}, "SOURCE must not be empty"},
      {{"split", "--pieces", "3", "a", ""}, "TARGET_DIR must not be empty"},
      {{"join"}, "missing FIRST_PIECE and TARGET_DIR"},
      {{"join", "a.1"}, "missing TARGET_DIR after 'a.1'"},
      {{"join", "", "t"}, "FIRST_PIECE must not be empty"},
      {{"join", "--batch", "a.1", "t"}, "option '--batch' belongs to split, not to join"},
      {{"join", "--size", "3", "a.1", "t"}, "option '--size' belongs to split, not to join"},
      {{"join", "--bytes", "a.1", "t"}, "option '--bytes' belongs to split, not to join"},
      {{"join", "--keyword", "x", "a.1", "t"}, "option '--keyword' belongs to split, not to join"},
      {{"join", "--pieces", "2", "a.1", "t"}, "option '--pieces' belongs to split, not to join"},
  };
  for (const BadRow& row : rows) {
    CliRequest request;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(row.args, &request, &error)) << Show(row.args);
    EXPECT_EQ(error, row.error) << Show(row.args);
  }
}

}  // namespace

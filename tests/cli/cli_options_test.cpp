// The command line read into a request, or refused with a one-line reason;
// names shown so that they cannot break or forge a line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_options.h"
#include "console_text.h"

namespace {

using Args = std::vector<std::string>;

using ::testing::PrintToString;

// The request in one line: command, method=value (a size in bytes), the
// flags set, stdin=NAME for "-", [source] [target].
std::string Describe(const CliRequest& request) {
  static const char* const kCommands[] = {"help", "version", "split", "join"};
  std::string text = kCommands[static_cast<int>(request.command)];
  if (request.command == Command::kHelp || request.command == Command::kVersion) return text;
  const SplitRequest& split = request.split;
  if (request.command == Command::kSplit) {
    text += split.method == Size     ? " size=" + std::to_string(split.pieceBytes)
            : split.method == Pieces ? " pieces=" + std::to_string(split.pieceCount)
                                     : " keyword=" + split.keyword;
  }
  text += std::string(split.writeBatch ? " batch" : "") + (split.writeScript ? " script" : "") +
          (request.assumeYes ? " yes" : "") + (request.quiet ? " quiet" : "") + (request.dryRun ? " dry" : "") +
          (split.dryRun != request.dryRun ? " DRY-RUN-LOST" : "") + (request.makeTarget ? " parents" : "") +
          (split.fromStandardInput ? " stdin=" + split.streamName : "");
  return text + " [" + request.source + "] [" + request.target + "]";
}

TEST(ParseCommandLine, AcceptedLinesGiveTheirRequest) {
  const std::string keyword100(100, 'k');
  const std::pair<Args, std::string> rows[] = {
      {{"split", "--size", "1400", "a.doc", "out"}, "split size=1433600 [a.doc] [out]"},
      {{"split", "--pieces", "10", "--batch", "-y", "a", "b"}, "split pieces=10 batch yes [a] [b]"},
      {{"split", "--keyword", "--", "--yes", "a", "b"}, "split keyword=-- yes [a] [b]"},
      {{"split", "--keyword=a=b", "a", "b"}, "split keyword=a=b [a] [b]"},
      {{"split", "-k", "--help", "a", "b"}, "split keyword=--help [a] [b]"},
      {{"split", "a", "b", "--pieces", "2", "--yes"}, "split pieces=2 yes [a] [b]"},
      {{"split", "--pieces", "2", "--", "-a", "--yes"}, "split pieces=2 [-a] [--yes]"},
      {{"split", "--si", "7", "--by", "--bat", "--y", "a", "b"}, "split size=7 batch yes [a] [b]"},
      {{"split", "--pi=2147483647", "a", "b"}, "split pieces=2147483647 [a] [b]"},
      {{"split", "-s100M", "a", "b"}, "split size=104857600 [a] [b]"},
      {{"split", "--size", "512b", "a", "b"}, "split size=512 [a] [b]"},
      {{"split", "-s", "650MiB", "a", "b"}, "split size=681574400 [a] [b]"},
      {{"split", "-s", "2g", "a", "b"}, "split size=2147483648 [a] [b]"},
      {{"split", "-s", "1000B", "--bytes", "a", "b"}, "split size=1000 [a] [b]"},
      {{"split", "-s", "3kb", "a", "b"}, "split size=3072 [a] [b]"},
      {{"split", "-s", "16777215T", "a", "b"}, "split size=18446742974197923840 [a] [b]"},
      {{"split", "-yqn", "3", "-p", "--dry-run", "--script", "a", "b"}, "split pieces=3 script yes quiet dry parents [a] [b]"},
      {{"split", "-k", keyword100, "a", "b"}, "split keyword=" + keyword100 + " [a] [b]"},
      {{"split", "-s", "100M", "--na", "backup.tar", "-", "parts"}, "split size=104857600 stdin=backup.tar [-] [parts]"},
      {{"split", "-s", "1K", "--name", "con", "-", "p"}, "split size=1024 stdin=con [-] [p]"},
      {{"split", "-s", "1K", "--name", "a:b", "-", "p"}, "split size=1024 stdin=a:b [-] [p]"},
      {{"split", "-s", "1K", "--batch", "--codepage", "1258", "--name", "...x", "-", "p"},
       "split size=1024 batch stdin=...x [-] [p]"},
      {{"join", "-yq", "x.1", "t"}, "join yes quiet [x.1] [t]"},
      {{"-h"}, "help"},
      {{"/?"}, "help"},
      {{"--vers", "x"}, "version"},
      {{"split", "--size", "3", "--help", "a"}, "help"},
  };
  for (const auto& row : rows) {
    CliRequest request;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(row.first, &request, &error)) << PrintToString(row.first) << ": " << error;
    EXPECT_EQ(Describe(request), row.second) << PrintToString(row.first);
  }
}

const char kSizeTakes[] =
    "--size takes a whole number from 1 (kilobytes) or a size such as 1400K, 100M, 2G, 512B, not ";

const char kCodePages[] =
    "--codepage takes a code page of the Windows command prompt that keeps ASCII: 437, 737, 775, 850, 852, 855, 857, "
    "858, 860, 861, 862, 863, 864, 865, 866, 869, 874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, "
    "1257, 1258, 65001; not ";
const char kPlainName[] = "--name takes a plain file name (no folder, not '.' or '..'), not ";
const char kWindowsName[] =
    "--name takes a plain file name (no folder, no ':', not '.', '..' or a device such as CON, NUL or LPT1), not ";

TEST(ParseCommandLine, RefusedLinesSayWhy) {
  const std::pair<Args, std::string> rows[] = {
      {{}, "missing command: split, join, verify or repair"},
      {{"splitt", "a", "b"}, "unknown command 'splitt' (expected split, join, verify or repair)"},
      {{"split\r", "a", "b"}, "unknown command 'split'$'\\r' (expected split, join, verify or repair)"},
      {{"--yes", "split", "a", "b"}, "option '--yes' must follow the command (split, join, verify or repair)"},
      {{"split", "a", "b"}, "split needs one of --size, --pieces and --keyword"},
      {{"split", "--size", "3", "--pieces", "2", "a", "b"}, "give only one of --size, --pieces and --keyword"},
      {{"split", "--size", "0", "a", "b"}, std::string(kSizeTakes) + "'0'"},
      {{"split", "-s", "3X", "a", "b"}, std::string(kSizeTakes) + "'3X'"},
      {{"split", "-s", "0M", "a", "b"}, std::string(kSizeTakes) + "'0M'"},
      {{"split", "-s", "16777216T", "a", "b"}, "the size '16777216T' is too large"},
      {{"split", "-s", "18014398509481984", "a", "b"}, "the size '18014398509481984' is too large"},
      {{"split", "-z", "a", "b"}, "invalid option -- 'z'"},
      {{"split", "-yz", "a", "b"}, "invalid option -- 'z'"},
      {{"split", "-s"}, "option '-s' requires an argument"},
      {{"split", "--pi"}, "option '--pieces' requires an argument"},
      {{"split", "--pieces", "-3", "a", "b"}, "--pieces takes a whole number from 1 to 2147483647, not '-3'"},
      {{"split", "-n", "2147483648", "a", "b"}, "--pieces takes a whole number from 1 to 2147483647, not '2147483648'"},
      {{"split", "--keyword", "", "a", "b"}, "the value of --keyword must not be empty"},
      {{"split", "--keyword", std::string(101, 'k'), "a", "b"}, "the value of --keyword has more than 100 bytes"},
      {{"split", "--pieces", "3", "--bytes", "a", "b"}, "--bytes goes only with --size"},
      {{"split", "--pieces", "3", "--yes=1", "a", "b"}, "option '--yes' doesn't allow an argument"},
      {{"split", "-n", "3", "--batch", "--co=7", "a", "b"}, std::string(kCodePages) + "'7'"},
      {{"split", "-n", "3", "--batch", "--codepage", "1026", "a", "b"}, std::string(kCodePages) + "'1026'"},  // EBCDIC
      {{"split", "--b", "a", "b"}, "option '--b' is ambiguous; possibilities: '--bytes' '--batch'"},
      {{"split", "--bogus=3", "--help"}, "unrecognized option '--bogus'"},
      {{"split", "--pieces", "3"}, "missing SOURCE and TARGET_DIR"},
      {{"split", "-s", "1M", "a\nb"}, "missing TARGET_DIR after 'a'$'\\n''b'"},
      {{"split", "--pieces", "3", "a", "b", "c"}, "unexpected argument 'c'"},
      {{"join", "a.1", ""}, "TARGET_DIR must not be empty"},
      {{"join"}, "missing FIRST_PIECE and TARGET_DIR"},
      {{"join", "--batch", "a.1", "t"}, "option '--batch' belongs to split, not to join"},
      {{"split", "-n", "3", "--name", "x", "-", "t"},
       "--pieces cannot split standard input, whose size is not known before its end; use --size or --keyword"},
      {{"split", "-s", "1M", "-", "t"}, "SOURCE '-' (standard input) needs --name NAME to name the pieces"},
      {{"split", "-s", "1M", "--name", "x", "a", "t"}, "--name goes only with SOURCE '-' (standard input)"},
      {{"split", "-s", "1M", "--name", "d/x", "-", "t"}, std::string(kPlainName) + "'d/x'"},
      {{"split", "-s", "1M", "--name", "d\\x", "-", "t"}, std::string(kPlainName) + "'d\\x'"},
      {{"split", "-s", "1M", "--name", ".", "-", "t"}, std::string(kPlainName) + "'.'"},
      {{"split", "-s", "1M", "--name", "..", "-", "t"}, std::string(kPlainName) + "'..'"},
      {{"split", "-s", "1M", "--batch", "--name", "Con.tar", "-", "t"}, std::string(kWindowsName) + "'Con.tar'"},
      {{"split", "-s", "1M", "--batch", "--name", "lpt1", "-", "t"}, std::string(kWindowsName) + "'lpt1'"},
      {{"split", "-s", "1M", "--batch", "--name", "x:y", "-", "t"}, std::string(kWindowsName) + "'x:y'"},
  };
  for (const auto& row : rows) {
    CliRequest request;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(row.first, &request, &error)) << PrintToString(row.first);
    EXPECT_EQ(error, row.second) << PrintToString(row.first);
  }
}

TEST(ConsoleText, NamesAreQuotedAsAShellReadsThemBack) {
  const std::pair<std::string, std::string> rows[] = {
      {"report.doc", "'report.doc'"},
      {"", "''"},
      {"it's", "\"it's\""},
      {"it's $HOME", "'it'\\''s $HOME'"},
      {"a\rb", "'a'$'\\r''b'"},
      {"\x1b[Kx\n", "$'\\033''[Kx'$'\\n'"},
      {"it's\t", "'it'\\''s'$'\\t'"},
      {"\xc2\x9b" "2J caf\xc3\xa9", "$'\\302\\233''2J caf\xc3\xa9'"},
      {"\x9b" "2J \xf0\x9f\x8e\x89", "$'\\233''2J \xf0\x9f\x8e\x89'"},  // C1 as a raw byte; a 4-byte character
      {"caf\xe9.txt", "'caf'$'\\351''.txt'"},                      // Latin-1, not UTF-8
      {"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80z\xe2\x82", "$'\\300\\257\\355\\240\\200\\364\\220\\200\\200''z'$'\\342\\202'"},
  };
  for (const auto& row : rows) EXPECT_EQ(QuotedName(row.first), row.second) << PrintToString(row.first);
  EXPECT_EQ(ShownName("my file.doc"), "my file.doc");
  EXPECT_EQ(ShownName("a\rb"), "'a'$'\\r''b'");
}

TEST(ConsoleText, EachQuestionIsOneLineOfItsOwn) {
  const std::pair<Question, std::string> rows[] = {
      {{QuestionKind::kSplitBySize, 4, 2500, 2500, 10000, "r.doc"}, "split 'r.doc' into 4 pieces of 2500 bytes?"},
      {{QuestionKind::kSplitByCount, 3, 3333, 3334, 10000, "a\nb"},
       "split 'a'$'\\n''b' into 3 pieces of 3333 bytes, the last of 3334 bytes?"},
      {{QuestionKind::kJoin, 3, 0, 0, 9000, "x.bin"},
       "join 3 pieces, 9000 bytes in all, into 'x.bin' (an existing file of that name is replaced)?"},
  };
  for (const auto& row : rows) EXPECT_EQ(QuestionLine(row.first), row.second);
}

TEST(ConsoleText, ProgressTellsBytesRateAndTimeLeft) {
  struct Row { const char* doing; uint64_t piece, done, total; double seconds; const char* line; };
  const Row rows[] = {
      {"Splitting", 1, 3333, 10000, 0.01, "Splitting: 3.2 KiB of 9.7 KiB (33%)"},
      {"Joining", 2, uint64_t{3} << 30, uint64_t{4} << 30, 30.5, "Joining: 3.0 GiB of 4.0 GiB (75%), 100.7 MiB/s, 0:10 left"},
      {"Joining", 9, 1023, UINT64_MAX, 1, "Joining: 1023 B of 15.9 EiB (0%), 1023 B/s, 5008891081163:40:00 left"},
      {"Splitting", 2, UINT64_MAX - 1, UINT64_MAX, 4096, "Splitting: 15.9 EiB of 15.9 EiB (100%), 4.0 PiB/s, 0:00 left"},
      {"Splitting", 3, 10000, 10000, 2, "Splitting: 9.7 KiB of 9.7 KiB (100%), 4.8 KiB/s"},
      {"Splitting", 5, 5u << 20, 0, 5, "Splitting: piece 5, 5.0 MiB, 1.0 MiB/s"},  // a stream
  };
  for (const Row& row : rows) EXPECT_EQ(ProgressLine(row.doing, row.piece, row.done, row.total, row.seconds), row.line);
}

TEST(ConsoleText, EveryStopHasALineOfItsOwn) {
  EXPECT_EQ(StopLine(StopReason(), StopContext{}), "stopped without giving a reason") << "a reason made by default";
  for (int kind = 0; kind <= static_cast<int>(StopKind::kSizesOverflow); ++kind) {
    for (bool join : {false, true}) {
      const std::string line = StopLine(StopReason(static_cast<StopKind>(kind), "p"), StopContext{join, 0, ""});
      EXPECT_EQ(line.find("without words"), std::string::npos) << kind;
      EXPECT_EQ(line.find('%'), std::string::npos) << line;
    }
  }
}

}  // namespace

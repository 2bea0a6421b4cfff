// The command line read into a request, or refused with a one-line reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_options.h"

namespace {

using Args = std::vector<std::string>;

using ::testing::PrintToString;

// The request in one line: command, method=value, the flags set, [source] [target].
std::string Describe(const CliRequest& request) {
  static const char* const kCommands[] = {"help", "version", "split", "join"};
  static const char* const kMethods[] = {"keyword", "size", "pieces"};
  std::string text = kCommands[static_cast<int>(request.command)];
  if (request.command == Command::kHelp || request.command == Command::kVersion) return text;
  if (request.command == Command::kSplit) text += std::string(" ") + kMethods[request.method] + "=" + request.value;
  text += std::string(request.sizeInBytes ? " bytes" : "") + (request.writeBatch ? " batch" : "") +
          (request.writeScript ? " script" : "") + (request.assumeYes ? " yes" : "") + (request.quiet ? " quiet" : "") +
          (request.dryRun ? " dry" : "") + (request.makeTarget ? " parents" : "");
  return text + " [" + request.source + "] [" + request.target + "]";
}

TEST(ParseCommandLine, AcceptedLinesGiveTheirRequest) {
  const std::pair<Args, const char*> rows[] = {
      {{"split", "--size", "1400", "a.doc", "out"}, "split size=1400 [a.doc] [out]"},
      {{"split", "--size=1400", "--bytes", "a", "b"}, "split size=1400 bytes [a] [b]"},
      {{"split", "--pieces", "10", "--batch", "-y", "a", "b"}, "split pieces=10 batch yes [a] [b]"},
      {{"split", "--keyword", "--", "--yes", "a", "b"}, "split keyword=-- yes [a] [b]"},
      {{"split", "--keyword=a=b", "a", "b"}, "split keyword=a=b [a] [b]"},
      {{"split", "--keyword", "--help", "a", "b"}, "split keyword=--help [a] [b]"},
      {{"split", "a", "b", "--pieces", "2", "--yes"}, "split pieces=2 yes [a] [b]"},
      {{"split", "--pieces", "2", "--", "-a", "--yes"}, "split pieces=2 [-a] [--yes]"},
      {{"split", "--si", "7", "--by", "--bat", "--y", "a", "b"}, "split size=7 bytes batch yes [a] [b]"},
      {{"split", "--pi=2147483647", "a", "b"}, "split pieces=2147483647 [a] [b]"},
      {{"split", "-s100M", "a", "b"}, "split size=102400 [a] [b]"},
      {{"split", "--size", "512b", "a", "b"}, "split size=512 bytes [a] [b]"},
      {{"split", "-s", "650MiB", "a", "b"}, "split size=665600 [a] [b]"},
      {{"split", "-s", "2g", "a", "b"}, "split size=2097152 [a] [b]"},
      {{"split", "-s", "1000B", "--bytes", "a", "b"}, "split size=1000 bytes [a] [b]"},
      {{"split", "-s", "3kb", "a", "b"}, "split size=3 [a] [b]"},
      {{"split", "-yqn", "3", "-p", "--dry-run", "--script", "a", "b"}, "split pieces=3 script yes quiet dry parents [a] [b]"},
      {{"split", "-kEND", "a", "b"}, "split keyword=END [a] [b]"},
      {{"join", "-yq", "x.1", "t"}, "join yes quiet [x.1] [t]"},
      {{"split", "--keyword", "1234567890123456789012345", "a", "b"}, "split keyword=1234567890123456789012345 [a] [b]"},
      {{"join", "x.1", "-y", "t"}, "join yes [x.1] [t]"},
      {{"-h"}, "help"},
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
    "--size takes a whole number from 1 to 2147483647 (kilobytes) or a size such as 1400K, 100M, 2G, 512B, not ";

TEST(ParseCommandLine, RefusedLinesSayWhy) {
  const std::pair<Args, std::string> rows[] = {
      {{}, "missing command: split or join"},
      {{"splitt", "a", "b"}, "unknown command 'splitt' (expected split or join)"},
      {{"--yes", "split", "a", "b"}, "option '--yes' must follow the command (split or join)"},
      {{"split", "a", "b"}, "split needs one of --size, --pieces and --keyword"},
      {{"split", "--size", "3", "--pieces", "2", "a", "b"}, "give only one of --size, --pieces and --keyword"},
      {{"split", "--size", "0", "a", "b"}, std::string(kSizeTakes) + "'0'"},
      {{"split", "--size", "2147483648", "a", "b"}, std::string(kSizeTakes) + "'2147483648'"},
      {{"split", "-s", "3X", "a", "b"}, std::string(kSizeTakes) + "'3X'"},
      {{"split", "-s", "0M", "a", "b"}, std::string(kSizeTakes) + "'0M'"},
      {{"split", "-s", "2048G", "a", "b"}, "the size '2048G' is too large: at most 2147483647 KiB"},
      {{"split", "-z", "a", "b"}, "invalid option -- 'z'"},
      {{"split", "-s"}, "option '-s' requires an argument"},
      {{"split", "--pieces", "-3", "a", "b"}, "--pieces takes a whole number from 1 to 2147483647, not '-3'"},
      {{"split", "--keyword", "", "a", "b"}, "the value of --keyword must not be empty"},
      {{"split", "--keyword", "12345678901234567890123456", "a", "b"}, "the value of --keyword has more than 25 bytes"},
      {{"split", "--pieces", "3", "--bytes", "a", "b"}, "--bytes goes only with --size"},
      {{"split", "--size"}, "option '--size' requires an argument"},
      {{"split", "--pieces", "3", "--yes=1", "a", "b"}, "option '--yes' doesn't allow an argument"},
      {{"split", "--b", "a", "b"}, "option '--b' is ambiguous; possibilities: '--bytes' '--batch'"},
      {{"split", "--bogus", "--help"}, "unrecognized option '--bogus'"},
      {{"split", "--pieces", "3"}, "missing SOURCE and TARGET_DIR"},
      {{"split", "--pieces", "3", "a", "b", "c"}, "unexpected argument 'c'"},
      {{"join", "a.1", ""}, "TARGET_DIR must not be empty"},
      {{"join"}, "missing FIRST_PIECE and TARGET_DIR"},
      {{"join", "--batch", "a.1", "t"}, "option '--batch' belongs to split, not to join"},
  };
  for (const auto& row : rows) {
    CliRequest request;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(row.first, &request, &error)) << PrintToString(row.first);
    EXPECT_EQ(error, row.second) << PrintToString(row.first);
  }
}

}  // namespace

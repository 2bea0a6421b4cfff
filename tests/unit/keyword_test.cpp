// Split by keyword: a cut after each occurrence found from the left in the text before the first zero byte; the rest of
// the source is the last piece. Every case runs from a file and from a stream.
#include <algorithm>

#include "job_fixture.h"

namespace {

// The rule, byte by byte; no occurrence gives no pieces.
Log ReferenceCuts(const std::string& data, const std::string& keyword) {
  const size_t textEnd = std::min(data.find('\0'), data.size());
  Log pieces;
  size_t cursor = 0;
  for (size_t at = 0; at + keyword.size() <= textEnd; ++at) {
    if (data.compare(at, keyword.size(), keyword) != 0) continue;
    pieces.push_back(data.substr(cursor, at + keyword.size() - cursor));
    cursor = at + keyword.size();
    at = cursor - 1;
  }
  if (!pieces.empty()) pieces.push_back(data.substr(cursor));
  return pieces;
}

// Splits `data` by `keyword` from a file and from a stream; both must give
// `pieces` and say so, or say that the keyword was not found.
void ExpectCuts(const TempDir& dir, const std::string& data, const std::string& keyword, const Log& pieces) {
  const std::string source = dir.File("data.txt");
  WriteBytes(source, data);
  for (bool stream : {false, true}) {
    SCOPED_TRACE(stream ? "from a stream" : "from a file");
    TempDir target;
    RedirectedInput input(data, dir);
    const SplitRequest request = stream ? FromStream(ByKeyword(keyword), "data.txt") : ByKeyword(keyword);
    const std::string finished = pieces.empty() ? "" : "finished data.txt " + std::to_string(pieces.size()) + " " +
        std::to_string(data.size()) + " data_txt.1:" + std::to_string(pieces.front().size()) + " data_txt." +
        std::to_string(pieces.size()) + ":" + std::to_string(pieces.back().size());
    const std::string notFound = "stopped keyword-not-found " + (stream ? "data.txt" : source) + " 0";
    // No question; progress in bytes alone, of the file's size (a stream's is not known), up to its end.
    Log log, progress;
    for (const std::string& line : RunSplit(request, source, target.path())) {
      (line.rfind("progress ", 0) == 0 ? progress : log).push_back(line);
    }
    EXPECT_TRUE(Same(log, {"start 0 " + std::to_string(stream ? 0 : data.size()), pieces.empty() ? notFound : finished}));
    EXPECT_TRUE(!progress.empty() && progress.back().substr(progress.back().rfind(' ') + 1) == std::to_string(data.size()));
    EXPECT_TRUE(Same(PiecesIn(target.path(), "data_txt"), pieces));
    EXPECT_EQ(ListDir(target.path()).size(), pieces.size());
  }
}

struct KeywordRow {
  std::string data;
  std::string keyword;
  Log pieces;
};

std::string Z(const char* text, size_t n) { return std::string(text, n); }

const KeywordRow kRows[] = {
    {"ab--cd--ef", "--", {"ab--", "cd--", "ef"}},
    {"ab--cd--", "--", {"ab--", "cd--", ""}},
    {"----", "--", {"--", "--", ""}},
    {Z("a--b--c\0d--e", 12), "--", {"a--", "b--", Z("c\0d--e", 6)}},  // no cut after the zero byte
    {"abcd", "--", {}},
    {Z("ab\0--cd", 7), "--", {}},
    {"abababa", "aba", {"aba", "baba", ""}},  // the occurrence at offset 2 overlaps the first
    {"--abc", "--", {"--", "abc"}},            // found once: the rest is kept as piece 2
    {"ab-", "--", {}},                         // a trailing half keyword starts nothing
    {"x--y-", "--", {"x--", "y-"}},
    {"ABC--abc", "abc", {"ABC--abc", ""}},  // exact case only
    {"abc", "ABC", {}},
    {Z("a--\0--b", 7), "--", {"a--", Z("\0--b", 4)}},
    {"kkk0123456789012345678901234tail", "0123456789012345678901234", {"kkk0123456789012345678901234", "tail"}},
    // The rarest byte is not the first: the search looks for ';' or '@' and steps back.
    {";abc;abc;", "abc;", {";abc;", "abc;", ""}},
    {"ab;xabc;", "abc;", {"ab;xabc;", ""}},
    {"a@@a@b@b", "a@b", {"a@@a@b", "@b"}},
    {"x@a@bya@b", "a@b", {"x@a@b", "ya@b", ""}},
    {"@b", "a@b", {}},
};

TEST_F(JobTest, KeywordSplitCutsAfterEachOccurrence) {
  for (const KeywordRow& row : kRows) {
    SCOPED_TRACE(Shown(row.data) + " cut after " + Shown(row.keyword));
    EXPECT_EQ(ReferenceCuts(row.data, row.keyword), row.pieces) << "the reference itself";
    ExpectCuts(dir, row.data, row.keyword, row.pieces);
  }
}

TEST_F(JobTest, CutsAcrossReadBoundariesMatchTheReference) {
  // Data is read 256 KiB at a time: occurrences just before and after each
  // multiple of 256 KiB, and one that straddles each by a different amount.
  const size_t block = size_t{256} << 10;
  const std::string keyword = "cut@HERE!";
  std::string data = PatternBytes(block * (keyword.size() + 2) + 126, 3);
  for (char& c : data) c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
  for (size_t b = block, shift = 0; b + block < data.size(); b += block, ++shift) {
    data.replace(b - shift, keyword.size(), keyword);
    data.replace(b - shift - 40, keyword.size(), keyword);
    data.replace(b + 30, keyword.size(), keyword);
  }
  data[data.size() - 500] = '\0';                            // the text ends here
  data.replace(data.size() - 400, keyword.size(), keyword);  // never found
  const Log expected = ReferenceCuts(data, keyword);
  ASSERT_GT(expected.size(), 30u);
  ExpectCuts(dir, data, keyword, expected);

  // From a stream the same cuts; size pieces are cut as the bytes pass, across the same boundaries, and an
  // exact multiple leaves no empty piece after the last.
  ASSERT_EQ(data.size() % 5, 0u);
  const SplitRequest streams[] = {ByKeyword(keyword), BySize(data.size() / 5)};
  const Log cuts[] = {expected, Cut(data, std::vector<size_t>(5, data.size() / 5))};
  for (size_t k = 0; k < 2; ++k) {
    TempDir target;
    RedirectedInput input(data, dir);
    RunSplit(FromStream(streams[k], "data.txt"), "", target.path());
    EXPECT_TRUE(Same(PiecesIn(target.path(), "data_txt"), cuts[k])) << k;
  }
}

}  // namespace

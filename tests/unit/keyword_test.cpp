// Split by keyword: a cut after each occurrence found from the left in the
// text before the first zero byte; the rest of the file is the last piece.
#include <algorithm>

#include "job_fixture.h"
#include "platform.h"

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
};

TEST_F(DialogTest, KeywordSplitCutsAfterEachOccurrence) {
  for (const KeywordRow& row : kRows) {
    SCOPED_TRACE("\"" + row.data + "\" cut after \"" + row.keyword + "\"");
    EXPECT_EQ(ReferenceCuts(row.data, row.keyword), row.pieces) << "the reference itself";
    TempDir target;
    WriteBytes(In("data.txt"), row.data);
    Split(In("data.txt"), {Keyword, row.keyword}, target.path());
    EXPECT_EQ(PiecesIn(target.path(), "data_txt"), row.pieces);
    EXPECT_EQ(ListDir(target.path()).size(), row.pieces.size());
    // No question and no progress bar for this method.
    EXPECT_EQ(dialog.log(), row.pieces.empty() ? AroundSplit({}) : AroundSplit({Info(known::kSplitFinished)}));
  }
}

TEST_F(DialogTest, KeywordSplitAcrossSmallViewsMatchesTheReference) {
  // Occurrences just before and after every view boundary, and one that
  // straddles each boundary by a different amount.
  const uint64_t granule = MappingGranularity();
  const std::string keyword = "<<CUT-HERE>>";
  std::string data = PatternBytes(granule * (keyword.size() + 2) + 123, 3);
  for (char& c : data) c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
  for (uint64_t b = granule, shift = 0; b + granule < data.size(); b += granule, ++shift) {
    data.replace(b - shift, keyword.size(), keyword);
    data.replace(b - shift - 40, keyword.size(), keyword);
    data.replace(b + 30, keyword.size(), keyword);
  }
  data[data.size() - 500] = '\0';                            // the text ends here
  data.replace(data.size() - 400, keyword.size(), keyword);  // never found

  Log expected = ReferenceCuts(data, keyword);
  ASSERT_GT(expected.size(), 30u);
  SetViewSizeForTests(1);  // two granules a view
  WriteBytes(In("v.txt"), data);
  Split(In("v.txt"), {Keyword, keyword}, out);
  EXPECT_EQ(PiecesIn(out, "v_txt"), expected);
}

}  // namespace

#include <string>
#include <vector>

#include "job_fixture.h"
#include "keyword_search.h"
#include "platform.h"
#include "texts.h"

namespace {

using Log = std::vector<std::string>;

// The definition, byte by byte: cut after each non-overlapping occurrence
// found from the left in the text before the first zero byte; the rest of
// the data is the last piece. No occurrence: no pieces.
std::vector<std::string> ReferenceCuts(const std::string& data, const std::string& keyword) {
  size_t textEnd = data.find('\0');
  if (textEnd == std::string::npos) textEnd = data.size();
  std::vector<std::string> pieces;
  size_t cursor = 0;
  for (size_t at = cursor; at + keyword.size() <= textEnd;) {
    if (data.compare(at, keyword.size(), keyword) == 0) {
      pieces.push_back(data.substr(cursor, at + keyword.size() - cursor));
      cursor = at = at + keyword.size();
    } else {
      ++at;
    }
  }
  if (!pieces.empty()) pieces.push_back(data.substr(cursor));
  return pieces;
}

struct KeywordRow {
  std::string data;
  std::string keyword;
  std::vector<std::string> pieces;
};

std::string Z(const char* text, size_t n) { return std::string(text, n); }

const KeywordRow kRows[] = {
    {"ab--cd--ef", "--", {"ab--", "cd--", "ef"}},
    {"ab--cd--", "--", {"ab--", "cd--", ""}},
    {"----", "--", {"--", "--", ""}},
    {Z("a--b--c\0d--e", 12), "--", {"a--", "b--", Z("c\0d--e", 6)}},
    {"abcd", "--", {}},
    {Z("ab\0--cd", 7), "--", {}},
    {"abababa", "aba", {"aba", "baba", ""}},  // the occurrence at offset 2 overlaps the first
    {"--abc", "--", {"--", "abc"}},            // found once: the rest is kept as piece 2
    {"ab-", "--", {}},                         // a trailing half keyword starts nothing
    {"x--y-", "--", {"x--", "y-"}},
    {"ABC--abc", "abc", {"ABC--abc", ""}},     // exact case only
    {"abc", "ABC", {}},
    {Z("a--\0--b", 7), "--", {"a--", Z("\0--b", 4)}},
    {std::string(3, 'k') + "0123456789012345678901234" + "tail", "0123456789012345678901234",
     {"kkk0123456789012345678901234", "tail"}},
};

TEST(FindKeyword, FindsTheFirstWholeOccurrenceBeforeTheFirstZero) {
  for (const KeywordRow& row : kRows) {
    const auto* start = reinterpret_cast<const unsigned char*>(row.data.data());
    const auto* end = start + row.data.size();
    const unsigned char* found = FindKeyword(start, end, row.keyword.c_str());
    size_t expected = row.data.find(row.keyword);
    size_t zero = row.data.find('\0');
    if (expected == std::string::npos || (zero != std::string::npos && zero < expected)) {
      EXPECT_EQ(found, nullptr) << row.data;
    } else {
      EXPECT_EQ(found, start + expected) << row.data;
    }
  }
}

TEST(FindKeyword, ReadsNothingPastTheEnd) {
  // Only the first three bytes are data: "ab-" must not match "--" by
  // peeking at the fourth.
  const char bytes[] = "ab--";
  const auto* start = reinterpret_cast<const unsigned char*>(bytes);
  EXPECT_EQ(FindKeyword(start, start + 3, "--"), nullptr);
  EXPECT_EQ(FindKeyword(start, start + 4, "--"), start + 2);
}

TEST(ReferenceCuts, MatchesTheWorkedTable) {
  for (const KeywordRow& row : kRows) EXPECT_EQ(ReferenceCuts(row.data, row.keyword), row.pieces) << row.data;
}

TEST_F(JobTest, KeywordSplitFollowsTheTable) {
  for (const KeywordRow& row : kRows) {
    TempDir target;
    gSession = SessionState();
    dialog.ClearLog();
    PrepareSplit("data.txt", row.data, Keyword, row.keyword);
    dialog.SetText(IDC_TARGET_PATH, target.path());
    JobOutcome outcome = Split();

    std::vector<std::string> pieces;
    for (size_t k = 1; FileExists(target.File("data_txt." + std::to_string(k))); ++k) {
      pieces.push_back(ReadBytes(target.File("data_txt." + std::to_string(k))));
    }
    EXPECT_EQ(pieces, row.pieces) << row.data;
    EXPECT_TRUE(dialog.Questions().empty());
    EXPECT_TRUE(dialog.Entries("pos ").empty()) << "the keyword method leaves the progress bar alone";
    if (row.pieces.empty()) {
      EXPECT_EQ(outcome, JobOutcome::kRefused);
      EXPECT_TRUE(dialog.InfoBoxes().empty());
      EXPECT_EQ(gSession.lastPieceNumber, 0u);
    } else {
      EXPECT_EQ(outcome, JobOutcome::kFinished);
      EXPECT_EQ(dialog.InfoBoxes(), Log{kMsgSplitFinished});
      EXPECT_EQ(gSession.lastPieceNumber, row.pieces.size());
    }
    EXPECT_EQ(gSession.valueBuffer, row.keyword);
  }
}

TEST_F(JobTest, KeywordSplitAcrossViewsMatchesTheReference) {
  // Occurrences at, just before and just after every view boundary, and a
  // keyword that straddles each boundary by every possible amount.
  const uint64_t granule = MappingGranularity();
  const std::string keyword = "<<CUT-HERE>>";
  std::string data = PatternBytes(granule * (keyword.size() + 2) + 123, 3);
  for (char& c : data) c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
  for (uint64_t b = granule, shift = 0; b + granule < data.size(); b += granule, ++shift) {
    data.replace(b - shift, keyword.size(), keyword);  // straddles by every amount in turn
    data.replace(b - shift - 40, keyword.size(), keyword);
    data.replace(b + 30, keyword.size(), keyword);
  }
  data.replace(data.size() - 500, 1, std::string(1, '\0'));  // the text ends here
  data.replace(data.size() - 400, keyword.size(), keyword);   // never found

  std::vector<std::string> expected = ReferenceCuts(data, keyword);
  ASSERT_GT(expected.size(), 10u);
  SetViewSizeForTests(1);
  PrepareSplit("v.txt", data, Keyword, keyword);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(PiecesOf("v_txt"), expected);
}

TEST_F(JobTest, KeywordFieldIsReadWhole) {
  std::string keyword(25, 'q');
  PrepareSplit("k.txt", "aa" + keyword + "bb", Keyword, keyword);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(PiecesOf("k_txt"), (Log{"aa" + keyword, "bb"}));
}

TEST_F(JobTest, KeywordSplitReplacesAnExistingFirstPiece) {
  WriteBytes(Out("k_txt.1"), std::string(1000, 'z'));
  PrepareSplit("k.txt", "a--b", Keyword, "--");
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(PiecesOf("k_txt"), (Log{"a--", "b"}));
}

}  // namespace

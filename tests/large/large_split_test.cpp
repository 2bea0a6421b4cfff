// Sources beyond 4 GiB, natively and in the 32-bit Windows program: sparse
// sources of 5 GiB and of 4 GiB + 1 byte split by size and by count and
// joined back, and a written 5 GiB source split by keyword with
// occurrences where the views end and past 4 GiB. Every piece is checked
// byte for byte against the source's known layout, and natively also by
// its checksum against what coreutils split makes of the source. Every
// file is removed when a test ends; a test skips only when the disk lacks
// the room.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "join_job.h"
#include "large_files.h"
#include "naming.h"
#include "resource_ids.h"
#include "session_state.h"
#include "source_view.h"
#include "split_job.h"
#include "system_shim.h"
#include "test_files.h"
#include "text_format.h"
#include "texts.h"

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

// 16 bytes that name their own offset: a piece cut from the wrong place
// cannot hold the right ones.
std::string Marker(uint64_t offset) {
  std::string bytes = "@" + std::to_string(offset);
  bytes.resize(16, '#');
  return bytes;
}

// Zeros, with markers at the start, across 2 GiB and 4 GiB, across each
// GiB boundary and at the very end.
Layout SparseLayout(uint64_t size) {
  std::vector<uint64_t> offsets = {0, (uint64_t{1} << 31) - 8, kFourGiB - 8, size - 16};
  for (uint64_t g = kGiB; g < size; g += kGiB) offsets.push_back(g - 3);
  std::sort(offsets.begin(), offsets.end());
  Layout layout;
  layout.size = size;
  uint64_t free = 0;
  for (uint64_t offset : offsets) {
    if (offset < free || offset + 16 > size) continue;
    layout.overlays.push_back({offset, Marker(offset)});
    free = offset + 16;
  }
  return layout;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct JobRun {
  JobOutcome outcome;
  std::vector<std::string> questions;
  std::vector<std::string> infos;
  double seconds;
};

JobRun RunSplit(const std::string& source, const std::string& target, SplitMethod method, const std::string& value,
                bool kilobytes) {
  gSession.splitMethod = method;
  FakeDialog dialog;
  dialog.SetText(IDC_SOURCE_PATH, source);
  dialog.SetText(IDC_TARGET_PATH, target);
  dialog.SetText(IDC_VALUE, value);
  dialog.SetCheck(IDC_UNIT_KB, kilobytes);
  dialog.SetCheck(IDC_MAKE_BATCH, true);
  dialog.AnswerYesNo(kAnswerYes);
  auto start = std::chrono::steady_clock::now();
  JobOutcome outcome = PerformSplitJob(dialog.handle());
  return {outcome, dialog.Questions(), dialog.InfoBoxes(), SecondsSince(start)};
}

JobRun RunJoin(const std::string& firstPiece, const std::string& target) {
  FakeDialog dialog;
  dialog.SetText(IDC_SOURCE_PATH, firstPiece);
  dialog.SetText(IDC_TARGET_PATH, target);
  dialog.AnswerYesNo(kAnswerYes);
  auto start = std::chrono::steady_clock::now();
  JobOutcome outcome = PerformJoinJob(dialog.handle());
  return {outcome, dialog.Questions(), dialog.InfoBoxes(), SecondsSince(start)};
}

// The stretches [begin, end) of the source that the pieces must hold.
using Stretches = std::vector<std::pair<uint64_t, uint64_t>>;

std::vector<std::string> PieceNames(size_t count, bool withBatch) {
  std::vector<std::string> names;
  for (size_t k = 1; k <= count; ++k) names.push_back("big_img." + DecimalText(k));
  if (withBatch) names.push_back("JOIN.BAT");
  std::sort(names.begin(), names.end());
  return names;
}

class LargeSource : public ::testing::Test {
 protected:
  void SetUp() override {
    sourceDir_ = dir_.Subdir("source");
    piecesDir_ = dir_.Subdir("pieces");
    joinedDir_ = dir_.Subdir("joined");
    source_ = sourceDir_ + kPathSeparator + "big.img";
    gSession = SessionState();
  }
  void TearDown() override { SetViewSizeForTests(0); }

  // Room for `bytes` more on the disk of the scratch folder, with 1 GiB to spare.
  bool HasRoomFor(uint64_t bytes) {
    uint64_t free = FreeBytesIn(dir_.path());
    if (free >= bytes + kGiB) return true;
    std::printf("[  SKIPPED ] needs %llu free bytes in %s, has %llu\n",
                static_cast<unsigned long long>(bytes + kGiB), dir_.path().c_str(),
                static_cast<unsigned long long>(free));
    return false;
  }

  std::string Piece(uint64_t k) const { return piecesDir_ + kPathSeparator + "big_img." + DecimalText(k); }

  // Each piece is the stretch of the source it must be; natively its
  // checksum is also the one coreutils split gives with the same options.
  void ExpectPieces(const Layout& layout, const Stretches& stretches, const std::string& coreutilsOptions) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(ListDir(piecesDir_), PieceNames(stretches.size(), true));
    for (size_t k = 0; k < stretches.size(); ++k) {
      EXPECT_TRUE(HoldsLayoutRange(Piece(k + 1), layout, stretches[k].first, stretches[k].second));
    }
#ifndef _WIN32
    if (!coreutilsOptions.empty()) {
      std::vector<std::string> expected = CoreutilsSplitChecksums(source_, coreutilsOptions, dir_.Subdir("scratch"));
      ASSERT_EQ(expected.size(), stretches.size()) << "split " << coreutilsOptions;
      for (size_t k = 0; k < stretches.size(); ++k) {
        EXPECT_EQ(CoreutilsChecksum(Piece(k + 1)), expected[k]) << "piece " << k + 1;
      }
    }
#else
    (void)coreutilsOptions;
#endif
    std::printf("  checked %zu pieces in %.1f s\n", stretches.size(), SecondsSince(start));
  }

  // The program maps a source in views; in a 32-bit process none may come
  // near the size of the address space, and the source must have been
  // mapped beyond 4 GiB.
  void ExpectViewsFitTheProcess(uint64_t sourceSize) {
    const auto& views = shim::Views();
    ASSERT_FALSE(views.empty());
    uint64_t largest = 0;
    uint64_t furthest = 0;
    for (const auto& view : views) {
      largest = std::max(largest, view.length);
      furthest = std::max(furthest, view.offset + view.length);
    }
    std::printf("  %zu views, the largest %llu bytes\n", views.size(), static_cast<unsigned long long>(largest));
    EXPECT_EQ(furthest, sourceSize);
    if (sizeof(void*) == 4) {
      EXPECT_LE(largest, 512 * kMiB);
    }
  }

  void ClearPieces() {
    for (const std::string& name : ListDir(piecesDir_)) RemovePath(piecesDir_ + kPathSeparator + name);
  }

  // A sparse source split by size (in KB) and by count, each checked, and
  // the count pieces joined back.
  void SplitAndJoinSparse(uint64_t size, uint64_t sizeKilobytes, uint64_t count) {
    if (!HasRoomFor(2 * size)) {
      GTEST_SKIP() << "not enough free disk space";
    }
    const Layout layout = SparseLayout(size);
    ASSERT_TRUE(WriteLayout(source_, layout));
    shim::Scope hooks;

    // By size.
    const uint64_t pieceSize = sizeKilobytes * 1024;
    Stretches bySize;
    for (uint64_t at = 0; at < size; at += pieceSize) bySize.push_back({at, std::min(size, at + pieceSize)});
    JobRun run = RunSplit(source_, piecesDir_, Size, DecimalText(sizeKilobytes), true);
    std::printf("  split by size into %zu pieces: %.1f s\n", bySize.size(), run.seconds);
    EXPECT_EQ(run.outcome, JobOutcome::kFinished);
    EXPECT_EQ(run.questions, std::vector<std::string>{FillTemplate(kConfirmSize, {DecimalText(bySize.size())})});
    EXPECT_EQ(run.infos, std::vector<std::string>{kMsgSplitFinished});
    ExpectViewsFitTheProcess(size);
    ExpectPieces(layout, bySize, "-b " + DecimalText(pieceSize));
    ClearPieces();

    // By count: the last piece takes the remainder.
    shim::ClearHooks();
    const uint64_t share = size / count;
    const uint64_t rest = size % count;
    Stretches byCount;
    for (uint64_t k = 0; k < count; ++k) byCount.push_back({k * share, k + 1 == count ? size : (k + 1) * share});
    run = RunSplit(source_, piecesDir_, Pieces, DecimalText(count), false);
    std::printf("  split by count into %llu pieces: %.1f s\n", static_cast<unsigned long long>(count), run.seconds);
    EXPECT_EQ(run.outcome, JobOutcome::kFinished);
    std::string question =
        rest == 0 ? FillTemplate(kConfirmPieces, {DecimalText(count), DecimalText(share)})
                  : FillTemplate(kConfirmPiecesRemainder, {DecimalText(count - 1), DecimalText(share),
                                                           DecimalText(share + rest)});
    EXPECT_EQ(run.questions, std::vector<std::string>{question});
    EXPECT_EQ(run.infos, std::vector<std::string>{kMsgSplitFinished});
    ExpectViewsFitTheProcess(size);
    ExpectPieces(layout, byCount, "-n " + DecimalText(count));
    RemovePath(piecesDir_ + kPathSeparator + "JOIN.BAT");

    // Joined back: the sizes add up in 64 bits and print whole.
    run = RunJoin(Piece(1), joinedDir_);
    std::printf("  joined %llu pieces: %.1f s\n", static_cast<unsigned long long>(count), run.seconds);
    EXPECT_EQ(run.outcome, JobOutcome::kFinished);
    EXPECT_EQ(run.questions, std::vector<std::string>{FillTemplate(
                                 kConfirmJoin, {DecimalText(count), "big.img", "big.img", DecimalText(size), "big.img"})});
    EXPECT_EQ(run.infos, std::vector<std::string>{kMsgJoinFinished});
    const std::string joined = joinedDir_ + kPathSeparator + "big.img";
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(HoldsLayoutRange(joined, layout, 0, size));
#ifndef _WIN32
    EXPECT_EQ(CoreutilsChecksum(joined), CoreutilsChecksum(source_));
#endif
    std::printf("  checked the joined file in %.1f s\n", SecondsSince(start));
    EXPECT_TRUE(HoldsLayoutRange(source_, layout, 0, size)) << "the source must be untouched";
  }

  LargeScratchDir dir_;
  std::string sourceDir_;
  std::string piecesDir_;
  std::string joinedDir_;
  std::string source_;
};

TEST_F(LargeSource, FiveGiBSparseBySizeAndByCountAndJoinedBack) {
  // 1,500,000 KB pieces: three whole ones, the third across 4 GiB, and a
  // remainder of 760,709,120 bytes; three pieces of 1,789,569,706 bytes
  // with the last 2 bytes longer.
  SplitAndJoinSparse(5 * kGiB, 1500000, 3);
}

TEST_F(LargeSource, FourGiBPlusOneByteSparseBySizeAndByCountAndJoinedBack) {
  // 1 GiB pieces leave a last piece of the one byte past 4 GiB; two pieces
  // are 2^31 bytes and 2^31 + 1 bytes, sizes no signed 32-bit number holds.
  SplitAndJoinSparse(kFourGiB + 1, 1048576, 2);
}

// How this engine moves its views, used only to put occurrences of the
// keyword where views end: a view starts at an offset rounded down to the
// granularity and covers viewSize bytes (or what is asked, if more); the
// search scans a view and goes on from where a match could still run past
// its end; a piece is written view after view from its start. The test
// checks afterwards, against the views actually mapped, that views did end
// inside those occurrences, so a change of policy fails loudly here
// instead of testing less.
class ViewModel {
 public:
  ViewModel(uint64_t fileSize, uint64_t viewSize, uint64_t granularity, uint64_t keywordLength)
      : fileSize_(fileSize), granularity_(granularity), keywordLength_(keywordLength) {
    uint64_t granules = viewSize / granularity;
    viewSize_ = (granules < 2 ? 2 : granules) * granularity;
  }

  // The first end of a view that the search from `from` maps, at or after
  // `atLeast`, when nothing is found on the way.
  uint64_t ViewEndAtOrAfter(uint64_t from, uint64_t atLeast) const {
    ViewModel copy = *this;
    for (uint64_t position = from;;) {
      uint64_t available = copy.Bytes(position, keywordLength_);
      if (position + available >= atLeast || position + available >= fileSize_) return position + available;
      position += available - keywordLength_ + 1;
    }
  }

  // The search from `from` finds the occurrence at `at`.
  void Find(uint64_t from, uint64_t at) {
    for (uint64_t position = from;;) {
      uint64_t available = Bytes(position, keywordLength_);
      if (at + keywordLength_ <= position + available) return;
      position += available - keywordLength_ + 1;
    }
  }

  void Write(uint64_t from, uint64_t to) {
    for (uint64_t at = from; at < to;) at += std::min(to - at, Bytes(at, 1));
  }

 private:
  uint64_t Bytes(uint64_t offset, uint64_t wanted) {
    wanted = std::min(wanted, fileSize_ - offset);
    if (!(held_ && offset >= base_ && offset + wanted <= base_ + length_)) {
      base_ = offset - offset % granularity_;
      length_ = std::min(std::max(viewSize_, offset - base_ + wanted), fileSize_ - base_);
      held_ = true;
    }
    return base_ + length_ - offset;
  }

  uint64_t fileSize_;
  uint64_t viewSize_;
  uint64_t granularity_;
  uint64_t keywordLength_;
  bool held_ = false;
  uint64_t base_ = 0;
  uint64_t length_ = 0;
};

TEST_F(LargeSource, FiveGiBKeywordCutsAcrossViewsAndPastFourGiB) {
  const uint64_t size = 5 * kGiB;
  if (!HasRoomFor(2 * size)) {
    GTEST_SKIP() << "not enough free disk space";
  }
  // A 64-bit build would map the whole source at once; give it the 32-bit
  // program's view size so that its views end inside the source too.
  if (ViewSizeForSplit() > kGiB) SetViewSizeForTests(256 * kMiB);
  const uint64_t viewSize = ViewSizeForSplit();
  const uint64_t granularity = MappingGranularity();
  const std::string keyword = "#CUT#HERE#";
  const uint64_t length = keyword.size();

  // Occurrences, in order: across the second view end of the first search;
  // across the end of the view that writing piece 1 left; across the last
  // view end below 4 GiB; across 4 GiB itself; across a view end past
  // 4.5 GiB. Then a zero byte, which ends the search, and an occurrence
  // after it that must not cut.
  ViewModel model(size, viewSize, granularity, length);
  std::vector<uint64_t> cuts;  // where each occurrence starts
  std::vector<uint64_t> straddling;
  uint64_t cursor = 0;
  auto place = [&](uint64_t at, bool acrossAViewEnd) {
    ASSERT_GE(at, cursor);
    model.Find(cursor, at);
    model.Write(cursor, at + length);
    cuts.push_back(at);
    if (acrossAViewEnd) straddling.push_back(at);
    cursor = at + length;
  };
  place(model.ViewEndAtOrAfter(0, viewSize + 1) - 1, true);
  place(model.ViewEndAtOrAfter(cursor, cursor + length) - 5, true);
  uint64_t below = model.ViewEndAtOrAfter(cursor, cursor + length);
  for (uint64_t next; (next = model.ViewEndAtOrAfter(cursor, below + 1)) <= kFourGiB - 2 * length;) below = next;
  place(below - (length - 1), true);
  place(kFourGiB - 5, false);
  place(model.ViewEndAtOrAfter(cursor, kFourGiB + kGiB / 2) - 3, true);
  ASSERT_FALSE(HasFailure());

  Layout layout;
  layout.size = size;
  for (int i = 0; i < 4093; ++i) layout.block += static_cast<char>('a' + (i * 7 + i / 26) % 26);
  for (uint64_t at : cuts) layout.overlays.push_back({at, keyword});
  const uint64_t zeroAt = size - 4096;
  layout.overlays.push_back({zeroAt, std::string(1, '\0')});
  layout.overlays.push_back({size - 2048, keyword});

  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WriteLayout(source_, layout));
  std::printf("  wrote the 5 GiB source in %.1f s\n", SecondsSince(start));

  shim::Scope hooks;
  JobRun run = RunSplit(source_, piecesDir_, Keyword, keyword, false);
  std::printf("  split by keyword into %zu pieces: %.1f s\n", cuts.size() + 1, run.seconds);
  EXPECT_EQ(run.outcome, JobOutcome::kFinished);
  EXPECT_TRUE(run.questions.empty());
  EXPECT_EQ(run.infos, std::vector<std::string>{kMsgSplitFinished});

  // Each cut ends just past an occurrence; the tail runs to the end of the
  // file, through the zero byte and the occurrence after it.
  Stretches stretches;
  uint64_t begin = 0;
  for (uint64_t at : cuts) {
    stretches.push_back({begin, at + length});
    begin = at + length;
  }
  stretches.push_back({begin, size});
  ExpectPieces(layout, stretches, "");

  for (uint64_t at : straddling) {
    bool straddled = false;
    for (const auto& view : shim::Views()) {
      uint64_t end = view.offset + view.length;
      straddled = straddled || (end > at && end < at + length);
    }
    EXPECT_TRUE(straddled) << "no view ended inside the occurrence at " << at
                           << ": the engine's views moved; place the occurrences anew";
  }
  ExpectViewsFitTheProcess(size);
  EXPECT_TRUE(HoldsLayoutRange(source_, layout, 0, size)) << "the source must be untouched";
}

}  // namespace

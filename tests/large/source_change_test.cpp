// A source that changes while it is being split, and a piece that goes
// away while a set is being joined, at exact moments: the shim acts when
// the engine asks for the free space (between the split's size check and
// its mapping of the source), or when it creates a piece or the joined
// file. The changes themselves are real: the file is truncated, extended
// or removed on the disk. Each run must end with a clear message, without
// the completion message, without a batch file, without a piece that is
// not what it claims to be, and with the source as the change left it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_dialog.h"
#include "fault_links.h"
#include "join_job.h"
#include "naming.h"
#include "resource_ids.h"
#include "session_state.h"
#include "split_job.h"
#include "system_shim.h"
#include "test_files.h"
#include "text_format.h"
#include "texts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Text with the keyword every 4,000 bytes or so, and no zero byte.
std::string KeywordSource(size_t size) {
  std::string bytes(size, 'x');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 31 + i / 97) % 26);
  for (size_t at = 3999; at + 2 < size; at += 4001) bytes.replace(at, 2, "--");
  return bytes;
}

// Sets the file's size from outside the engine: on POSIX with truncate(2);
// under Wine from a host program, as the Windows side cannot open the
// source for writing while the split holds it.
bool ResizeBehindTheEngine(const std::string& path, uint64_t size) {
#ifdef _WIN32
  std::string host = fault::HostPath(path);
  return !host.empty() && fault::RunHostCommand("truncate -s " + DecimalText(size) + " '" + host + "'");
#else
  return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0;
#endif
}

struct SplitCase {
  const char* name;
  SplitMethod method;
  const char* value;
};

const SplitCase kSplitCases[] = {
    {"size", Size, "4000"},
    {"count", Pieces, "7"},
    {"keyword", Keyword, "--"},
};

class SourceChange : public ::testing::Test {
 protected:
  void SetUp() override {
    gSession = SessionState();
    sourcePath_ = dir_.Subdir("in") + kPathSeparator + "data.bin";
    target_ = dir_.Subdir("out");
  }

  JobOutcome Split(const SplitCase& split, FakeDialog& dialog) {
    gSession.splitMethod = split.method;
    dialog.SetText(IDC_SOURCE_PATH, sourcePath_);
    dialog.SetText(IDC_TARGET_PATH, target_);
    dialog.SetText(IDC_VALUE, split.value);
    dialog.SetCheck(IDC_MAKE_BATCH, true);
    dialog.AnswerYesNo(kAnswerYes);
    return PerformSplitJob(dialog.handle());
  }

  std::string PieceName(int k) const { return "data_bin." + std::to_string(k); }

  TempDir dir_;
  std::string sourcePath_;
  std::string target_;
};

TEST_F(SourceChange, BetweenTheSizeCheckAndTheMappingStopsTheSplitBeforeAnyPiece) {
  const std::string original = KeywordSource(64 * 1024);
  for (const SplitCase& split : kSplitCases) {
    for (uint64_t newSize : {uint64_t{10 * 1024}, uint64_t{64 * 1024 + 1}}) {
      SCOPED_TRACE(std::string(split.name) + ", source changed to " + DecimalText(newSize) + " bytes");
      WriteBytes(sourcePath_, original);
      shim::Scope hooks;
      bool changed = false;
      shim::BeforeFreeSpaceQuery([&] { changed = ResizeBehindTheEngine(sourcePath_, newSize); });
      FakeDialog dialog;
      JobOutcome outcome = Split(split, dialog);
      ASSERT_TRUE(changed) << "the source could not be changed";
      EXPECT_EQ(outcome, JobOutcome::kFailed);
      EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{kMsgSourceChanged});
      EXPECT_TRUE(dialog.Questions().empty());
      EXPECT_TRUE(ListDir(target_).empty());
      std::string now = ReadBytes(sourcePath_);
      std::string expected = original;
      expected.resize(newSize, '\0');
      EXPECT_TRUE(now == expected) << "the source must be as the change left it";
    }
  }
}

#ifndef _WIN32
// POSIX lets another process truncate or extend a file that is mapped.
// The split must stop with the same message after the piece it was
// writing, and remove that piece (read from a source of another size, it
// may hold bytes that are not the source's), instead of going on with a
// plan that no longer fits or faulting on pages the truncation took away.
TEST_F(SourceChange, WhileSplittingStopsAtTheNextPiece) {
  const std::string original = KeywordSource(256 * 1024);
  for (const SplitCase& split : kSplitCases) {
    for (uint64_t newSize : {uint64_t{6000}, uint64_t{256 * 1024 + 4096}}) {
      SCOPED_TRACE(std::string(split.name) + ", source changed to " + DecimalText(newSize) + " bytes");
      WriteBytes(sourcePath_, original);
      for (const std::string& name : ListDir(target_)) RemoveFile(target_ + kPathSeparator + name);
      shim::Scope hooks;
      // Piece 1 stays whole; the source changes before piece 2 is created.
      shim::BeforeCreatePiece([&](const std::string& path) {
        if (path == target_ + kPathSeparator + PieceName(2)) {
          ASSERT_TRUE(ResizeBehindTheEngine(sourcePath_, newSize));
        }
      });
      FakeDialog dialog;
      JobOutcome outcome = Split(split, dialog);
      EXPECT_EQ(outcome, JobOutcome::kFailed);
      EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{kMsgSourceChanged});
      EXPECT_EQ(ListDir(target_), std::vector<std::string>{PieceName(1)});
      std::string piece = ReadBytes(target_ + kPathSeparator + PieceName(1));
      EXPECT_TRUE(piece.size() > 0 && original.compare(0, piece.size(), piece) == 0);
    }
  }
}

// Piece 2 itself still lies within what the truncation leaves; the search
// after it would run into pages that are gone (a bus error before the
// engine checked the size after each piece).
TEST_F(SourceChange, TruncatedDuringAKeywordSplitStopsBeforeTheNextSearch) {
  const std::string original = KeywordSource(1024 * 1024);
  WriteBytes(sourcePath_, original);
  shim::Scope hooks;
  shim::BeforeCreatePiece([&](const std::string& path) {
    if (path == target_ + kPathSeparator + PieceName(2)) {
      ASSERT_TRUE(ResizeBehindTheEngine(sourcePath_, 9000));
    }
  });
  FakeDialog dialog;
  JobOutcome outcome = Split(kSplitCases[2], dialog);
  EXPECT_EQ(outcome, JobOutcome::kFailed);
  EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{kMsgSourceChanged});
  EXPECT_EQ(ListDir(target_), std::vector<std::string>{PieceName(1)});
}
#else
// Windows lets nobody write a file that the split holds open for reading
// only: a writer from the Windows side is turned away, and the split ends
// as if nothing had been tried.
TEST_F(SourceChange, WindowsWritersAreTurnedAwayWhileSplitting) {
  const std::string original = KeywordSource(64 * 1024);
  for (const SplitCase& split : kSplitCases) {
    SCOPED_TRACE(split.name);
    WriteBytes(sourcePath_, original);
    for (const std::string& name : ListDir(target_)) RemoveFile(target_ + kPathSeparator + name);
    shim::Scope hooks;
    int attempts = 0;
    int refused = 0;
    shim::BeforeCreatePiece([&](const std::string&) {
      ++attempts;
      HANDLE writer = CreateFileA(sourcePath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (writer == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) ++refused;
      if (writer != INVALID_HANDLE_VALUE) {
        SetFilePointer(writer, 100, nullptr, FILE_BEGIN);
        SetEndOfFile(writer);
        CloseHandle(writer);
      }
    });
    FakeDialog dialog;
    EXPECT_EQ(Split(split, dialog), JobOutcome::kFinished);
    EXPECT_GT(attempts, 0);
    EXPECT_EQ(refused, attempts);
    EXPECT_TRUE(ReadBytes(sourcePath_) == original);
  }
}
#endif

// Pieces 1 to 5 are there when the join counts them; piece 3 is gone when
// the joined file is created. The join stops at piece 3 and removes what
// it had written.
TEST(PieceVanishes, DuringTheJoinStopsItAndRemovesTheIncompleteFile) {
  gSession = SessionState();
  TempDir dir;
  const std::string pieces = dir.Subdir("pieces");
  const std::string joined = dir.Subdir("joined");
  std::vector<std::string> contents;
  for (int k = 1; k <= 5; ++k) {
    contents.push_back(PatternBytes(300000 + k, k));
    WriteBytes(pieces + kPathSeparator + "report_doc." + std::to_string(k), contents.back());
  }
  const std::string third = pieces + kPathSeparator + "report_doc.3";
  shim::Scope hooks;
  shim::BeforeCreateShared([&](const std::string&) { ASSERT_TRUE(RemoveFile(third)); });
  FakeDialog dialog;
  dialog.SetText(IDC_SOURCE_PATH, pieces + kPathSeparator + "report_doc.1");
  dialog.SetText(IDC_TARGET_PATH, joined);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(PerformJoinJob(dialog.handle()), JobOutcome::kFailed);
  EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{FillTemplate(kMsgPieceOpenFailed, {third})});
  EXPECT_TRUE(ListDir(joined).empty());
  for (int k : {1, 2, 4, 5}) {
    EXPECT_TRUE(ReadBytes(pieces + kPathSeparator + "report_doc." + std::to_string(k)) == contents[k - 1]);
  }
}

}  // namespace

// Whole jobs in memory: PerformSplitJob by keyword, by size or by count on
// a fuzzed source, seen through views of a few bytes, then PerformJoinJob
// on the pieces. The pieces must be exactly the reference cuts (keyword) or
// the plan's stretches (size, count), the completion message must come
// exactly when every piece is there, nothing else may appear in the target,
// every handle, mapping and view must be released, and the join must give
// the source back byte for byte.
//
// Input: method and flags, two value bytes, granularity, view size, keyword
// length, the keyword, then the source.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "join_job.h"
#include "memory_system.h"
#include "naming.h"
#include "reference.h"
#include "resource_ids.h"
#include "session_state.h"
#include "source_view.h"
#include "split_job.h"
#include "text_format.h"
#include "texts.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
  }
}

constexpr size_t kHeader = 6;
const char kSourcePath[] = "/in/name.ext";
const char kStem[] = "/out/name_ext";

// The stretches [start, end) the pieces must hold, in order; none when the
// split must not finish.
struct Expectation {
  std::vector<std::pair<uint64_t, uint64_t>> pieces;
  bool asks = false;  // a plan is shown for confirmation
};

Expectation ExpectKeyword(const std::string& source, const std::string& keyword) {
  Expectation expected;
  auto cuts = ReferenceCuts(reinterpret_cast<const unsigned char*>(source.data()), source.size(), keyword);
  if (cuts.empty()) return expected;
  uint64_t start = 0;
  for (size_t cut : cuts) {
    expected.pieces.push_back({start, cut});
    start = cut;
  }
  expected.pieces.push_back({start, source.size()});  // the tail, maybe empty
  return expected;
}

Expectation ExpectSize(uint64_t fileSize, int64_t size) {
  Expectation expected;
  if (size <= 0 || static_cast<uint64_t>(size) >= fileSize) return expected;
  expected.asks = true;
  uint64_t start = 0;
  for (; fileSize - start >= static_cast<uint64_t>(size); start += size) expected.pieces.push_back({start, start + size});
  if (start != fileSize) expected.pieces.push_back({start, fileSize});
  return expected;
}

Expectation ExpectCount(uint64_t fileSize, int64_t count) {
  Expectation expected;
  if (count <= 0) return expected;
  expected.asks = true;
  uint64_t pieceSize = fileSize / count;
  for (int64_t k = 0; k < count; ++k) {
    uint64_t start = k * pieceSize;
    expected.pieces.push_back({start, k + 1 == count ? fileSize : start + pieceSize});
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < kHeader) return 0;
  const SplitMethod method = static_cast<SplitMethod>(input[0] % 3);
  const bool folded = (input[0] & 4) != 0;
  const bool kilobytes = (input[0] & 8) != 0;
  const bool batch = (input[0] & 16) != 0;
  const bool negative = (input[0] & 32) != 0;
  const int64_t entry = (negative ? -1 : 1) * static_cast<int64_t>(input[1] | (input[2] << 8));
  const uint64_t granularity = 1 + input[3] % 16;
  const uint64_t viewSize = input[4] % 65;
  const size_t keywordLength = 1 + input[5] % 26;
  if (size < kHeader + keywordLength) return 0;

  std::string keyword;
  for (size_t i = 0; i < keywordLength; ++i) {
    unsigned char c = input[kHeader + i];
    if (folded) c = static_cast<unsigned char>("ab-"[c % 3]);
    keyword += static_cast<char>(c == 0 ? 1 : c);
  }
  std::string source;
  for (size_t i = kHeader + keywordLength; i < size; ++i) {
    source += static_cast<char>(folded ? "aaab--b\0"[input[i] & 7] : input[i]);
  }

  memory_system::Reset(granularity);
  memory_system::PutFile(kSourcePath, source);
  SetViewSizeForTests(viewSize);
  gSession = SessionState();
  gSession.splitMethod = method;

  FakeDialog dialog;
  dialog.SetText(IDC_SOURCE_PATH, kSourcePath);
  dialog.SetText(IDC_TARGET_PATH, "/out");
  dialog.SetCheck(IDC_MAKE_BATCH, batch);
  Expectation expected;
  if (method == Keyword) {
    dialog.SetText(IDC_VALUE, keyword);
    expected = ExpectKeyword(source, keyword);
  } else if (method == Size) {
    // Few counts: the pieces of a tiny size on a large source take long.
    int64_t value = entry % 4096;
    dialog.SetText(IDC_VALUE, std::to_string(value));
    dialog.SetCheck(IDC_UNIT_KB, kilobytes);
    expected = ExpectSize(source.size(), kilobytes ? value * 1024 : value);
  } else {
    int64_t value = entry % 2048;
    dialog.SetText(IDC_VALUE, std::to_string(value));
    expected = ExpectCount(source.size(), value);
  }
  if (source.empty()) expected = Expectation();
  dialog.AnswerYesNo(kAnswerYes);

  JobOutcome outcome = PerformSplitJob(dialog.handle());
  Check(memory_system::OpenResources() == 0, "split released everything");
  Check(memory_system::LargestView() <= (viewSize == 0 ? source.size() : viewSize + 2 * granularity + 26),
        "views no larger than asked");
  const bool finishes = !expected.pieces.empty();
  Check((outcome == JobOutcome::kFinished) == finishes, "outcome");
  Check(dialog.Questions().size() == (expected.asks ? 1u : 0u), "one confirmation for a plan");
  std::vector<std::string> boxes = dialog.InfoBoxes();
  Check(finishes == (!boxes.empty() && boxes.back() == kMsgSplitFinished), "completion message");

  std::string bytes;
  Check(memory_system::GetFile(kSourcePath, &bytes) && bytes == source, "source untouched");
  size_t outputs = 0;
  for (size_t k = 0; k < expected.pieces.size(); ++k) {
    const auto& piece = expected.pieces[k];
    Check(memory_system::GetFile(MakePieceName(kStem, DecimalText(k + 1)), &bytes), "piece exists");
    Check(bytes == source.substr(piece.first, piece.second - piece.first), "piece bytes");
    ++outputs;
  }
  if (finishes && batch) {
    Check(memory_system::GetFile("/out/JOIN.BAT", &bytes) && !bytes.empty(), "batch file");
    ++outputs;
  }
  Check(memory_system::FileNames().size() == 1 + outputs, "nothing else written");
  if (!finishes) return 0;

  FakeDialog join;
  join.SetText(IDC_SOURCE_PATH, std::string(kStem) + ".1");
  join.SetText(IDC_TARGET_PATH, "/back");
  join.AnswerYesNo(kAnswerYes);
  Check(PerformJoinJob(join.handle()) == JobOutcome::kFinished, "join finished");
  Check(memory_system::OpenResources() == 0, "join released everything");
  Check(join.Questions().size() == 1 &&
            join.Questions()[0] == FillTemplate(kConfirmJoin, {DecimalText(expected.pieces.size()), "name.ext",
                                                                 "name.ext", DecimalText(source.size()), "name.ext"}),
        "join confirmation");
  Check(memory_system::GetFile("/back/name.ext", &bytes) && bytes == source, "joined file is the source");
  return 0;
}

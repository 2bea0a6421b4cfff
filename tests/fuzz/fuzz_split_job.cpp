// A fuzzed source split by keyword, size or count through tiny views, then joined: the pieces are the
// stretches the method defines (written from its definition), the completion message comes exactly then,
// nothing else appears, all is released. Input: flags, 2 value bytes, granularity, view size, keyword, source.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_entries.h"
#include "fake_dialog.h"
#include "join_job.h"
#include "memory_system.h"
#include "split_job.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) std::fprintf(stderr, "mismatch: %s\n", what), std::abort();
}

using Stretches = std::vector<std::pair<uint64_t, uint64_t>>;

// A cut just past each occurrence in the text before the first zero byte, each search from the last cut.
Stretches KeywordPieces(const std::string& source, const std::string& keyword) {
  Stretches pieces;
  const std::string text = source.substr(0, source.find('\0'));
  uint64_t start = 0;
  for (size_t at; (at = text.find(keyword, start)) != std::string::npos; start = at + keyword.size()) pieces.push_back({start, at + keyword.size()});
  if (!pieces.empty()) pieces.push_back({start, source.size()});
  return pieces;
}

// `count` pieces of `share` bytes, and the rest in a piece of its own (by size) or in the last (by count).
Stretches Planned(uint64_t fileSize, uint64_t share, uint64_t count, bool restApart) {
  Stretches pieces;
  for (uint64_t k = 0; k < count; ++k) pieces.push_back({k * share, (k + 1) * share});
  if (restApart && count * share < fileSize) pieces.push_back({count * share, fileSize});
  if (!restApart && count > 0) pieces.back().second = fileSize;
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 6 || size < 7u + input[5] % 26) return 0;
  const SplitMethod method = static_cast<SplitMethod>(input[0] % 3);
  const bool folded = input[0] & 4, kilobytes = input[0] & 8, batch = input[0] & 16;
  const int64_t entry = (input[0] & 32 ? -1 : 1) * static_cast<int64_t>(input[1] | (input[2] << 8));
  const uint64_t granularity = 1 + input[3] % 16, viewSize = input[4] % 65;
  const size_t keywordEnd = 7u + input[5] % 26;
  // Folded onto a tiny alphabet, near-matches and overlaps are common.
  std::string keyword, source;
  for (size_t i = 6; i < keywordEnd; ++i) keyword += folded ? "ab-"[input[i] % 3] : input[i] == 0 ? '\1' : input[i];
  for (size_t i = keywordEnd; i < size; ++i) source += folded ? "aaab--b\0"[input[i] & 7] : input[i];

  memory_system::Reset(granularity);
  memory_system::Files()["/in/name.ext"] = source;
  SetViewSizeForTests(viewSize);
  SplitRequest request{"/in/name.ext", "/out", method, keyword, kilobytes ? SizeUnit::kKilobytes : SizeUnit::kBytes, batch};
  const int64_t value = entry % (method == Size ? 4096 : 2048);
  if (method != Keyword) request.value = std::to_string(value);
  const uint64_t bytes = value > 0 ? value * (kilobytes ? 1024 : 1) : 0, fileSize = source.size();
  Stretches expected;
  if (method == Keyword) expected = KeywordPieces(source, keyword);
  if (method == Size && bytes > 0 && bytes < fileSize) expected = Planned(fileSize, bytes, fileSize / bytes, true);
  if (method == Pieces && value > 0 && fileSize > 0) expected = Planned(fileSize, fileSize / value, value, false);

  FakeDialog split, join;
  split.AnswerYesNo(kAnswerYes), join.AnswerYesNo(kAnswerYes);
  DialogReport splitReport(split.handle()), joinReport(join.handle());
  const bool finished = PerformSplitJob(request, splitReport) == JobOutcome::kFinished;
  Check(memory_system::OpenResources() == 0, "split released everything");
  Check(memory_system::LargestView() <= (viewSize == 0 ? source.size() : viewSize + 2 * granularity + 26), "view size");
  Check(finished == !expected.empty(), "outcome");
  Check(split.Questions().size() == (method != Keyword && !expected.empty() ? 1u : 0u), "one question for a plan");
  Check(finished == (!split.InfoBoxes().empty() && split.InfoBoxes().back() == "Finished Splitting Successfully !!!"),
        "completion message");
  auto files = memory_system::Files();
  Check(files["/in/name.ext"] == source, "source untouched");
  Check(files.size() == 1 + expected.size() + (finished && batch), "nothing else written");
  for (size_t k = 0; k < expected.size(); ++k) {
    const auto& [begin, end] = expected[k];
    Check(files["/out/name_ext." + std::to_string(k + 1)] == source.substr(begin, end - begin), "piece");
  }
  if (!finished) return 0;
  Check(!batch || !files["/out/JOIN.BAT"].empty(), "batch file");

  Check(PerformJoinJob(JoinRequest{"/out/name_ext.1", "/back"}, joinReport) == JobOutcome::kFinished &&
            join.Questions().size() == 1, "join finished after one question");
  Check(memory_system::OpenResources() == 0, "join released everything");
  Check(memory_system::Files()["/back/name.ext"] == source, "joined file is the source");
  return 0;
}

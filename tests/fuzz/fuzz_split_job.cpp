// A fuzzed source split by keyword, size or count, from a file or a stream, read in small bites and copied
// by a kernel that may stop helping, then joined: the pieces are the stretches the method defines (written
// from its definition), the report's last word comes exactly then, nothing else appears, all is released.
// Input: flags, 2 value bytes, read limit, kernel copy, keyword length, keyword, source.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "join_job.h"
#include "memory_system.h"
#include "recording_report.h"
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
  const bool folded = input[0] & 4, kilobytes = input[0] & 8, batch = input[0] & 16, dry = input[0] & 32;
  const bool stream = input[0] & 64, script = input[0] & 128;
  // Few enough pieces that a run stays short.
  const uint64_t value = (input[1] | (input[2] << 8)) % (method == Size ? 4096 : 2048);
  const size_t keywordEnd = 7u + input[5] % 26;
  // Folded onto a tiny alphabet, near-matches and overlaps are common.
  std::string keyword, source;
  for (size_t i = 6; i < keywordEnd; ++i) keyword += folded ? "ab-"[input[i] % 3] : input[i] == 0 ? '\1' : input[i];
  for (size_t i = keywordEnd; i < size; ++i) source += folded ? "aaab--b\0"[input[i] & 7] : input[i];

  memory_system::Reset(1 + input[3], input[4] % 64, input[4] / 64);
  memory_system::Files()["/in/name.ext"] = source;
  if (stream) memory_system::Input() = source;
  SplitRequest request;
  request.sourcePath = "/in/name.ext";
  request.fromStandardInput = stream;
  request.streamName = "/in/name.ext";
  request.targetDir = "/out";
  request.method = method;
  request.pieceBytes = value * (kilobytes ? 1024 : 1);
  request.pieceCount = value;
  request.keyword = keyword;
  request.writeBatch = batch, request.writeScript = script, request.dryRun = dry;
  const uint64_t fileSize = source.size(), bytes = request.pieceBytes;
  Stretches expected;
  if (method == Keyword) expected = KeywordPieces(source, keyword);
  if (method == Size && bytes > 0 && (bytes < fileSize || (stream && fileSize > 0))) {
    expected = Planned(fileSize, bytes, fileSize / bytes, true);
  }
  if (method == Pieces && !stream && value > 0 && fileSize > 0) expected = Planned(fileSize, fileSize / value, value, false);

  RecordingReport split;
  const bool finished = PerformSplitJob(request, split).end == JobEnd::kFinished;
  Check(memory_system::OpenResources() == 0, "split released everything");
  Check(finished == !expected.empty(), "outcome");
  size_t questions = 0, endings = 0;
  for (const std::string& line : split.log) {
    questions += line.rfind("ask ", 0) == 0;
    endings += line.rfind("finished ", 0) == 0 || line.rfind("stopped ", 0) == 0;
  }
  Check(questions == (method != Keyword && !stream && !dry && finished ? 1u : 0u), "one question for a plan");
  Check(endings == 1 && split.log.back().rfind(finished ? "finished " : "stopped ", 0) == 0, "one last word");
  if (finished) {
    const std::string last = std::to_string(expected.size());
    Check(split.log.back() == std::string("finished ") + (dry ? "dry " : "") + "name.ext " + last + " " +
                                  std::to_string(fileSize) + " name_ext.1:" + std::to_string(expected[0].second - expected[0].first) +
                                  " name_ext." + last + ":" + std::to_string(expected.back().second - expected.back().first),
          "summary");
  }
  auto files = memory_system::Files();
  Check(files["/in/name.ext"] == source, "source untouched");
  const bool written = finished && !dry;
  Check(files.size() == 1 + (written ? expected.size() + batch + script : 0), "nothing else written");
  for (size_t k = 0; written && k < expected.size(); ++k) {
    const auto& [begin, end] = expected[k];
    Check(files["/out/name_ext." + std::to_string(k + 1)] == source.substr(begin, end - begin), "piece");
  }
  if (!written) return 0;
  Check(!batch || !files["/out/JOIN.BAT"].empty(), "batch file");
  Check(!script || !files["/out/join.sh"].empty(), "script");

  RecordingReport join;
  Check(PerformJoinJob(JoinRequest{"/out/name_ext.1", "/back", false}, join).end == JobEnd::kFinished &&
            join.log[0].rfind("ask ", 0) == 0, "join finished after one question");
  Check(memory_system::OpenResources() == 0, "join released everything");
  Check(memory_system::Files()["/back/name.ext"] == source, "joined file is the source");
  return 0;
}

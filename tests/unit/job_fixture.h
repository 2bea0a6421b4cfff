// Jobs run from requests as a front end makes them, on a scratch folder with in/ and out/, each call of the job written
// down by a recording report; comparisons that print where two lists differ rather than all of them.
#ifndef DORVENAL_JOB_FIXTURE_H
#define DORVENAL_JOB_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "join_job.h"
#include "known_sets.h"
#include "recording_report.h"
#include "split_job.h"
#include "test_files.h"

inline SplitRequest Request(SplitMethod method, uint64_t value, const std::string& keyword = "") {
  SplitRequest request;
  request.method = method;
  (method == Size ? request.pieceBytes : request.pieceCount) = value;
  request.keyword = keyword;
  return request;
}
inline SplitRequest BySize(uint64_t bytes) { return Request(Size, bytes); }
inline SplitRequest ByCount(uint64_t count) { return Request(Pieces, count); }
inline SplitRequest ByKeyword(const std::string& keyword) { return Request(Keyword, 0, keyword); }
inline SplitRequest WithBatch(SplitRequest request) { return request.writeBatch = true, request; }
inline SplitRequest WithScript(SplitRequest request) { return request.writeScript = true, request; }
inline SplitRequest Dry(SplitRequest request) { return request.dryRun = true, request; }
// The source is standard input, its pieces named after `name`.
inline SplitRequest FromStream(SplitRequest request, const std::string& name = "stream.bin") {
  request.fromStandardInput = true;
  request.streamName = name;
  return request;
}

inline Log RunSplit(SplitRequest request, const std::string& source, const std::string& target,
                    RecordingReport report = RecordingReport()) {
  request.sourcePath = source;
  request.targetDir = target;
  PerformSplitJob(request, report);
  return report.log;
}

inline Log RunJoin(const std::string& firstPiece, const std::string& target, RecordingReport report = RecordingReport(),
                   bool dryRun = false) {
  PerformJoinJob(JoinRequest{firstPiece, target, dryRun}, report);
  return report.log;
}

// The contents of stem.1, stem.2, ... in a folder, as far as they are files.
inline Log PiecesIn(const std::string& folder, const std::string& stemName) {
  Log pieces;
  std::string path;
  std::error_code error;
  while (std::filesystem::is_regular_file(path = folder + kPathSeparator + stemName + "." + std::to_string(pieces.size() + 1), error)) {
    pieces.push_back(ReadBytes(path));
  }
  return pieces;
}

// The bytes in pieces of these lengths, in order.
inline Log Cut(const std::string& bytes, const std::vector<size_t>& lengths) {
  Log pieces;
  size_t from = 0;
  for (size_t length : lengths) pieces.push_back(bytes.substr(from, length)), from += length;
  return pieces;
}

// Up to 72 bytes of a text, control bytes escaped.
inline std::string Shown(const std::string& text) {
  std::string shown = "\"";
  for (size_t i = 0; i < text.size() && i < 72; ++i) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(text[i]));
    shown += text[i] >= 32 && text[i] < 127 ? std::string(1, text[i]) : std::string(hex);
  }
  return shown + (text.size() > 72 ? "\"... (" + std::to_string(text.size()) + " bytes)" : "\"");
}

// Equal lists, or the first entry where they differ and, within it, the first byte.
inline ::testing::AssertionResult Same(const Log& actual, const Log& expected) {
  size_t i = 0, at = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  if (i == actual.size() && i == expected.size()) return ::testing::AssertionSuccess();
  auto result = ::testing::AssertionFailure() << actual.size() << " entries, expected " << expected.size() << "; ";
  if (i == actual.size()) return result << "missing [" << i << "] " << Shown(expected[i]);
  if (i == expected.size()) return result << "extra [" << i << "] " << Shown(actual[i]);
  while (at < actual[i].size() && at < expected[i].size() && actual[i][at] == expected[i][at]) ++at;
  const size_t from = at > 8 ? at - 8 : 0;
  return result << "[" << i << "] differs from byte " << at << ":\n  actual   " << Shown(actual[i].substr(from))
                << "\n  expected " << Shown(expected[i].substr(from));
}

// A scratch folder with in/ and out/ for each test.
class JobTest : public ::testing::Test {
 protected:
  JobTest() : in(dir.Subdir("in")), out(dir.Subdir("out")) {}
  std::string In(const std::string& name) const { return in + kPathSeparator + name; }
  std::string Out(const std::string& name) const { return out + kPathSeparator + name; }

  TempDir dir;
  std::string in;
  std::string out;
};

#endif

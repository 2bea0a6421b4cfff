// Sparse sources past 4 GiB split by size and by count and joined back, each piece checked against the
// known bytes: zeros, and 16-byte markers naming their own offset at the start, across 2 GiB, 4 GiB and each
// GiB, and at the end. The plans alone, answered No, are cheap: sizes past 2^31 and 2^32 must be told whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fault_links.h"
#include "job_fixture.h"
#include "slots.h"

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

// In DORVENAL_LARGE_DIR, or else in the current folder (the build tree under CTest); never in the
// temporary folder, which may be in memory.
struct LargeScratchDir {
  LargeScratchDir() { std::filesystem::create_directories(path); }
  ~LargeScratchDir() { std::error_code error; std::filesystem::remove_all(path, error); }
  const std::string path = std::filesystem::absolute(std::getenv("DORVENAL_LARGE_DIR") ? std::getenv("DORVENAL_LARGE_DIR") : ".").string() + kPathSeparator + "dorvenal-large-" + std::to_string(std::random_device()());
};

std::map<uint64_t, std::string> Markers(uint64_t size) {
  std::map<uint64_t, std::string> markers;
  for (uint64_t at : {uint64_t{0}, 2 * kGiB - 8, 4 * kGiB - 8}) markers[at] = "";
  for (uint64_t at = kGiB - 3; at < size; at += kGiB) markers[at] = "";
  while (markers.rbegin()->first + 32 > size) markers.erase(std::prev(markers.end()));
  markers[size - 16] = "";
  for (auto& [at, bytes] : markers) bytes = ("@" + std::to_string(at) + "################").substr(0, 16);
  return markers;
}

bool WriteSparse(const std::string& path, uint64_t size) {
  const std::string host = fault::HostPath(path);
  std::string script = "truncate -s " + std::to_string(size) + " '" + host + "'";
  for (const auto& [at, bytes] : Markers(size)) {
    script += " && printf " + bytes + " | dd of='" + host + "' bs=1 seek=" + std::to_string(at) + " conv=notrunc status=none";
  }
  return fault::RunHostCommand(script);
}

// Whether the file at `path` is exactly the bytes [begin, end) of the sparse file of `size` bytes.
::testing::AssertionResult Holds(const std::string& path, uint64_t size, uint64_t begin, uint64_t end) {
  FileSlot file;
  bool notRegular = false;
  FileStamp stamp;
  if (OpenRegularFile(path, file.Receive(), &notRegular) != kNoError || GetFileStamp(file.Get(), &stamp) != kNoError) {
    return ::testing::AssertionFailure() << path << " cannot be read";
  }
  uint64_t done = 0;
  std::vector<char> expected(8 << 20), actual(8 << 20);
  for (size_t got = 1; done < end - begin && got != 0; done += got) {
    if (ReadSome(file.Get(), actual.data(), actual.size(), &got) != kNoError) break;
    std::memset(expected.data(), 0, got);
    for (const auto& [at, bytes] : Markers(size)) {
      for (uint64_t i = std::max(at, begin + done); i < std::min(at + 16, begin + done + got); ++i) expected[i - begin - done] = bytes[i - at];
    }
    if (std::memcmp(expected.data(), actual.data(), got) != 0) break;
  }
  if (stamp.size == end - begin && done == stamp.size) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << ": " << stamp.size << " bytes, differs from byte " << done;
}

struct LargeRow {
  uint64_t size;
  uint64_t pieceBytes, count;  // the splits' values
  std::vector<uint64_t> bySize, byCount;  // their pieces
};

const LargeRow kFiveGiB = {5368709120, 1536000000, 3, {1536000000, 1536000000, 1536000000, 760709120},
                           {1789569706, 1789569706, 1789569708}};
const LargeRow kFourGiBAndOne = {4294967297, 1073741824, 2, {1073741824, 1073741824, 1073741824, 1073741824, 1},
                                 {2147483648, 2147483649}};

// Both splits and the join of the count pieces, each answered `answer`: No must leave nothing written.
void SplitAndJoin(const LargeRow& row, Answer answer) {
  const bool yes = answer == Answer::kYes;
  LargeScratchDir dir;
  const std::string source = dir.path + kPathSeparator + "big.img", pieces = dir.path + kPathSeparator + "pieces";
  const std::string joined = dir.path + kPathSeparator + "joined", piece = pieces + kPathSeparator + "big_img.";
  std::filesystem::create_directories(pieces), std::filesystem::create_directories(joined);
  ASSERT_TRUE(WriteSparse(source, row.size));
  for (SplitMethod method : {Size, Pieces}) {
    const std::vector<uint64_t>& lengths = method == Size ? row.bySize : row.byCount;
    for (const std::string& name : ListDir(pieces)) RemoveFile(pieces + kPathSeparator + name);
    const Log log = RunSplit(method == Size ? BySize(row.pieceBytes) : ByCount(row.count), source, pieces,
                             RecordingReport({answer}));
    EXPECT_EQ(log[0], std::string("ask ") + (method == Size ? "size " : "count ") + std::to_string(lengths.size()) +
                          " " + std::to_string(lengths.front()) + " " + std::to_string(lengths.back()) + " " +
                          std::to_string(row.size) + " big.img");
    EXPECT_EQ(log.back().substr(0, 9), yes ? "finished " : log[0].substr(0, 9));
    EXPECT_EQ(ListDir(pieces).size(), yes ? lengths.size() : 0u);
    uint64_t begin = 0;
    for (size_t k = 0; k < lengths.size(); begin += lengths[k++]) {
      EXPECT_TRUE(yes ? Holds(piece + std::to_string(k + 1), row.size, begin, begin + lengths[k])
                      : method == Size || WriteSparse(piece + std::to_string(k + 1), lengths[k]));  // to join
    }
  }
  const Log log = RunJoin(piece + "1", joined, RecordingReport({answer}));
  EXPECT_EQ(log[0], "ask join " + std::to_string(row.byCount.size()) + " 0 0 " + std::to_string(row.size) + " big.img");
  EXPECT_EQ(log.back().substr(0, 9), yes ? "finished " : log[0].substr(0, 9));
  EXPECT_EQ(ListDir(joined).size(), yes ? 1u : 0u);
  if (yes) {
    EXPECT_TRUE(Holds(joined + kPathSeparator + "big.img", row.size, 0, row.size));
    EXPECT_TRUE(Holds(source, row.size, 0, row.size)) << "the source must be untouched";
  }
}

TEST(LargeSource, FiveGiB) { SplitAndJoin(kFiveGiB, Answer::kYes); }
TEST(LargeSource, FourGiBAndOne) { SplitAndJoin(kFourGiBAndOne, Answer::kYes); }
TEST(LargePlans, FiveGiB) { SplitAndJoin(kFiveGiB, Answer::kNo); }
TEST(LargePlans, FourGiBAndOne) { SplitAndJoin(kFourGiBAndOne, Answer::kNo); }

}  // namespace

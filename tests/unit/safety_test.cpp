// What stands in the target folder never leads a split or a join astray:
// a link at a piece's name, a piece left by an earlier split, a temporary
// file left by a killed run; names the system or JOIN.BAT cannot hold are
// refused before anything is written; a failed allocation is a clean stop.
#include <cstdlib>
#include <new>

#include "fault_links.h"
#include "job_fixture.h"

namespace {

size_t gFailAllocationsFrom = SIZE_MAX;  // bytes; allocations this large fail while set

struct SafetyRow {
  const char* name;
  std::string source;  // in in/, holding "abcdef"; split into 2 pieces with JOIN.BAT, or joined from
  std::vector<std::pair<std::string, std::string>> before;  // files made first; "->x": a link to x
  Log infos;           // "%p": `at`, below the scratch folder
  std::string at;
  Log after;           // what out/ then holds
  std::string output;  // out/r.bin after a join, or pieces 1 and 2 after a split
};

const std::string kLong(243, 'n');  // with "_bin.12.dvtmp" one byte too long for a name

const SafetyRow kRows[] = {
    {"a piece left by an earlier split", "r.bin", {{"out/r_bin.3", "old"}},
     {known::kStalePiece, known::kSplitFinished}, "out/r_bin.3", {"JOIN.BAT", "r_bin.1", "r_bin.2", "r_bin.3"}, "abcdef"},
    {"a link at a piece's name", "r.bin", {{"out/r_bin.2", "->r_bin.1"}}, {known::kSplitFinished}, "",
     {"JOIN.BAT", "r_bin.1", "r_bin.2"}, "abcdef"},
    {"a temporary file left by a killed run", "r_bin.1", {{"in/r_bin.2", "def"}, {"in/r_bin.3.dvtmp", "x"}},
     {known::kJoinFinished}, "", {"r.bin"}, "abcdef"},
    {"a failed allocation in the join", "r_bin.1", {{"in/r_bin.2", "def"}, {"out/r.bin", "earlier"}},
     {known::kLowMemory}, "", {"r.bin"}, "earlier"},
#ifndef _WIN32  // names that only POSIX systems hold
    {"a name JOIN.BAT cannot hold", "a:b.bin", {}, {known::kBatchNameInvalid}, "a:b.bin", {}, ""},
    {"names too long for the system", kLong + ".bin", {}, {known::kNameTooLong},
     "out/" + kLong + "_bin.12", {}, ""},
#endif
};

TEST_F(DialogTest, WhatStandsAroundTheSetLeadsNothingAstray) {
  for (const SafetyRow& row : kRows) {
    SCOPED_TRACE(row.name);
    TempDir scratch;
    const std::string rin = scratch.Subdir("in"), rout = scratch.Subdir("out");
    const bool join = row.source.find(".bin") == std::string::npos;
    const bool longRow = std::string(row.name).find("too long") != std::string::npos;
    WriteBytes(rin + kPathSeparator + row.source, join ? "abc" : longRow ? "abcdefghijkl" : "abcdef");
    for (const auto& file : row.before) {
      std::string path = scratch.File(file.first);
      for (char& c : path) c = c == '/' ? kPathSeparator : c;
      if (file.second.rfind("->", 0) == 0) {
        ASSERT_TRUE(fault::MakeHostSymlink(file.second.substr(2), path));
      } else {
        WriteBytes(path, file.second);
      }
    }
    if (row.infos[0] == known::kLowMemory) gFailAllocationsFrom = 100 * 1024;  // the join's copy buffer
    if (join) Join(rin + kPathSeparator + row.source, rout);
    if (!join) Split(rin + kPathSeparator + row.source, {longRow ? Size : Pieces, longRow ? "1" : "2", false, true}, rout);
    gFailAllocationsFrom = SIZE_MAX;
    std::string at = scratch.File(row.at);
    for (char& c : at) c = c == '/' ? kPathSeparator : c;
    Log infos;
    for (const std::string& text : row.infos) infos.push_back(Named(text, row.at.rfind("out/", 0) == 0 ? at : row.at));
    EXPECT_EQ(dialog.InfoBoxes(), infos);
    EXPECT_EQ(ListDir(rout), row.after);
    std::string output = join ? ReadBytes(rout + kPathSeparator + "r.bin") : "";
    for (const std::string& piece : join ? Log{} : PiecesIn(rout, "r_bin")) output += piece;
    EXPECT_EQ(output.substr(0, row.output.size()), row.output);
    EXPECT_TRUE(join || ReadBytes(rout + kPathSeparator + "r_bin.3").size() != 6) << "an older piece 3 untouched";
  }
}

}  // namespace

// Every allocation of the test program passes here, so that one can fail on purpose.
void* operator new(size_t size) {
  void* block = size < gFailAllocationsFrom ? std::malloc(size == 0 ? 1 : size) : nullptr;
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

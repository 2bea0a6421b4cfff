// FindKeywordInSource, the search the split runs over a source seen through
// views, against the byte-by-byte reference: the same first occurrence from
// any start, and the same cuts over the whole source, with views of a few
// bytes on a granularity of a few bytes so that occurrences straddle view
// ends all the time. The views are heap blocks of exactly their size
// (memory_system), so a read outside the current view is caught.
//
// Input: flags, keyword length, granularity, view size, start selector,
// the keyword, then the source. Flag bit 0 folds the bytes onto a tiny
// alphabet (zero included in the source, never in the keyword, which the
// split never has).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "keyword_search.h"
#include "memory_system.h"
#include "platform.h"
#include "reference.h"
#include "source_view.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
  }
}

constexpr size_t kHeader = 5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < kHeader) return 0;
  const bool folded = (input[0] & 1) != 0;
  const size_t keywordLength = 1 + input[1] % 26;
  const uint64_t granularity = 1 + input[2] % 16;
  const uint64_t viewSize = input[3] % 65;  // rounded up by the view itself
  if (size < kHeader + keywordLength) return 0;

  std::string keyword;
  for (size_t i = 0; i < keywordLength; ++i) {
    unsigned char c = input[kHeader + i];
    if (folded) c = static_cast<unsigned char>("ab-"[c % 3]);
    if (c == 0) c = 1;
    keyword += static_cast<char>(c);
  }
  std::string source;
  for (size_t i = kHeader + keywordLength; i < size; ++i) {
    unsigned char c = input[i];
    source += static_cast<char>(folded ? "aaab--b\0"[c & 7] : c);
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(source.data());
  const uint64_t fileSize = source.size();

  memory_system::Reset(granularity);
  memory_system::PutFile("/source", source);
  FileHandle file = OpenSourceFile("/source");
  MappingHandle mapping = CreateReadOnlyMapping(file);
  {
    SourceView view;
    view.Attach(mapping, fileSize, viewSize);

    const uint64_t from = fileSize == 0 ? 0 : input[4] % (fileSize + 1);
    uint64_t foundAt = 0;
    SourceSearch result = FindKeywordInSource(view, fileSize, from, keyword, &foundAt);
    Check(result != SourceSearch::kViewFailed, "a view failed");
    size_t expected = ReferenceFind(bytes, from, fileSize, keyword);
    Check(expected == kNotFound ? result == SourceSearch::kNotFound
                                : result == SourceSearch::kFound && foundAt == expected,
          "first occurrence from a start");

    std::vector<size_t> cuts;
    uint64_t cursor = 0;
    while (FindKeywordInSource(view, fileSize, cursor, keyword, &foundAt) == SourceSearch::kFound) {
      Check(foundAt >= cursor && foundAt + keyword.size() <= fileSize, "occurrence inside the source");
      cursor = foundAt + keyword.size();
      cuts.push_back(cursor);
    }
    Check(cuts == ReferenceCuts(bytes, fileSize, keyword), "cuts of a whole split");
    Check(view.Release(), "unmap");
  }
  CloseMapping(mapping);
  CloseFile(file);
  Check(memory_system::OpenResources() == 0, "everything released");
  return 0;
}

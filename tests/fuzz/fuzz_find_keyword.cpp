// FindKeyword against the byte-by-byte reference: the same first
// occurrence from any start, the same cuts over a whole buffer, and never a
// byte read at or past the end (the data sits in a heap block of exactly
// its size, so AddressSanitizer sees any such read).
//
// Input: flags, keyword length, start and end selectors, the keyword, then
// the data. With flag bit 0 the bytes are folded onto a tiny alphabet
// (zero included) so that near-matches and overlaps are common.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "keyword_search.h"
#include "reference.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 4) return 0;
  const bool folded = (input[0] & 1) != 0;
  const size_t keywordLength = input[1] % 27;
  if (size < 4 + keywordLength) return 0;

  // FindKeyword reads its keyword as a zero-terminated text.
  std::string keyword;
  for (size_t i = 0; i < keywordLength; ++i) {
    unsigned char c = input[4 + i];
    if (folded) c = static_cast<unsigned char>("ab-"[c % 3]);
    if (c == 0) break;
    keyword += static_cast<char>(c);
  }

  const size_t dataSize = size - 4 - keywordLength;
  std::unique_ptr<unsigned char[]> whole(new unsigned char[dataSize]);
  for (size_t i = 0; i < dataSize; ++i) {
    unsigned char c = input[4 + keywordLength + i];
    whole[i] = folded ? static_cast<unsigned char>("aaab--b\0"[c & 7]) : c;
  }

  // One search from a chosen start to a chosen end, over a block that holds
  // exactly that stretch.
  size_t start = dataSize == 0 ? 0 : input[2] % (dataSize + 1);
  size_t end = start + (dataSize - start == 0 ? 0 : input[3] % (dataSize - start + 1));
  std::unique_ptr<unsigned char[]> stretch(new unsigned char[end - start]);
  if (end > start) std::memcpy(stretch.get(), whole.get() + start, end - start);
  const unsigned char* found = FindKeyword(stretch.get(), stretch.get() + (end - start), keyword.c_str());
  size_t expected = ReferenceFind(stretch.get(), 0, end - start, keyword);
  Check(expected == kNotFound ? found == nullptr : found == stretch.get() + expected, "first occurrence");

  // A whole split's cuts, each search starting past the previous occurrence.
  if (!keyword.empty()) {
    std::vector<size_t> cuts;
    const unsigned char* cursor = whole.get();
    const unsigned char* dataEnd = whole.get() + dataSize;
    while (const unsigned char* at = FindKeyword(cursor, dataEnd, keyword.c_str())) {
      Check(at >= cursor && at + keyword.size() <= dataEnd, "occurrence inside the data");
      cursor = at + keyword.size();
      cuts.push_back(static_cast<size_t>(cursor - whole.get()));
    }
    Check(cuts == ReferenceCuts(whole.get(), dataSize, keyword), "cuts of a whole split");
  }
  return 0;
}

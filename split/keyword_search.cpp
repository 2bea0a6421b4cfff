#include "keyword_search.h"

#include <cstring>

#include "cutters.h"

namespace {

// The general search: first place in [start, end) where all of needle lies.
const unsigned char* SearchAll(const unsigned char* start, const unsigned char* end, const std::string& needle) {
  size_t n = needle.size();
  if (static_cast<size_t>(end - start) < n) return nullptr;
#ifdef __GLIBC__
  return static_cast<const unsigned char*>(memmem(start, end - start, needle.data(), n));
#else
  const unsigned char first = static_cast<unsigned char>(needle[0]);
  const unsigned char* last = end - n;  // last place a whole match can start
  for (const unsigned char* p = start; p <= last; ++p) {
    p = static_cast<const unsigned char*>(std::memchr(p, first, last - p + 1));
    if (p == nullptr) return nullptr;
    if (std::memcmp(p + 1, needle.data() + 1, n - 1) == 0) return p;
  }
  return nullptr;
#endif
}

// How often a byte turns up in what people split: letters and blanks
// everywhere, capitals and digits less, punctuation seldom, control and
// 8-bit bytes rarely.
int Commonness(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || c == ' ' || c == '\n' || c == '\r' || c == '\t') return 3;
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return 2;
  if (c >= 0x21 && c < 0x7F) return 1;
  return 0;
}

// First place in [start, end) where all of needle lies, or null. memchr
// runs for the needle's least common byte, several times faster than a
// general search, and each hit is compared whole. When that byte turns out
// to be common in this data, the general search takes the rest.
const unsigned char* FindBytes(const unsigned char* start, const unsigned char* end, const std::string& needle) {
  size_t n = needle.size();
  if (static_cast<size_t>(end - start) < n) return nullptr;
  size_t anchor = 0;
  for (size_t i = 1; i < n; ++i) {
    if (Commonness(static_cast<unsigned char>(needle[i])) < Commonness(static_cast<unsigned char>(needle[anchor]))) {
      anchor = i;
    }
  }
  const unsigned char anchorByte = static_cast<unsigned char>(needle[anchor]);
  const unsigned char* last = end - n;  // last place a whole match can start
  size_t falseHits = 0;
  for (const unsigned char* from = start; from <= last;) {
    // The anchor of a match starting in [from, last]; never past `end`.
    const void* hit = std::memchr(from + anchor, anchorByte, static_cast<size_t>(last - from) + 1);
    if (hit == nullptr) return nullptr;
    const unsigned char* candidate = static_cast<const unsigned char*>(hit) - anchor;
    if (std::memcmp(candidate, needle.data(), n) == 0) return candidate;
    from = candidate + 1;
    // More than one false hit per 256 bytes: the calls cost more than they save.
    if (++falseHits > 64 && static_cast<size_t>(from - start) < falseHits * 256) return SearchAll(from, end, needle);
  }
  return nullptr;
}

}  // namespace

ScanResult ScanKeyword(const unsigned char* start, const unsigned char* end, const std::string& keyword,
                       const unsigned char** found) {
  // The keyword holds no zero byte, so a match never spans one: the first
  // match counts exactly when no zero byte lies before it.
  const unsigned char* match = FindBytes(start, end, keyword);
  const unsigned char* limit = match != nullptr ? match : end;
  if (std::memchr(start, 0, limit - start) != nullptr) return ScanResult::kTextEnded;
  if (match == nullptr) return ScanResult::kNotInRange;
  *found = match;
  return ScanResult::kFound;
}

bool KeywordCutter::FindCut(const unsigned char* window, size_t from, size_t size, size_t* cutEnd) {
  if (textEnded_) return false;
  const unsigned char* found = nullptr;
  switch (ScanKeyword(window + from, window + size, keyword_, &found)) {
    case ScanResult::kFound:
      *cutEnd = static_cast<size_t>(found - window) + keyword_.size();
      return true;
    case ScanResult::kTextEnded:
      textEnded_ = true;
      return false;
    case ScanResult::kNotInRange:
      break;
  }
  return false;
}

size_t KeywordCutter::CarryAfter(size_t from, size_t size) const {
  // The last keyword-length - 1 bytes may begin an occurrence that runs
  // into the next window; none may begin before the last cut.
  if (textEnded_) return 0;
  const size_t carry = keyword_.size() - 1;
  return size - from < carry ? size - from : carry;
}

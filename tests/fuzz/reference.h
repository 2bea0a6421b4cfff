// Plain, slow re-statements of what the keyword search and the keyword
// split must give, written from their definitions and not from the engine's
// code: the fuzz targets hold the engine to them.
#ifndef DORVENAL_FUZZ_REFERENCE_H
#define DORVENAL_FUZZ_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kNotFound = static_cast<size_t>(-1);

// The text runs from `start` to the first zero byte or to `end`; the result
// is the first position of that text at which every byte of the keyword
// matches inside the text. An empty keyword gives `start`.
inline size_t ReferenceFind(const unsigned char* data, size_t start, size_t end, const std::string& keyword) {
  if (keyword.empty()) return start;
  size_t textEnd = start;
  while (textEnd < end && data[textEnd] != 0) ++textEnd;
  for (size_t p = start; p < textEnd; ++p) {
    size_t i = 0;
    while (i < keyword.size() && p + i < textEnd && data[p + i] == static_cast<unsigned char>(keyword[i])) ++i;
    if (i == keyword.size()) return p;
  }
  return kNotFound;
}

// The ends of the cuts of a whole keyword split: each search starts just
// past the previous occurrence, so occurrences never overlap.
inline std::vector<size_t> ReferenceCuts(const unsigned char* data, size_t size, const std::string& keyword) {
  std::vector<size_t> cuts;
  size_t cursor = 0;
  for (;;) {
    size_t found = ReferenceFind(data, cursor, size, keyword);
    if (found == kNotFound) return cuts;
    cursor = found + keyword.size();
    cuts.push_back(cursor);
  }
}

#endif

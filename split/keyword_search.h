// Finding a keyword in data that is text up to its first zero byte.
#ifndef DORVENAL_KEYWORD_SEARCH_H
#define DORVENAL_KEYWORD_SEARCH_H

#include <cstddef>
#include <string>

// What a scan of one stretch of data found.
enum class ScanResult { kFound, kTextEnded, kNotInRange };

// The first occurrence of `keyword` (not empty, no zero byte) in [start,
// end), where the text ends at the first zero byte. Nothing at or past
// `end` is read.
ScanResult ScanKeyword(const unsigned char* start, const unsigned char* end, const std::string& keyword,
                       const unsigned char** found);

#endif

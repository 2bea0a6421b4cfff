// Finding a keyword in data that is text up to its first zero byte.
#ifndef DORVENAL_KEYWORD_SEARCH_H
#define DORVENAL_KEYWORD_SEARCH_H

#include <cstddef>
#include <cstdint>
#include <string>

class SourceView;

// The first occurrence of `keyword` (zero-terminated, not empty) that starts
// at or after `start` and ends at or before `end`, where the text ends at
// the first zero byte; null when there is none. Nothing at or past `end`
// is read.
const unsigned char* FindKeyword(const unsigned char* start, const unsigned char* end, const char* keyword);

// What a scan of one stretch of data found.
enum class ScanResult { kFound, kTextEnded, kNotInRange };
ScanResult ScanKeyword(const unsigned char* start, const unsigned char* end, const std::string& keyword,
                       const unsigned char** found);

// FindKeyword over a whole source seen through views, so that an
// occurrence that straddles two views is found like any other.
enum class SourceSearch { kFound, kNotFound, kViewFailed };
SourceSearch FindKeywordInSource(SourceView& view, uint64_t fileSize, uint64_t from, const std::string& keyword,
                                 uint64_t* foundAt);

#endif

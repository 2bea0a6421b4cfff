#include "keyword_split.h"

#include "keyword_search.h"
#include "texts.h"

namespace {

// The keyword field is read as 254 characters at most.
constexpr size_t kKeywordLimit = 254;

// Finds the next occurrence from the cursor; reports a view that cannot be
// mapped. False when there is no further occurrence (or on that failure).
// One search, run where a source cut short under the mapping is caught.
struct Search {
  SplitJobState* state;
  const std::string* keyword;
  uint64_t found;
  SourceSearch result;
};

void RunSearch(void* context) {
  Search* search = static_cast<Search*>(context);
  SplitJobState& state = *search->state;
  search->result = FindKeywordInSource(state.view, state.fileSize, state.cursor, *search->keyword, &search->found);
}

bool FindNextCut(SplitJobState& state, const std::string& keyword, uint64_t* cutEnd, bool* failed) {
  Search search{&state, &keyword, 0, SourceSearch::kNotFound};
  if (!GuardMappedRead(RunSearch, &search)) {
    state.report.ShowInfo(kMsgSourceChanged);
    state.outcome = JobOutcome::kFailed;
    *failed = true;
    return false;
  }
  const uint64_t found = search.found;
  switch (search.result) {
    case SourceSearch::kFound:
      *cutEnd = found + keyword.size();
      return true;
    case SourceSearch::kViewFailed:
      state.report.ShowInfo(kMsgViewFailed);
      state.outcome = JobOutcome::kFailed;
      *failed = true;
      return false;
    case SourceSearch::kNotFound:
      break;
  }
  return false;
}

bool AdvanceOrRefuse(SplitJobState& state) {
  if (state.pieceNumber < kMaxPieceNumber) {
    ++state.pieceNumber;
    return true;
  }
  state.report.ShowInfo(kMsgTooManyPieces);
  state.outcome = JobOutcome::kFailed;
  return false;
}

}  // namespace

bool SplitByKeyword(SplitJobState& state) {
  const std::string keyword = state.request.value.substr(0, kKeywordLimit);
  if (keyword.empty()) return false;

  bool failed = false;
  uint64_t cutEnd = 0;
  if (!FindNextCut(state, keyword, &cutEnd, &failed)) return false;
  // Every piece but the last ends with the keyword, which bounds how many
  // there can be and so how long their names can grow.
  uint64_t mostPieces = state.fileSize / keyword.size() + 1;
  if (!CheckPieceNamesFit(state, mostPieces < kMaxPieceNumber ? mostPieces : kMaxPieceNumber)) return false;
  state.cursor = 0;
  state.pieceNumber = 1;
  for (;;) {
    if (!WritePiece(state, cutEnd - state.cursor)) return false;
    state.cursor = cutEnd;
    if (!FindNextCut(state, keyword, &cutEnd, &failed)) break;
    if (!AdvanceOrRefuse(state)) return false;
  }
  if (failed) return false;

  // The rest of the file, zero bytes and later occurrences included, is the
  // last piece; also after a single occurrence, so nothing is left behind.
  if (!AdvanceOrRefuse(state)) return false;
  if (!WritePiece(state, state.fileSize - state.cursor)) return false;
  state.lastPieceNumber = state.pieceNumber;
  state.splitFinished = true;
  return true;
}

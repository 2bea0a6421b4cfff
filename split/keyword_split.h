#ifndef DORVENAL_KEYWORD_SPLIT_H
#define DORVENAL_KEYWORD_SPLIT_H

#include "split_job.h"

// The Keyword method: cuts the source after each occurrence of the
// request's keyword. True when it ended with every piece written (the job
// goes on to the batch step), false when it stopped.
bool SplitByKeyword(SplitJobState& state);

#endif

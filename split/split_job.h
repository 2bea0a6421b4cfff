// The split job: cuts a source into numbered pieces by size, by count or
// after each occurrence of a keyword.
#ifndef DORVENAL_SPLIT_JOB_H
#define DORVENAL_SPLIT_JOB_H

#include "job_report.h"
#include "job_request.h"
#include "job_result.h"

// Runs the whole split: checks the request, asks whether to go on, writes
// the pieces (and JOIN.BAT or join.sh when asked) and ends with the
// report's Finished or Stopped, or neither when the user declined.
JobResult PerformSplitJob(const SplitRequest& request, JobReport& report);

#endif

// The repair of a set with recovery pieces: its missing or damaged pieces
// and recovery pieces rebuilt and given their names in place, all or
// nothing, as a split gives a set its names.
#ifndef DORVENAL_REPAIR_JOB_H
#define DORVENAL_REPAIR_JOB_H

#include <string>

#include "job_report.h"
#include "job_result.h"

struct RepairRequest {
  std::string path;  // the set's ".1" piece, its manifest or a recovery piece
};

// Finished with *rebuilt the names of the files rebuilt, comma-separated
// (empty for a sound set). The report hears only warnings (a lock waited
// for, a change settled); the caller words the end.
JobResult PerformRepairJob(const RepairRequest& request, JobReport& report, std::string* rebuilt);

#endif

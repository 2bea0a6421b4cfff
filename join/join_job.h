// The join job: re-creates a file from the consecutive pieces that lie
// beside a chosen ".1" piece.
#ifndef DORVENAL_JOIN_JOB_H
#define DORVENAL_JOIN_JOB_H

#include "job_report.h"
#include "job_request.h"
#include "job_result.h"

JobResult PerformJoinJob(const JoinRequest& request, JobReport& report);

#endif

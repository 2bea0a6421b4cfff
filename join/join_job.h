// The join job: re-creates a file from the consecutive pieces that lie
// beside a chosen ".1" piece.
#ifndef DORVENAL_JOIN_JOB_H
#define DORVENAL_JOIN_JOB_H

#include <cstddef>

#include "job_outcome.h"
#include "job_report.h"
#include "job_request.h"

// Each piece is streamed through one buffer of this size.
constexpr size_t JOIN_BUFFER_SIZE = 204800;

JobOutcome PerformJoinJob(const JoinRequest& request, JobReport& report);

#endif

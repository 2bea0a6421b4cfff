#include "fault_seam.h"

#include <cstdlib>

bool gFaultPlanned = false;

namespace {

FaultPlan gPlan;
uint64_t gSeen = 0;

}  // namespace

void SetFaultPlan(const FaultPlan& plan) {
  gPlan = plan;
  gSeen = 0;
  gFaultPlanned = true;
}

void ClearFaultPlan() { gFaultPlanned = false; }

uint64_t FaultCallsSeen() { return gSeen; }

SystemError PlannedFault(FaultCall call) {
  if (call != gPlan.call) return kNoError;
  ++gSeen;
  if (gSeen < gPlan.nth || (gSeen > gPlan.nth && !gPlan.persist)) return kNoError;
  // As a kill would: no clean-up, no buffers flushed.
  if (gPlan.exitThere) std::_Exit(9);
  return gPlan.error;
}

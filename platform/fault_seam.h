// The system side's half of the fault seam: every call site that a plan can
// fail asks here first.
#ifndef DORVENAL_FAULT_SEAM_H
#define DORVENAL_FAULT_SEAM_H

#include "platform.h"

extern bool gFaultPlanned;
// The error the call must fail with, or kNoError; may end the process.
SystemError PlannedFault(FaultCall call);

// One predictable branch while no plan is set.
inline SystemError InjectedFault(FaultCall call) { return gFaultPlanned ? PlannedFault(call) : kNoError; }

#endif

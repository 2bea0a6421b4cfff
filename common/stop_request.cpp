#include "stop_request.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t gStopRequested = 0;
}

void RequestStop() { gStopRequested = 1; }

bool StopRequested() { return gStopRequested != 0; }

void ClearStopRequest() { gStopRequested = 0; }

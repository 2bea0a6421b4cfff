// A request to stop a running job, made from a signal or console handler.
// Jobs look at it between blocks of work and stop as on a failure, removing
// what they had not finished.
#ifndef DORVENAL_STOP_REQUEST_H
#define DORVENAL_STOP_REQUEST_H

// Safe to call from a signal handler.
void RequestStop();
bool StopRequested();
// Forgets a request, so that a process can run a job after one was stopped.
void ClearStopRequest();

#endif

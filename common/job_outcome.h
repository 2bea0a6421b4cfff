#ifndef DORVENAL_JOB_OUTCOME_H
#define DORVENAL_JOB_OUTCOME_H

// How a job ended. The dialog ignores it (everything was said in message
// boxes); the console front end turns it into an exit code.
enum class JobOutcome {
  kFinished,  // the completion message was shown
  kRefused,   // a validation or planning refusal; nothing written
  kDeclined,  // the user answered No
  kFailed,    // something went wrong after the work began
};

#endif

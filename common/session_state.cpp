#include "session_state.h"

SessionState gSession;

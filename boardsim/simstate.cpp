// The bench's state (declared in simstate.h).
#include "boardsim/simstate.h"

// Until a face attaches, no entry name is known and nothing is held.
static const SimFace noFace = {nullptr, 0, nullptr, nullptr, nullptr};

SimState& Sim()
{
    static SimState* state;
    if (!state) {
        state = new SimState;
        state->face = &noFace;
    }
    return *state;
}

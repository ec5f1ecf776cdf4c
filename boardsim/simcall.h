// What a face of the simulated bench uses (simcall.cpp): its attach, which registers its
// descriptor and loads the bench, and the envelope of each of its calls (time, log, script).
// The face's own work goes to the bus, the instruments and the bench below.
#pragma once
#include <stdint.h>
#include <initializer_list>
#include "boardsim/simbench.h"
#include "boardsim/simbus.h"
#include "boardsim/simface.h"
#include "boardsim/siminstr.h"
#include "boardsim/simlog.h"
#include "boardsim/simstate.h"

// Registers the face (kept for the library's life) and loads the configured bench.
bool SimAttach(const SimFace& face);

// Starts a call: the time it costs (none for a free entry), readings that became ready, its log
// record and its scripted result (true: the call must do nothing else). SimCallData and
// SimCallEnd (simlog.h) complete it.
bool SimCallBegin(SimCall& call, const char* entry, std::initializer_list<uint32_t> args);

// Holds the bench for one control call, through the face's hooks.
struct SimFaceGuard {
    SimFaceGuard() { if (Sim().face->enter) Sim().face->enter(); }
    ~SimFaceGuard() { if (Sim().face->leave) Sim().face->leave(); }
    SimFaceGuard(const SimFaceGuard&) = delete;
    SimFaceGuard& operator=(const SimFaceGuard&) = delete;
};

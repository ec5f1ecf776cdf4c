// The call log, the scripted results and the trace of the bench's face (simlog.cpp). The log only
// records and scripts: the time a call costs is the caller's (simcall.h).
#pragma once
#include <stdint.h>
#include <initializer_list>
#include <string>
#include "boardsim/simstate.h"

struct SimCall {
    SimCallRecord rec{};
    bool scripted = false;
};
// The face's names: every entry it has, and the ones that only read state.
bool SimKnownEntry(const char* name);
bool SimFreeEntry(const char* name);
// Starts a logged call: its name, arguments and count, and a scripted result (true: the call must
// do nothing else).
bool SimLogBegin(SimCall& call, const char* entry, std::initializer_list<uint32_t> args);
void SimCallData(SimCall& call, const void* data, uint32_t length);
int32_t SimCallEnd(SimCall& call, int32_t result, const std::string& detail = std::string());
void SimTraceLine(const std::string& line);
void SimOpenTrace(const std::string& path);

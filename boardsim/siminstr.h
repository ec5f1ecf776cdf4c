// The simulated instruments (siminstr.cpp): what they do with the messages they receive, what they
// answer, their readings, and the time that passes for them.
#pragma once
#include <stdint.h>
#include <deque>
#include <string>
#include "boardsim/simstate.h"

SimInstrument* SimFindInstrument(int address);
void SimInstrumentReceive(SimInstrument& d, const std::string& message);
void SimInstrumentPrepareTalk(SimInstrument& d);  // talk-only devices take a reading
void SimInstrumentClear(SimInstrument& d);
void SimInstrumentTrigger(SimInstrument& d);
void SimInstrumentsUpdate();                      // readings that became ready by now
// Time passes on the bench: the clock moves on, and readings that became ready wait in their
// devices' output with the service request raised.
void SimTimePasses(uint32_t ms);
double SimSignalValue(const SimSignal& s, uint32_t n);
std::string SimFormatReading(double value);

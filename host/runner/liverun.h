// A live run of a worksheet: the host's tick count is the system's, each processing cycle starts
// on the wall clock at the cycle period (LivePacer), and the run ends at the duration, at the
// cycle count, at Ctrl+C or when the plug-in stops it, always the way the host stops (the
// at-end pass, the modules' stop). The CSV grows and is flushed after every cycle; a progress
// line goes to standard error.
#pragma once
#include <functional>
#include "host/runner/csvlog.h"
#include "host/standin_host.h"

struct LiveOptions {
    double periodMs = 0;          // one cycle: the sample period times the block size
    double durationMs = 0;        // 0: until the cycle count of the run options
    bool quiet = false;           // no progress line
    std::function<void()> printWarnings;   // prints the plug-in's new warnings
    std::function<void(uint32_t ms)> advanceBoardClock;   // a simulated board's clock, or empty
};

struct LiveResult {
    standin::RunResult run;
    bool interrupted = false;     // Ctrl+C (or Break) ended it
    uint32_t late = 0;
    uint32_t worstLateMs = 0;
    uint64_t elapsedMs = 0;
    bool csvWritten = true;       // every row reached the file
};

// Installs the console control handler for the run's length. run.cycles bounds the run unless
// live.durationMs is given.
LiveResult RunLive(standin::RunOptions run, const LiveOptions& live, CsvLog& csv);

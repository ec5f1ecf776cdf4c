// Pacing of a live run: each processing cycle starts on the wall clock at the cycle period. A pure
// unit: the caller reads its clock and waits; the pacer says how long and counts the late cycles.
//
// A cycle whose time has passed when the previous one ends (the instruments answered slower than
// the period) is late: it starts at once, is counted, and the cycles after it keep the period from
// its start. No cycle is left out to catch up, and none is run twice or back to back to make up.
#pragma once
#include <stdint.h>
#include <string>

struct LivePacer {
    // Starting more than this part of the period after its time (at least 1 ms) makes a cycle
    // late; less is the clock's and the scheduler's jitter, and the cycles keep their grid.
    static constexpr double LATE_FRACTION = 0.1;

    LivePacer(double periodMs, uint64_t startMs);

    // Before a cycle, at nowMs: how long to wait before it starts (0: at once). Counts the cycle,
    // and counts it late when its time had passed.
    uint32_t Next(uint64_t nowMs);
    // True when the next cycle's time lies at or past durationMs from the start.
    bool Past(double durationMs) const { return dueMs - startMs >= durationMs; }

    double periodMs;
    double startMs;
    double dueMs;             // when the next cycle is to start
    uint32_t cycles = 0;      // cycles started
    uint32_t late = 0;        // of them late
    uint32_t worstLateMs = 0; // the latest start after its time
};

// The progress of a live run as one line: elapsed time, cycles (of the total when known), values
// read, late cycles and the last warning.
struct LiveProgress {
    uint64_t elapsedMs = 0;
    uint32_t cycles = 0;
    uint32_t totalCycles = 0;   // 0 = until the duration or Ctrl+C
    uint64_t values = 0;
    uint32_t late = 0;
    uint32_t worstLateMs = 0;
    std::string lastWarning;    // UTF-8
};
std::string ProgressLine(const LiveProgress& p);

// When the progress line is drawn: on a terminal redrawn in place at most every REDRAW_MS; in a
// file or pipe one plain line every PlainEvery cycles (about every PLAIN_MS).
struct ProgressSchedule {
    static constexpr uint32_t REDRAW_MS = 250;
    static constexpr uint32_t PLAIN_MS = 2000;

    ProgressSchedule(bool terminal, double periodMs);
    bool Due(uint64_t nowMs, uint32_t cycles);

    bool terminal;
    uint32_t plainEvery;
    uint64_t lastDrawMs = 0;
    bool drawn = false;
};

// The live run's pacing and progress line (declared in livepace.h).
#include <stdio.h>
#include <math.h>
#include <algorithm>
#include "host/runner/livepace.h"

LivePacer::LivePacer(double period, uint64_t start) : periodMs(period), startMs(double(start)), dueMs(double(start)) {}

uint32_t LivePacer::Next(uint64_t nowMs)
{
    double now = double(nowMs);
    cycles++;
    if (now <= dueMs) {
        double wait = ceil(dueMs - now - 1e-6);   // a sum of fractional periods is a hair off
        dueMs += periodMs;
        return uint32_t(wait);
    }
    double behind = now - dueMs;
    if (behind > std::max(1.0, periodMs * LATE_FRACTION)) {
        late++;
        worstLateMs = std::max(worstLateMs, uint32_t(llround(behind)));
        dueMs = now + periodMs;   // the period counts from the late start: no burst to catch up
    } else {
        dueMs += periodMs;
    }
    return 0;
}

std::string ProgressLine(const LiveProgress& p)
{
    char head[160];
    int n = snprintf(head, sizeof head, "live %7.1f s  cycle %u", p.elapsedMs / 1000.0, p.cycles);
    if (p.totalCycles) n += snprintf(head + n, sizeof head - n, "/%u", p.totalCycles);
    n += snprintf(head + n, sizeof head - n, "  values %llu  late %u", static_cast<unsigned long long>(p.values), p.late);
    if (p.late) snprintf(head + n, sizeof head - n, " (worst %u ms)", p.worstLateMs);
    std::string line = head;
    if (!p.lastWarning.empty()) line += "  last warning: " + p.lastWarning;
    return line;
}

ProgressSchedule::ProgressSchedule(bool onTerminal, double periodMs)
    : terminal(onTerminal), plainEvery(std::max(1u, uint32_t(PLAIN_MS / std::max(1.0, periodMs))))
{
}

bool ProgressSchedule::Due(uint64_t nowMs, uint32_t cycles)
{
    if (!terminal) return cycles % plainEvery == 0;
    if (drawn && nowMs - lastDrawMs < REDRAW_MS) return false;
    drawn = true;
    lastDrawMs = nowMs;
    return true;
}

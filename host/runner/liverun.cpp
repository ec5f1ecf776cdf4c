// The live run (declared in liverun.h): the wall clock, the console's Ctrl+C and the progress line
// around the host's experiment run.
#include <windows.h>
#include <io.h>
#include <mmsystem.h>
#include <stdio.h>
#include <atomic>
#include "host/runner/livepace.h"
#include "host/runner/liverun.h"

namespace {

std::atomic<bool> g_stop{false};
HANDLE g_stopEvent = nullptr;

// The console's Ctrl+C or Break asks for the host's stop; a second one while stopping ends the
// program at once (the CSV is already on disk).
BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (g_stop.exchange(true)) return FALSE;
    SetEvent(g_stopEvent);
    return TRUE;
}

// The clock the plug-in reads (GetTickCount), so that the cycles it sees are a period apart.
uint64_t NowMs() { return GetTickCount64(); }

// Waits until the tick count reaches dueMs; false when Ctrl+C came first.
bool WaitUntil(uint64_t dueMs)
{
    uint64_t now = NowMs();
    if (now < dueMs && WaitForSingleObject(g_stopEvent, static_cast<DWORD>(dueMs - now)) == WAIT_OBJECT_0) return false;
    return !g_stop;
}

bool StderrIsTerminal()
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) || _isatty(_fileno(stderr));
}

std::string LastWarning()
{
    const auto& warnings = standin::Warnings();
    if (warnings.empty()) return "";
    std::string text = standin::ToUtf8(warnings.back().caption) + ": " + standin::ToUtf8(warnings.back().text);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

struct ProgressOutput {
    bool terminal;
    size_t width = 0;   // of the line drawn in place
    uint32_t drawnCycles = UINT32_MAX;

    void Draw(const LiveProgress& p)
    {
        if (!terminal && p.cycles == drawnCycles) return;   // the last line already says it
        drawnCycles = p.cycles;
        std::string line = ProgressLine(p);
        if (terminal) {
            size_t shown = line.size();
            if (line.size() < width) line.append(width - line.size(), ' ');
            width = shown;
            fprintf(stderr, "\r%s", line.c_str());
        } else {
            fprintf(stderr, "%s\n", line.c_str());
        }
        fflush(stderr);
    }
    // Before anything else is printed on the terminal: the line in place is erased.
    void Erase()
    {
        if (!terminal || !width) return;
        fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
        fflush(stderr);
        width = 0;
    }
    void End()
    {
        if (terminal && width) fprintf(stderr, "\n");
        width = 0;
    }
};

}  // namespace

LiveResult RunLive(standin::RunOptions run, const LiveOptions& live, CsvLog& csv)
{
    LiveResult result;
    g_stop = false;
    g_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(nullptr, FALSE);   // a parent that ignores Ctrl+C passes that on; a live run needs it
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    timeBeginPeriod(1);   // waits to the millisecond, not the scheduler's tick

    if (live.durationMs > 0) run.cycles = UINT32_MAX;
    uint64_t start = NowMs();
    LivePacer pacer(live.periodMs, start);
    ProgressSchedule schedule(StderrIsTerminal(), live.periodMs);
    ProgressOutput out{schedule.terminal};
    LiveProgress progress;
    progress.totalCycles = live.durationMs > 0 ? 0 : run.cycles;
    size_t warningsSeen = standin::Warnings().size();

    run.waitFor = [&](uint32_t cycle) {
        if (g_stop) return false;
        if (cycle == 0) {   // the clock starts with the first cycle, after the at-start pass
            start = NowMs();
            pacer = LivePacer(live.periodMs, start);
        }
        if (live.durationMs > 0 && pacer.Past(live.durationMs)) return false;
        uint64_t now = NowMs();
        uint32_t wait = pacer.Next(now);
        return WaitUntil(now + wait);
    };
    DWORD lastTick = GetTickCount();
    run.beforeCycle = [&](uint32_t cycle) {
        DWORD now = GetTickCount();
        if (cycle && live.advanceBoardClock) live.advanceBoardClock(now - lastTick);
        lastTick = now;
    };
    auto afterCycle = [&](uint32_t cycles) {
        if (!csv.Append()) result.csvWritten = false;
        if (standin::Warnings().size() != warningsSeen) {
            out.Erase();
            warningsSeen = standin::Warnings().size();
        }
        if (live.printWarnings) live.printWarnings();
        fflush(stdout);
        progress.elapsedMs = NowMs() - start;
        progress.cycles = cycles;
        progress.values = csv.Rows();
        progress.late = pacer.late;
        progress.worstLateMs = pacer.worstLateMs;
        progress.lastWarning = LastWarning();
        if (!live.quiet && schedule.Due(progress.elapsedMs, cycles)) out.Draw(progress);
    };
    run.progress = afterCycle;
    run.progressEvery = 1;

    result.run = standin::RunExperiment(run);
    // The stop's own pass (an at-end output, a last block) is in the file too.
    if (!csv.Append()) result.csvWritten = false;
    result.interrupted = g_stop;
    result.late = pacer.late;
    result.worstLateMs = pacer.worstLateMs;
    result.elapsedMs = NowMs() - start;
    if (!live.quiet && result.run.cycles) {
        progress.elapsedMs = result.elapsedMs;
        progress.cycles = result.run.cycles;
        progress.values = csv.Rows();
        out.Draw(progress);
    }
    out.End();

    timeEndPeriod(1);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    CloseHandle(g_stopEvent);
    g_stopEvent = nullptr;
    return result;
}

// Soak run: a 16-channel GPIB-IN module and its GPIB-OUT partners on one bus, every data type,
// host actions every few cycles, for millions of processing cycles on the simulated clock. Every
// instrument's n-th reading is n, so each channel's delivered values must be 0, 1, 2, ... exactly
// once and in order. Prints one summary line; exit code 0 only when nothing was lost, duplicated
// or left on the host heap and memory and handle counts stayed flat.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include "host/dialogdriver.h"
#include "host/driverconfig.h"
#include "host/modulefiles.h"
#include "host/pluginstart.h"
#include "extavik/host/entry.h"
#include "host/standin_host.h"
#include "host/labbench.h"

namespace {

struct {
    driverconfig::Loaded libs;
    SimControl sim;
} g_driver;

// The soak runs on the simulated tavk.dll.
bool LoadHost()
{
    std::string bin = modulefiles::ProgramDirectory() + "..\\bin\\";
    SetDllDirectoryA(bin.c_str());
    std::string problem;
    if (!driverconfig::LoadFromBin(driverconfig::Default(), bin, g_driver.libs, problem) ||
        !g_driver.sim.Bind(g_driver.libs.Control()) || !labbench::ResetBench(g_driver.sim, GPIB_CHANNELS)) {
        fprintf(stderr, "gpib_soak: no simulated bench from %s%s%s\n", bin.c_str(), problem.empty() ? "" : ": ", problem.c_str());
        return false;
    }
    return pluginstart::StartPlugin("gpib_soak", bin);
}

ModuleRecord* Create(const char* className)
{
    dialogdriver::AnswerSelect(30);
    return standin::CreateModule(className);
}

// Checks the newly released samples of each channel against its ramp, then forgets them.
struct RampCheck {
    uint64_t next[GPIB_CHANNELS] = {};
    uint64_t values = 0, lost = 0, duplicated = 0;
    // The largest reading a channel's format carries exactly (2-byte sources saturate, float32
    // holds integers up to 2^24); beyond it only the count is checked.
    static uint64_t Ceiling(int ch)
    {
        int32_t type = labbench::SOURCES[ch % labbench::SOURCE_COUNT].dataType;
        return type == DATA_INT16 ? 32767u : type == DATA_UINT16 ? 65535u : (1u << 24);
    }
    void Take(ModuleRecord* reader, int channels)
    {
        for (int ch = 0; ch < channels; ch++) {
            for (float v : standin::ReleasedSamples(reader, ch)) {
                values++;
                uint64_t got = uint64_t(v);
                if (next[ch] >= Ceiling(ch)) {
                    next[ch]++;
                } else if (got == next[ch]) {
                    next[ch]++;
                } else if (got > next[ch]) {
                    lost += got - next[ch];
                    next[ch] = got + 1;
                } else {
                    duplicated++;
                }
            }
        }
        standin::ClearReleasedBlocks();
    }
};

struct ProcessSample {
    size_t workingSet;
    DWORD handles;
};

ProcessSample SampleProcess()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    DWORD handles = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &handles) || handles == 0) {
        // Wine answers 0 here; a new handle takes the lowest free slot, so its number grows
        // exactly when handles are left open.
        HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        handles = DWORD(reinterpret_cast<uintptr_t>(probe) / 4);
        CloseHandle(probe);
    }
    return {counters.WorkingSetSize, handles};
}

}  // namespace

int main()
{
    const char* env = getenv("SOAK_CYCLES");
    const uint32_t cycles = env ? uint32_t(strtoul(env, nullptr, 10)) : 1000000u;
    const uint32_t sampleEvery = cycles >= 1000000u ? 1000000u : (cycles / 10 ? cycles / 10 : 1);
    if (!LoadHost()) {
        fprintf(stderr, "gpib_soak: the host or the plug-in did not start\n");
        return 2;
    }
    labbench::Lab lab;
    lab.starter = Create(CLASS_GPIB_OUT);
    lab.query = Create(CLASS_GPIB_OUT);
    lab.reader = Create(CLASS_GPIB_IN);
    lab.finisher = Create(CLASS_GPIB_OUT);
    if (!lab.starter || !lab.query || !lab.reader || !lab.finisher) {
        fprintf(stderr, "gpib_soak: module creation failed\n");
        return 2;
    }
    labbench::Configure(lab, g_driver.sim, GPIB_CHANNELS);
    const size_t baselineBlocks = standin::LiveBlockCount();

    RampCheck check;
    std::vector<ProcessSample> samples;
    standin::RunOptions run;
    run.cycles = cycles;
    // A host action every few cycles on each module type.
    run.beforeCycle = [&](uint32_t cycle) {
        if (cycle % 7 == 3)
            standin::RunAction(lab.reader, 1 << (cycle % GPIB_CHANNELS), ACTION_KIND_RECV_COMMAND);
        if (cycle % 11 == 5)
            standin::RunAction(lab.query, 1 << (cycle % GPIB_CHANNELS), ACTION_KIND_REQUEST_COMMAND);
        // The simulated driver's call log and what its instruments received are the bench's
        // memory, not the plug-in's: cleared here, so the drift measures the plug-in and the host.
        if (cycle % 4096 == 0) {
            check.Take(lab.reader, lab.channels);
            g_driver.sim.SimClearCalls();
            for (int ch = 0; ch < lab.channels; ch++) g_driver.sim.SimClearDeviceInput(labbench::AddressOf(ch));
        }
    };
    run.progressEvery = sampleEvery;
    run.progress = [&](uint32_t done) {
        samples.push_back(SampleProcess());
        fprintf(stderr, "gpib_soak: %u cycles, working set %u KB, handles %lu\n", done,
                unsigned(samples.back().workingSet / 1024), (unsigned long)samples.back().handles);
    };
    samples.push_back(SampleProcess());
    const DWORD startMs = GetTickCount();
    standin::RunResult result = standin::RunExperiment(run);
    check.Take(lab.reader, lab.channels);
    const double seconds = (GetTickCount() - startMs) / 1000.0;

    const size_t heapBlocks = standin::LiveBlockCount() - baselineBlocks;
    const int damaged = standin::CheckHeap();
    const size_t heapErrors = standin::HeapErrors().size();
    // Drift: from the first million-cycle sample (warm) to the last.
    const ProcessSample& first = samples.size() > 1 ? samples[1] : samples[0];
    const ProcessSample& last = samples.back();
    const long memoryDriftKB = long(last.workingSet / 1024) - long(first.workingSet / 1024);
    const long handleDrift = long(last.handles) - long(first.handles);
    printf("soak: cycles %u, values %llu, lost %llu, duplicated %llu, heap blocks %u, heap errors %u, "
           "memory drift %ld KB, handle drift %ld, warnings %u, stopped %d, %.0f s (%.1f us per cycle)\n",
           result.cycles, (unsigned long long)check.values, (unsigned long long)check.lost,
           (unsigned long long)check.duplicated, unsigned(heapBlocks), unsigned(heapErrors + damaged),
           memoryDriftKB, handleDrift, unsigned(standin::Warnings().size()), int(result.stoppedByPlugin),
           seconds, result.cycles ? seconds * 1e6 / result.cycles : 0.0);
    for (const standin::WarningRecord& w : standin::Warnings())
        fprintf(stderr, "gpib_soak: warning %s: %s\n", standin::ToUtf8(w.caption).c_str(), standin::ToUtf8(w.text).c_str());
    const bool good = result.started && result.cycles == cycles && !result.stoppedByPlugin && check.lost == 0 &&
                      check.duplicated == 0 && check.values > 0 && heapBlocks == 0 && heapErrors == 0 &&
                      damaged == 0 && handleDrift <= 0 && memoryDriftKB < 1024;
    dialogdriver::Uninstall();
    standin::RemoveAllModules();
    standin::FinishPlugin();
    return good ? 0 : 1;
}

// The experiment run: pre-start and start messages to every module, processing cycles on the
// simulated clock with scheduled host actions, then the stop message to every module.
#include <math.h>
#include "host/hostinternal.h"

namespace standin {
namespace {

bool SendToAll(uint32_t message, RunResult* result)
{
    for (ModuleRecord* m : Modules()) {
        if (SendToModule(m, message) != 0) continue;
        if (result) {
            result->refusedBy = m;
            result->refusedMessage = message;
        }
        return false;
    }
    return true;
}

int32_t SendScheduled(const ScheduledMessage& s, ModuleRecord* m)
{
    int32_t record[4] = {s.kind, 0, 0, 0};
    ActionDescription desc = {};
    switch (s.message) {
    case MM_ACTION_ARM:
    case MM_ACTION_RUN: return SendToModule(m, s.message, s.wParam, reinterpret_cast<intptr_t>(record));
    case MM_ACTION_DESCRIBE:
        desc.kind = s.kind;
        return SendToModule(m, s.message, s.wParam, reinterpret_cast<intptr_t>(&desc));
    default: return SendToModule(m, s.message, s.wParam, 0);
    }
}

void SendScheduledFor(const RunOptions& options, uint32_t cycle, RunResult* result)
{
    for (const ScheduledMessage& s : options.messages) {
        if (s.cycle != cycle) continue;
        std::vector<ModuleRecord*> targets = s.module ? std::vector<ModuleRecord*>{s.module} : Modules();
        for (ModuleRecord* m : targets) {
            int32_t r = SendScheduled(s, m);
            result->messageResults.push_back("cycle " + std::to_string(cycle) + ": message " +
                                             std::to_string(s.message) + " -> " + std::to_string(r));
        }
    }
}

uint32_t CyclesFor(const RunOptions& options)
{
    if (options.cycles) return options.cycles;
    double perCycle = g_host.samplePeriodMs * g_host.blockSize;
    if (perCycle <= 0) return 0;
    return (uint32_t)ceil(options.durationMs / perCycle);
}

}  // namespace

bool StopRequested() { return g_host.stopRequested; }

bool StartExperiment(RunResult* result)
{
    g_host.stopRequested = false;
    g_host.experimentCycle = 0;
    g_host.startTicks = Ticks();
    g_host.paused = 0;
    PublishVariables();
    if (!SendToAll(MM_PRESTART, result) || !SendToAll(MM_START, result)) return false;
    // The host counts the experiment as running only after every module started.
    g_host.running = 1;
    PublishVariables();
    if (result) result->started = true;
    return true;
}

bool RunCycle(bool paused)
{
    if (g_host.paused != (int32_t)paused) {
        g_host.paused = paused;
        PublishVariables();
    }
    // Straight through the host's own list: a cycle allocates nothing and looks nothing up.
    if (!paused)
        for (size_t i = 0; i < g_host.modules.size(); i++)
            g_host.modules[i]->cls->record.processProc(g_host.modules[i]->record);
    AdvanceTicks(g_host.cycleTicks);
    g_host.experimentCycle++;
    return !g_host.stopRequested;
}

void EndExperiment()
{
    SendToAll(MM_STOP, nullptr);
    g_host.running = 0;
    g_host.paused = 0;
    PublishVariables();
}

RunResult RunExperiment(const RunOptions& options)
{
    RunResult result;
    if (!StartExperiment(&result)) {
        g_host.running = 0;
        PublishVariables();
        return result;
    }
    uint32_t cycles = g_host.stopRequested ? 0 : CyclesFor(options);
    result.stoppedByPlugin = g_host.stopRequested;
    for (uint32_t cycle = 0; cycle < cycles; cycle++) {
        if (options.waitFor && !options.waitFor(cycle)) break;
        if (options.beforeCycle) options.beforeCycle(cycle);
        SendScheduledFor(options, cycle, &result);
        bool paused = options.pausedAt && options.pausedAt(cycle);
        bool more = RunCycle(paused);
        result.cycles++;
        if (options.progress && options.progressEvery && result.cycles % options.progressEvery == 0)
            options.progress(result.cycles);
        if (!more) {
            result.stoppedByPlugin = true;
            break;
        }
    }
    EndExperiment();
    return result;
}

}  // namespace standin

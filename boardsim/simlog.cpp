// Call log, scripted results and the trace of the bench's face (declared in simlog.h).
#include <string.h>
#include "boardsim/simlog.h"
#include "extavik_version.h"

bool SimKnownEntry(const char* name)
{
    const SimFace& face = *Sim().face;
    for (size_t i = 0; i < face.entryCount; i++)
        if (strcmp(face.entries[i], name) == 0) return true;
    return false;
}

bool SimFreeEntry(const char* name) { return Sim().face->freeEntry && Sim().face->freeEntry(name); }

void SimOpenTrace(const std::string& path)
{
    SimState& s = Sim();
    if (s.trace) fclose(s.trace);
    s.trace = path.empty() ? nullptr : fopen(path.c_str(), "w");
    SimTraceLine(std::string("tavk.dll (simulated bench) version ") + EXTAVIK_VERSION);
}

void SimTraceLine(const std::string& line)
{
    FILE* f = Sim().trace;
    if (!f) return;
    fprintf(f, "[%8u ms] %s\n", SimNow(), line.c_str());
    fflush(f);
}

static void CountCall(const char* entry)
{
    for (auto& c : Sim().callCounts)
        if (c.first == entry) { c.second++; return; }
    Sim().callCounts.emplace_back(entry, 1);
}

// The first script that fires on this call decides its result.
static const SimScript* ScriptFor(const char* entry)
{
    const SimScript* hit = nullptr;
    bool anyEntry = !SimFreeEntry(entry);
    for (SimScript& sc : Sim().scripts) {
        if (!(sc.entry == entry || (sc.entry.empty() && anyEntry))) continue;
        if (sc.fired) { if (sc.every && !hit) hit = &sc; continue; }
        if (--sc.remaining == 0) {
            sc.fired = true;
            if (!hit) hit = &sc;
        }
    }
    return hit;
}

bool SimLogBegin(SimCall& call, const char* entry, std::initializer_list<uint32_t> args)
{
    SimState& s = Sim();
    strncpy(call.rec.entry, entry, sizeof call.rec.entry - 1);
    for (uint32_t a : args)
        if (call.rec.argCount < 6) call.rec.args[call.rec.argCount++] = a;
    CountCall(entry);
    if (const SimScript* sc = ScriptFor(entry)) {
        call.scripted = true;
        call.rec.scripted = 1;
        call.rec.result = sc->result;
        s.board.lastError = sc->lastError;
    }
    return call.scripted;
}

void SimCallData(SimCall& call, const void* data, uint32_t length)
{
    call.rec.dataLength = length;
    if (data) memcpy(call.rec.data, data, length < uint32_t(SIM_DATA_MAX) ? length : uint32_t(SIM_DATA_MAX));
}

static std::string TraceText(const SimCallRecord& r, const std::string& detail)
{
    std::string line = r.entry;
    line += "(";
    for (uint32_t i = 0; i < r.argCount; i++) {
        char arg[16];
        snprintf(arg, sizeof arg, i ? ", %u" : "%u", r.args[i]);
        line += arg;
    }
    line += ")";
    if (!detail.empty()) line += " " + detail;
    line += " -> " + std::to_string(r.result);
    if (r.result != 1 || r.scripted) line += " error " + std::to_string(r.lastError);
    if (r.scripted) line += " (scripted)";
    return line;
}

int32_t SimCallEnd(SimCall& call, int32_t result, const std::string& detail)
{
    SimState& s = Sim();
    if (!call.scripted) call.rec.result = result;
    call.rec.lastError = s.board.lastError;
    call.rec.timeMs = SimNow();
    if (s.trace) SimTraceLine(TraceText(call.rec, detail));
    s.log[s.logTotal % SIM_LOG_KEPT] = call.rec;
    s.logTotal++;
    return call.rec.result;
}

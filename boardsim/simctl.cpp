// The control interface of the simulated driver (declared and described in simctl.h).
#include <windows.h>
#include <string.h>
#include "boardsim/simcall.h"
#include "boardsim/simctl.h"
#include "interfaces/tavkdrv.h"

static void ClearCalls()
{
    Sim().logTotal = 0;
    Sim().callCounts.clear();
}

extern "C" int32_t WINAPI SimReset(void)
{
    SimFaceGuard guard;
    SimState& s = Sim();
    ClearCalls();
    s.scripts.clear();
    s.clockMs = 0;
    s.board.lastError = SIM_NO_ERROR;
    s.board.deviceInput.clear();
    s.board.deviceOutput.clear();
    s.board.srqStb = 0;
    BusUnaddressAll();
    return SimLoadConfiguredBench() ? 1 : 0;
}

extern "C" int32_t WINAPI SimLoadBench(const char* jsonText)
{
    SimFaceGuard guard;
    return SimLoadBenchText(jsonText ? jsonText : "", "(text)") ? 1 : 0;
}

extern "C" const char* WINAPI SimLastMessage(void)
{
    SimFaceGuard guard;
    return Sim().message.c_str();
}

extern "C" uint32_t WINAPI SimCallCount(void)
{
    SimFaceGuard guard;
    return Sim().logTotal;
}

extern "C" int32_t WINAPI SimGetCall(uint32_t index, SimCallRecord* record)
{
    SimFaceGuard guard;
    SimState& s = Sim();
    uint32_t kept = s.logTotal < uint32_t(SIM_LOG_KEPT) ? s.logTotal : uint32_t(SIM_LOG_KEPT);
    if (!record || index < s.logTotal - kept || index >= s.logTotal) return 0;
    *record = s.log[index % SIM_LOG_KEPT];
    return 1;
}

extern "C" uint32_t WINAPI SimCountCalls(const char* entry)
{
    SimFaceGuard guard;
    for (const auto& c : Sim().callCounts)
        if (entry && c.first == entry) return c.second;
    return 0;
}

extern "C" void WINAPI SimClearCalls(void)
{
    SimFaceGuard guard;
    ClearCalls();
}

extern "C" int32_t WINAPI SimScriptCall(const char* entry, uint32_t nth, int32_t result, int32_t lastError, int32_t every)
{
    SimFaceGuard guard;
    bool any = !entry || strcmp(entry, "*") == 0;
    if (nth == 0 || (!any && !SimKnownEntry(entry))) return 0;
    Sim().scripts.push_back({any ? std::string() : std::string(entry), nth, result, lastError, every != 0, false});
    return 1;
}

extern "C" void WINAPI SimClearScripts(void)
{
    SimFaceGuard guard;
    Sim().scripts.clear();
}

static const char* const kindNames[] = {"multimeter", "binary", "srq", "silent"};

extern "C" int32_t WINAPI SimGetDevice(int32_t address, SimDeviceInfo* info)
{
    SimFaceGuard guard;
    SimInstrument* d = SimFindInstrument(address);
    if (!d || !info) return 0;
    memset(info, 0, sizeof *info);
    info->address = d->address;
    strncpy(info->type, kindNames[d->kind], sizeof info->type - 1);
    info->remote = d->remote;
    info->lockout = d->lockout;
    info->listener = d->listener;
    info->talker = d->talker;
    info->statusByte = d->stb;
    info->ist = d->ist;
    info->ppollLine = d->ppLine;
    info->ppollSense = d->ppSense;
    info->clears = d->clears;
    info->triggers = d->triggers;
    info->readings = d->readings;
    info->inputLength = static_cast<uint32_t>(d->input.size());
    info->outputLength = static_cast<uint32_t>(d->output.size());
    return 1;
}

extern "C" int32_t WINAPI SimGetDeviceInput(int32_t address, char* buffer, int32_t max)
{
    SimFaceGuard guard;
    const std::string* input = nullptr;
    if (address == -1) input = &Sim().board.deviceOutput;
    else if (SimInstrument* d = SimFindInstrument(address)) input = &d->input;
    if (!input) return 0;
    size_t n = max > 0 ? (input->size() < static_cast<size_t>(max) ? input->size() : static_cast<size_t>(max)) : 0;
    if (buffer && n) memcpy(buffer, input->data(), n);
    return static_cast<int32_t>(input->size());
}

extern "C" int32_t WINAPI SimClearDeviceInput(int32_t address)
{
    SimFaceGuard guard;
    if (address == -1) { Sim().board.deviceOutput.clear(); return 1; }
    SimInstrument* d = SimFindInstrument(address);
    if (!d) return 0;
    d->input.clear();
    return 1;
}

extern "C" int32_t WINAPI SimQueueAnswer(int32_t address, const char* data, int32_t length, int32_t eoi)
{
    SimFaceGuard guard;
    std::deque<SimByte>* out = nullptr;
    if (address == -1) out = &Sim().board.deviceInput;
    else if (SimInstrument* d = SimFindInstrument(address)) out = &d->output;
    if (!out || length < 0 || (!data && length > 0)) return 0;
    for (int32_t i = 0; i < length; i++) out->push_back({static_cast<uint8_t>(data[i]), false});
    if (eoi && length > 0) out->back().eoi = true;
    return 1;
}

extern "C" int32_t WINAPI SimSetStatusByte(int32_t address, int32_t statusByte)
{
    SimFaceGuard guard;
    SimInstrument* d = SimFindInstrument(address);
    if (!d) return 0;
    d->stb = static_cast<uint8_t>(statusByte);
    return 1;
}

extern "C" int32_t WINAPI SimSetIst(int32_t address, int32_t ist)
{
    SimFaceGuard guard;
    SimInstrument* d = SimFindInstrument(address);
    if (!d) return 0;
    d->ist = ist ? 1 : 0;
    return 1;
}

extern "C" int32_t WINAPI SimGetBoard(SimBoardInfo* info)
{
    SimFaceGuard guard;
    if (!info) return 0;
    const SimBoard& b = Sim().board;
    memset(info, 0, sizeof *info);
    info->open = b.open;
    info->handle = TAVK_BOARD_HANDLE;
    info->role = b.role;
    info->address = b.address;
    info->eosMode = static_cast<int32_t>(b.eosMode);
    info->eosFlag = static_cast<int32_t>(b.eosFlag);
    info->timeoutMs = b.timeoutMs;
    info->ren = b.ren;
    info->bufferSize = b.bufferSize;
    info->status = BusStatusWord();
    info->ppollResponseMode = static_cast<int32_t>(b.pprMode);
    info->srqStatusByte = b.srqStb;
    return 1;
}

extern "C" void WINAPI SimAdvanceTime(uint32_t ms)
{
    SimFaceGuard guard;
    SimTimePasses(ms);
}

extern "C" uint32_t WINAPI SimTime(void)
{
    SimFaceGuard guard;
    return SimNow();
}

extern "C" void WINAPI SimSetOpCost(uint32_t ms)
{
    SimFaceGuard guard;
    Sim().opCostMs = ms;
}

extern "C" int32_t WINAPI SimSetTrace(const char* path)
{
    SimFaceGuard guard;
    SimOpenTrace(path ? path : "");
    return path && *path ? (Sim().trace != nullptr) : 1;
}

// Typed bindings of the libraries a run loads, for the runner, the benchmarks, the soak and the
// tests: TavkX's Gpib* exports (interfaces/gpibapi.h) and the simulated bench's control interfaces
// (boardsim/simctl.h, boardsim/adapterctl.h). Header-only.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "boardsim/adapterctl.h"
#include "boardsim/simctl.h"
#include "host/modulefiles.h"
#include "interfaces/gpibapi.h"

// The Sim* control functions of a loaded simulated library (the simulated tavk.dll, ni4882.dll or
// adaptersim.dll).
struct SimControl {
#define SIM_CONTROL_SLOT(name) decltype(&::name) name = nullptr;
    SIM_CONTROL_LIST(SIM_CONTROL_SLOT)
#undef SIM_CONTROL_SLOT
    bool Bind(HMODULE lib)
    {
        bool all = lib != nullptr;
#define SIM_CONTROL_BIND(n) all = modulefiles::Resolve(lib, #n, n) && all;
        SIM_CONTROL_LIST(SIM_CONTROL_BIND)
#undef SIM_CONTROL_BIND
        return all;
    }
    // The calls logged since the last clear (the kept ones).
    std::vector<SimCallRecord> Log()
    {
        std::vector<SimCallRecord> calls;
        for (uint32_t i = 0; i < SimCallCount(); i++) {
            SimCallRecord r;
            if (SimGetCall(i, &r)) calls.push_back(r);
        }
        return calls;
    }
};

// The control functions of the adapter simulator.
struct AdapterControl {
#define ADAPTER_CONTROL_SLOT(name) decltype(&::name) name = nullptr;
    ADAPTER_SIM_CONTROL_LIST(ADAPTER_CONTROL_SLOT)
#undef ADAPTER_CONTROL_SLOT
    bool Bind(HMODULE lib)
    {
        bool all = lib != nullptr;
#define ADAPTER_CONTROL_BIND(n) all = modulefiles::Resolve(lib, #n, n) && all;
        ADAPTER_SIM_CONTROL_LIST(ADAPTER_CONTROL_BIND)
#undef ADAPTER_CONTROL_BIND
        return all;
    }
    // The lines received since the last clear.
    std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        for (uint32_t i = 0; i < AdapterSimLineCount(); i++) {
            char text[1024];
            int32_t n = AdapterSimGetLine(i, text, sizeof text);
            if (n >= 0) lines.emplace_back(text, n < (int32_t)sizeof text ? n : (int32_t)sizeof text);
        }
        return lines;
    }
};

// The Gpib* exports of a loaded TavkX, by name.
#define GPIB_EXPORT_LIST(X) \
    X(GetQuvRes) X(GpibInit) X(GpibSetTime) X(GpibIfc) X(GpibRen) X(GpibSendCmd) X(GpibSend) \
    X(GpibSendN) X(GpibSend2) X(GpibSend2N) X(GpibRecv) X(GpibChkSrq) X(GpibSPoll) X(GpibSPollN) \
    X(GpibPPoll) X(GpibPPollConfig) X(GpibPPollUConfig) X(GpibPPollUConfigAll) X(GpibStatus) \
    X(GpibSendS) X(GpibRecvS) X(GpibSetStatusByte) X(GpibSetSrq) X(GpibSetPPR) X(TQ02GetCounter) \
    X(GpibSetBuffSize)

struct GpibExports {
#define GPIB_EXPORT_SLOT(name) decltype(&::name) name = nullptr;
    GPIB_EXPORT_LIST(GPIB_EXPORT_SLOT)
#undef GPIB_EXPORT_SLOT
    bool Bind(HMODULE tavkx)
    {
        bool all = tavkx != nullptr;
#define GPIB_EXPORT_BIND(n) all = modulefiles::Resolve(tavkx, #n, n) && all;
        GPIB_EXPORT_LIST(GPIB_EXPORT_BIND)
#undef GPIB_EXPORT_BIND
        return all;
    }
};

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

// One typed slot per function of an X-list, and Bind(lib), which resolves them all: false when lib
// is null or lacks one of them.
#define HOST_BINDING_SLOT(name) decltype(&::name) name = nullptr;
#define HOST_BINDING_RESOLVE(name) all = modulefiles::Resolve(lib, #name, name) && all;
#define HOST_BINDINGS(LIST)          \
    LIST(HOST_BINDING_SLOT)          \
    bool Bind(HMODULE lib)           \
    {                                \
        bool all = lib != nullptr;   \
        LIST(HOST_BINDING_RESOLVE)   \
        return all;                  \
    }

// The Sim* control functions of a loaded simulated library (the simulated tavk.dll, ni4882.dll or
// adaptersim.dll).
struct SimControl {
    HOST_BINDINGS(SIM_CONTROL_LIST)
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
    HOST_BINDINGS(ADAPTER_SIM_CONTROL_LIST)
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
    HOST_BINDINGS(GPIB_EXPORT_LIST)
};

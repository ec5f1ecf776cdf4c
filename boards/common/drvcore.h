// What every real board driver tavk.dll shares: the open board and its last error (kept by the
// contract layer, tavkcontract.cpp), the trace (TAVK_TRACE: one line per entry point, the board's
// own calls under it) and the reports the user must see.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include "interfaces/tavkdrv.h"

struct DriverCore {
    const char* name;          // "NI-488.2": standard error lines start "tavk.dll (NAME): "
    bool open = false;
    int32_t lastError = 0;
    FILE* trace = nullptr;

    explicit DriverCore(const char* driverName) : name(driverName) {}

    void OpenTrace();                       // TAVK_TRACE, when set
    void OpenTraceFile(const char* path);   // first line: the driver and its version
    void Trace(const std::string& line);
    // A problem the user must see: standard error and the trace.
    void Report(const std::string& message);
    // One line per entry point: "ENTRY DETAIL -> RESULT", with " error N" when it failed.
    void TraceEntry(const char* entry, const std::string& detail, int32_t result, bool failed);
};

// What every real board driver tavk.dll shares: the open board and its last error, the one
// handle it gives, the trace (TAVK_TRACE: one line per entry point, the board's own calls under
// it) and the envelope of an entry point (handle check, result, trace line).
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

enum { DRIVER_HANDLE = 1 };

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
    void TraceEntry(const char* entry, const std::string& detail, int32_t result) { TraceEntry(entry, detail, result, result != 1); }

    int32_t Fail(int32_t error)
    {
        lastError = error;
        return 0;
    }
    int32_t Done(bool ok)
    {
        if (ok) lastError = 0;
        return ok ? 1 : 0;
    }
    // TavkGetResource of a board with no resources of its own to report: the block is zeros.
    int32_t NoResources(uint32_t boardNumber, void* block);
    // Every entry point but TavkCreate and TavkGetResource needs the open board.
    bool BoardOk(uint32_t board)
    {
        if (open && board == DRIVER_HANDLE) return true;
        lastError = TAVK_ERR_ARGUMENT;
        return false;
    }
    // Trace text is only made while a trace is written.
    template <typename Op, typename Text>
    int32_t Entry(const char* entry, uint32_t board, Op op, Text detail)
    {
        int32_t r = BoardOk(board) ? op() : 0;
        if (trace) TraceEntry(entry, detail(), r);
        return r;
    }
    template <typename Op>
    int32_t Entry(const char* entry, uint32_t board, Op op)
    {
        return Entry(entry, board, op, [] { return std::string(); });
    }
    // TavkGetStatus gives the status word, not a result: any word is a success; only a board
    // that is not open fails (0, with its error).
    template <typename Op>
    int32_t StatusEntry(const char* entry, uint32_t board, Op op)
    {
        bool ok = BoardOk(board);
        int32_t word = ok ? op() : 0;
        if (trace) TraceEntry(entry, std::string(), word, !ok);
        return word;
    }
    // TavkSendDataCN and TavkSendDataC over the driver's send to an address list.
    template <typename SendTo>
    int32_t SendDataCN(uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length, SendTo send)
    {
        return Entry("TavkSendDataCN", board, [=] { return send(list, count, data, length); },
                     [=] { return BusEscape(data, data ? length : 0); });
    }
    template <typename SendTo>
    int32_t SendDataC(uint32_t board, uint32_t address, const char* data, uint32_t length, SendTo send)
    {
        int16_t one[1] = {static_cast<int16_t>(address > 0xFFFF ? -1 : address)};
        return Entry("TavkSendDataC", board, [&] { return send(one, 1, data, length); },
                     [=] { return "to " + std::to_string(address) + " " + BusEscape(data, data ? length : 0); });
    }
};

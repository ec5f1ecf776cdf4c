// How the NI-backed driver translates between the driver contract and the NI-488.2 API: time-out
// codes, end-of-string settings, status and errors. Pure: values in, values out.
#pragma once
#include <stdint.h>
#include <string>
#include "interfaces/tavkeos.h"
#include "interfaces/ni4882.h"
#include "interfaces/tavkdrv.h"

// Driver error numbers of this driver beyond the ones TavkX interprets.
enum {
    NI_DRIVER_ERR_OTHER = 20,     // any other NI-488.2 error (its iberr name is in the trace)
    NI_DRIVER_ERR_NO_LIBRARY = 21,
    NI_DRIVER_ERR_SETTINGS = 22,  // a bad settings file or TAVK_NI_BOARD
};
// The settings file beside the driver: {"board": "GPIB1", "trace": "C:\\ni-trace.txt"}.
#define NI_SETTINGS_FILE "tavk_ni.json"
enum { NI_BOARD_INDEX_MAX = 99 };

// The index of a board name "GPIB0" .. "GPIB99" (any case), -1 for anything else.
inline int NiBoardIndex(const std::string& name)
{
    if (name.size() < 5 || name.size() > 6) return -1;
    for (size_t i = 0; i < 4; i++)
        if ((name[i] & ~0x20) != "GPIB"[i]) return -1;
    int index = 0;
    for (size_t i = 4; i < name.size(); i++) {
        if (name[i] < '0' || name[i] > '9') return -1;
        index = index * 10 + (name[i] - '0');
    }
    return index <= NI_BOARD_INDEX_MAX ? index : -1;
}

// The smallest time-out code that is not shorter than ms; 0 (no limit) for 0 and for longer than
// the longest code.
inline int NiTimeoutCode(uint32_t ms)
{
    if (ms == 0) return 0;
    for (int c = 1; c < NI_TIMEOUT_CODES; c++)
        if (niTimeoutMicroseconds[c] >= uint64_t(ms) * 1000) return c;
    return 0;
}

// End-of-string mode and flag: the IbcEOS value for reads (the bytes written: TavkEosBytes).
inline int NiEosValue(uint32_t mode, uint32_t flag)
{
    std::string bytes = TavkEosBytes(mode, flag);
    return bytes.empty() ? 0 : (NI_REOS | static_cast<uint8_t>(bytes.back()));
}

// The driver error number of a failed call.
inline int32_t NiDriverError(unsigned long ibsta, unsigned long iberr)
{
    if ((ibsta & NI_TIMO) || iberr == NI_EABO) return TAVK_ERR_TIMEOUT;
    switch (iberr) {
    case NI_ENOL: return TAVK_ERR_NO_LISTENER;
    case NI_ECIC: case NI_ESAC: case NI_EADR: return TAVK_ERR_ROLE;
    case NI_EARG: return TAVK_ERR_ARGUMENT;
    default: return NI_DRIVER_ERR_OTHER;
    }
}

inline const char* NiErrorName(unsigned long iberr)
{
    static const struct { unsigned long code; const char* name; } names[] = {
        {NI_EDVR, "EDVR"}, {NI_ECIC, "ECIC"}, {NI_ENOL, "ENOL"}, {NI_EADR, "EADR"}, {NI_EARG, "EARG"},
        {NI_ESAC, "ESAC"}, {NI_EABO, "EABO"}, {NI_ENEB, "ENEB"}, {NI_EDMA, "EDMA"}, {NI_EOIP, "EOIP"},
        {NI_ECAP, "ECAP"}, {NI_EFSO, "EFSO"}, {NI_EBUS, "EBUS"}, {NI_ESTB, "ESTB"}, {NI_ESRQ, "ESRQ"},
        {NI_ETAB, "ETAB"}, {NI_ELCK, "ELCK"}, {NI_EARM, "EARM"}, {NI_EHDL, "EHDL"}, {NI_EWIP, "EWIP"},
        {NI_ERST, "ERST"}, {NI_EPWR, "EPWR"},
    };
    for (const auto& n : names)
        if (n.code == iberr) return n.name;
    return "E?";
}

// The driver's status word from ibsta: addressed to talk and to listen, controller in charge.
inline int32_t NiStatusWord(unsigned long ibsta)
{
    int32_t w = 0;
    if (ibsta & NI_CIC) w |= 0x0001;
    if (ibsta & NI_TACS) w |= TAVK_STATUS_TALKER;
    if (ibsta & NI_LACS) w |= TAVK_STATUS_LISTENER;
    return w;
}

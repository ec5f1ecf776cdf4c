// A representative lab set-up on one bus, shared by the soak and the fault-injection and
// hostile-settings tests: a GPIB-IN module reading every data type (a ramp multimeter in ASCII,
// binary sources of each width and format, a serial-polled multimeter), an always-mode GPIB-OUT
// module sending the queries, and at-start and at-end GPIB-OUT modules. Every instrument's n-th
// reading is n.
#pragma once
#include <stdio.h>
#include <string>
#include <vector>
#include "extavik/data/gpibtypes.h"
#include <string.h>
#include "host/standin_host.h"
#include "host/bindings.h"

namespace labbench {

struct Source {
    int address;
    const char* type;     // bench instrument type
    int width;            // binary: bytes per value
    const char* format;   // binary: signed, unsigned, float
    int32_t dataType;     // the channel's data type
    int32_t terminator;
    int32_t requestMode;
};

// One row per GPIB-IN channel.
constexpr Source SOURCES[] = {
    {22, "multimeter", 0, "", DATA_ASCII, TERM_CRLF, REQUEST_NORMAL},
    {5, "binary", 2, "signed", DATA_INT16, TERM_EOI, REQUEST_NORMAL},
    {6, "binary", 2, "unsigned", DATA_UINT16, TERM_EOI, REQUEST_NORMAL},
    {7, "binary", 4, "signed", DATA_INT32, TERM_EOI, REQUEST_NORMAL},
    {8, "binary", 4, "unsigned", DATA_UINT32, TERM_EOI, REQUEST_NORMAL},
    {10, "binary", 4, "float", DATA_FLOAT32, TERM_EOI, REQUEST_NORMAL},
    {11, "binary", 8, "float", DATA_FLOAT64, TERM_EOI, REQUEST_NORMAL},
    {23, "multimeter", 0, "", DATA_ASCII, TERM_CRLF, REQUEST_SPOLL},
};
constexpr int SOURCE_COUNT = int(sizeof SOURCES / sizeof SOURCES[0]);
constexpr int SPOLL_READY_BIT = 4;

// The bench JSON for the channels: SOURCES in turn, extra channels at addresses 4 + channel.
inline std::string BenchJson(int channels = SOURCE_COUNT)
{
    std::string json = "{\"opCostMs\": 0, \"instruments\": [";
    for (int ch = 0; ch < channels; ch++) {
        const Source& s = SOURCES[ch % SOURCE_COUNT];
        int address = ch < SOURCE_COUNT ? s.address : 4 + ch;
        char row[320];
        if (s.width)
            snprintf(row, sizeof row,
                     "%s{\"address\": %d, \"type\": \"binary\", \"width\": %d, \"format\": \"%s\", "
                     "\"count\": 1, \"appendEos\": false, \"talkOnly\": false, "
                     "\"signal\": {\"shape\": \"ramp\", \"offset\": 0, \"step\": 1}}",
                     ch ? ", " : "", address, s.width, s.format);
        else
            snprintf(row, sizeof row,
                     "%s{\"address\": %d, \"type\": \"multimeter\", "
                     "\"signal\": {\"shape\": \"ramp\", \"offset\": 0, \"step\": 1}}",
                     ch ? ", " : "", address);
        json += row;
    }
    return json + "]}";
}

inline int AddressOf(int ch)
{
    return ch < SOURCE_COUNT ? SOURCES[ch].address : 4 + ch;
}

struct Lab {
    ModuleRecord* starter = nullptr;   // at-start pass: gives every device its first output turn
    ModuleRecord* query = nullptr;     // always mode: sends the queries
    ModuleRecord* reader = nullptr;    // GPIB-IN: reads every data type
    ModuleRecord* finisher = nullptr;  // at-end pass
    int channels = 0;
};

inline void SetScript(ModuleRecord* m, int ch, const char* script)
{
    GpibModuleParams* p = standin::Params(m);
    memset(p->commandText[ch], 0, GPIB_COMMAND_TEXT_SIZE);
    strcpy(p->commandText[ch], script);
}

// Rebuilds the bench (devices, clock, call log, scripts) for a new run of the same modules.
inline bool ResetBench(SimControl& sim, int channels = SOURCE_COUNT)
{
    if (sim.SimLoadBench(BenchJson(channels).c_str()) != 1)
        return false;
    for (int ch = 0; ch < channels; ch++)
        if (SOURCES[ch % SOURCE_COUNT].requestMode == REQUEST_SPOLL)
            sim.SimSetStatusByte(AddressOf(ch), 1 << SPOLL_READY_BIT);
    return true;
}

// Configures the modules (created by the caller through the SELECT dialog) as the lab uses them.
inline void Configure(Lab& lab, SimControl& sim, int channels = SOURCE_COUNT)
{
    lab.channels = channels;
    GpibModuleParams* s = standin::Params(lab.starter);
    GpibModuleParams* q = standin::Params(lab.query);
    GpibModuleParams* r = standin::Params(lab.reader);
    GpibModuleParams* f = standin::Params(lab.finisher);
    s->outMode = OUT_MODE_AT_START;
    s->outChannelCount = channels;
    q->outChannelCount = channels;
    f->outMode = OUT_MODE_AT_END;
    f->outChannelCount = 1;
    SetScript(lab.finisher, 0, "RENON\r\nSEND \"*CLS\"\r\nSENDCMD \"GTL\"\r\nRENOFF\r\n");
    lab.reader->outputCount = channels;
    standin::SetSamplePeriodMs(1.0);
    standin::SetBlockSize(1);
    for (int ch = 0; ch < channels; ch++) {
        const Source& src = SOURCES[ch % SOURCE_COUNT];
        int16_t address = int16_t(AddressOf(ch));
        for (GpibModuleParams* p : {s, q, r, f})
            p->addr[ch].primaryAddress = address;
        SetScript(lab.starter, ch, "SENDCMD \"SDC\"\r\n");
        SetScript(lab.query, ch, src.width ? "SEND \"DATA?\"\r\n" : "SEND \"READ?\"\r\n");
        r->dataType[ch] = src.dataType;
        r->terminator[ch] = src.terminator;
        r->requestMode[ch] = src.requestMode;
        r->spollReadyBit[ch] = SPOLL_READY_BIT;
        r->requestInterval[ch] = 0.001;
    }
    ResetBench(sim, channels);
}

// Values 0, 1, 2, ... of one channel arrived exactly once and in order: the count of good ones,
// or -1 with the first problem in *problem.
inline int CheckRamp(const std::vector<float>& values, std::string* problem)
{
    for (size_t i = 0; i < values.size(); i++) {
        if (values[i] != float(i)) {
            char text[120];
            snprintf(text, sizeof text, "value %u is %g, expected %u (of %u)", unsigned(i), values[i],
                     unsigned(i), unsigned(values.size()));
            *problem = text;
            return -1;
        }
    }
    return int(values.size());
}

}  // namespace labbench

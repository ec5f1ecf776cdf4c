// The state of the simulated bench: the board, the instruments on its bus, the clock, the call
// log and the scripted results, and the face it is offered through. One bench per library; the
// units above it (log, instruments, bus, bench reader, calls, control) only read and change it.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <deque>
#include <string>
#include <utility>
#include <vector>
#include "boardsim/simctl.h"
#include "boardsim/simface.h"

enum { SIM_NO_ERROR = 0 };
const size_t SIM_INPUT_HISTORY_MAX = 1u << 20;   // bytes of received data kept per device

enum SimRole { ROLE_NONE = 0, ROLE_CONTROLLER = 1, ROLE_SYSTEM_CONTROLLER = 2, ROLE_DEVICE = 3 };
enum SimKind { KIND_MULTIMETER, KIND_BINARY, KIND_SRQ, KIND_SILENT };
enum SimShape { SHAPE_CONSTANT, SHAPE_RAMP, SHAPE_SINE, SHAPE_NOISE };
enum SimFormat { FORMAT_SIGNED, FORMAT_UNSIGNED, FORMAT_FLOAT };

// Extra status word bits of the simulated board (0x0400 talker and 0x0800 listener are shared).
enum {
    SIM_STATUS_CIC = 0x0001,
    SIM_STATUS_SYSTEM_CONTROLLER = 0x0002,
    SIM_STATUS_REN = 0x0004,
    SIM_STATUS_SRQ = 0x0008,
    SIM_STATUS_DEVICE = 0x0010,
};

enum { STB_RQS = 0x40 };

// SimBoard::readEnd: the end-of-string in force, EOI alone, or (0..255) that byte.
enum { SIM_READ_END_EOS = -2, SIM_READ_END_EOI = -1 };

struct SimByte {
    uint8_t value;
    bool eoi;
    bool eosAfter = false;   // a device answer ends here: the end-of-string in force when it is read follows
};

struct SimSignal {
    SimShape shape = SHAPE_CONSTANT;
    double offset = 0, amplitude = 1, period = 100, step = 1;
    uint32_t seed = 1;
};

struct SimInstrument {
    int address = 0;
    SimKind kind = KIND_SILENT;
    std::string name, idn;
    SimSignal signal;
    int width = 2;                  // binary: bytes per value
    SimFormat format = FORMAT_SIGNED;
    int count = 1;                  // binary: values per answer
    std::string header;             // binary: bytes before the values
    bool appendEos = true;          // answers end with the board's end-of-string bytes
    bool talkOnly = false;          // addressed to talk with nothing queued: takes a reading
    int readyBit = 4;               // srq: status byte bit raised when a triggered reading is ready
    uint32_t delayMs = 100;         // srq: time from trigger to ready
    // state
    bool triggerPending = false;
    uint32_t readyAt = 0;
    uint32_t readings = 0, clears = 0, triggers = 0;
    std::deque<SimByte> output;
    std::string input;              // what it received since the last clear (the newest SIM_INPUT_HISTORY_MAX bytes at most)
    uint8_t stb = 0;
    int ist = 0, ppLine = -1, ppSense = 1;
    bool remote = false, lockout = false, listener = false, talker = false;
};

struct SimBoard {
    bool open = false;
    SimRole role = ROLE_NONE;
    int address = 0;
    uint32_t eosMode = 0, eosFlag = 0;
    uint32_t timeoutMs = 10000;
    bool ren = false, talker = false, listener = false;
    bool ppcPending = false;
    uint32_t bufferSize = 0;
    uint8_t srqStb = 0;
    uint32_t pprMode = 0;
    int readEnd = SIM_READ_END_EOS;    // what ends a message the board receives, besides EOI
    bool lastEoi = false;              // the last byte the board received came with EOI
    int32_t lastError = SIM_NO_ERROR;
    std::deque<SimByte> deviceInput;   // the board as a device: bytes its controller sends it
    std::string deviceOutput;          // the board as a device: bytes it sent
};

// The "++" adapter in front of the bench (adapterentry.cpp): which device it behaves as, how long
// it takes to start, and the settings its EPROM holds (the bench file's "adapter" section).
enum SimAdapterKind { ADAPTER_KIND_PROLOGIX, ADAPTER_KIND_AR488 };
struct SimAdapterSettings {
    int address = 0, autoRead = 0, eoi = 1, eos = 0, eotEnable = 0, eotChar = 0, mode = 1, readTmoMs = 500;
};
struct SimAdapterBench {
    SimAdapterKind kind = ADAPTER_KIND_PROLOGIX;
    uint32_t bootMs = 0;             // after power-on or a reset the adapter hears nothing this long
    SimAdapterSettings saved;        // the EPROM's content
};

struct SimScript {
    std::string entry;   // "" = any entry point but the face's free ones
    uint32_t remaining;  // matching calls until it fires
    int32_t result, lastError;
    bool every, fired;
};

struct SimState {
    SimBoard board;
    std::vector<SimInstrument> instruments;
    SimAdapterBench adapter;
    bool benchOk = false;
    std::string message;
    uint32_t clockMs = 0, opCostMs = 1;
    FILE* trace = nullptr;
    std::string benchTrace;                 // trace file named by the bench
    FILE* busRecord = nullptr;              // what went over the bus (TAVK_SIM_BUS_RECORD)
    // Ring of the last SIM_LOG_KEPT calls, call n at n % SIM_LOG_KEPT: logging a call allocates nothing.
    std::vector<SimCallRecord> log = std::vector<SimCallRecord>(SIM_LOG_KEPT);
    uint32_t logTotal = 0;
    std::vector<std::pair<std::string, uint32_t>> callCounts;
    std::vector<SimScript> scripts;
    const SimFace* face;                    // the face the bench is offered through (SimAttach)
};

// The bench's state, made on first use and never destroyed: the driver may still be called
// while the process detaches its libraries. It starts empty; SimAttach loads the bench.
SimState& Sim();

// ---- the clock: simulated milliseconds since the last reset
inline uint32_t SimNow() { return Sim().clockMs; }

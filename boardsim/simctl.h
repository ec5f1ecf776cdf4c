// Control interface of the simulated board driver tavk.dll, exported beside the 29 Tavk* entry
// points for tests and tools. Load it with GetProcAddress from the tavk.dll in use (the one TavkX
// loaded, or load tavk.dll yourself first from the same directory: the module is then shared and
// its state survives loading and unloading TavkX).
//
// The simulated bench keeps its own clock in milliseconds. Every entry-point call except the
// error and status reads (TavkGetLastError; ThreadIbsta, ThreadIberr, ThreadIbcnt) advances it
// by the operation cost (SimSetOpCost, default 1 ms); a device that does not answer advances it
// by the board's time-out (TavkSetTime, milliseconds). Nothing waits.
#pragma once
#include <stdint.h>
#include "interfaces/callconv.h"

enum {
    SIM_DATA_MAX = 256,       // bytes of a call's data kept in its record
    SIM_LOG_KEPT = 4096,      // most recent call records kept (SimCallCount counts all)
    SIM_ENTRY_NAME_MAX = 32,
};

// One entry-point call as the driver saw it.
typedef struct SimCallRecord {
    char entry[SIM_ENTRY_NAME_MAX];  // "TavkSendDataC"
    uint32_t argCount;
    uint32_t args[6];                // arguments as passed (pointers as addresses)
    int32_t result;
    int32_t lastError;               // the driver's last error after the call
    int32_t out;                     // value returned through a pointer: bytes received, status byte,
                                     // poll response, SRQ line, board handle; 0 otherwise
    uint32_t timeMs;                 // simulated clock when the call ended
    int32_t scripted;                // 1 when a script decided the result
    uint32_t dataLength;             // bytes sent (commands, data) or received, in full
    uint8_t data[SIM_DATA_MAX];      // the first of them
} SimCallRecord;

// What a device on the bench looks like from outside.
typedef struct SimDeviceInfo {
    int32_t address;
    char type[16];         // "multimeter", "binary", "srq", "silent"
    int32_t remote;        // addressed to listen while REN was on, not sent back to local since
    int32_t lockout;       // local lockout in effect
    int32_t listener;      // currently addressed to listen
    int32_t talker;        // currently addressed to talk
    int32_t statusByte;    // serial poll status byte (0x40: requesting service)
    int32_t ist;           // individual status for parallel poll
    int32_t ppollLine;     // configured parallel poll line 0..7, -1 when unconfigured
    int32_t ppollSense;
    uint32_t clears;       // device clears received (SDC, DCL)
    uint32_t triggers;     // triggers received (GET, *TRG, INIT)
    uint32_t readings;     // readings taken (value number of the next reading)
    uint32_t inputLength;  // bytes received and not yet cleared (SimClearDeviceInput)
    uint32_t outputLength; // bytes waiting to be read from the device
} SimDeviceInfo;

typedef struct SimBoardInfo {
    int32_t open;          // TavkCreate succeeded and no TavkClose since
    int32_t handle;        // the handle TavkCreate gives
    int32_t role;          // 0 not initialised, 1 controller, 2 system controller, 3 device
    int32_t address;       // own primary address given to TavkInit
    int32_t eosMode, eosFlag;
    uint32_t timeoutMs;
    int32_t ren;
    uint32_t bufferSize;
    int32_t status;        // the status word TavkGetStatus returns
    int32_t ppollResponseMode;
    int32_t srqStatusByte; // status byte of the board as a device (TavkSetSrqLine)
} SimBoardInfo;

#ifdef __cplusplus
extern "C" {
#endif
// Rebuilds the bench as at load (TAVK_SIM_BENCH, tavk_bench.json beside the DLL, or the built-in
// bench), clears devices, clock, call log and scripts; the board's own settings stay. 1 when the
// bench loaded, else 0 (see SimLastMessage).
int32_t GPIB_CALL SimReset(void);
// Replaces the bench with the JSON text (format in boardsim/README.md). On failure there is no
// bench and TavkCreate fails until a bench loads; the message names "(text)", line and problem.
int32_t GPIB_CALL SimLoadBench(const char* jsonText);
// The last problem the driver reported (bench file errors); "" when none.
const char* GPIB_CALL SimLastMessage(void);

// Call log. Index 0 is the first call since the last SimClearCalls; only the last SIM_LOG_KEPT
// records are kept (SimGetCall returns 0 for older ones).
uint32_t GPIB_CALL SimCallCount(void);
int32_t GPIB_CALL SimGetCall(uint32_t index, SimCallRecord* record);
uint32_t GPIB_CALL SimCountCalls(const char* entry);  // calls of one entry point since the clear
void GPIB_CALL SimClearCalls(void);

// Scripted results. The nth call (1 = the next one) of entry from now on, or of any entry point
// but TavkGetLastError when entry is NULL or "*", does nothing on the bus: it returns result and
// leaves lastError as the driver's last error. every = 1: that call and every later one.
// Scripts count independently; when several fire on one call the earliest added wins.
// Returns 0 for an unknown entry name or nth 0.
int32_t GPIB_CALL SimScriptCall(const char* entry, uint32_t nth, int32_t result, int32_t lastError, int32_t every);
void GPIB_CALL SimClearScripts(void);

// Devices. Address -1 stands for the board itself as a device (what TavkSendDataS sent in the
// device role; what TavkRecvDataS reads). Functions return 0 for an address without a device.
int32_t GPIB_CALL SimGetDevice(int32_t address, SimDeviceInfo* info);
// Bytes the device received (terminators included), up to max copied; returns the full count.
int32_t GPIB_CALL SimGetDeviceInput(int32_t address, char* buffer, int32_t max);
int32_t GPIB_CALL SimClearDeviceInput(int32_t address);
// Queues raw bytes the device sends when addressed to talk; eoi = 1 marks the last byte with EOI.
int32_t GPIB_CALL SimQueueAnswer(int32_t address, const char* data, int32_t length, int32_t eoi);
int32_t GPIB_CALL SimSetStatusByte(int32_t address, int32_t statusByte);
int32_t GPIB_CALL SimSetIst(int32_t address, int32_t ist);

int32_t GPIB_CALL SimGetBoard(SimBoardInfo* info);

// Simulated time.
void GPIB_CALL SimAdvanceTime(uint32_t ms);
uint32_t GPIB_CALL SimTime(void);
void GPIB_CALL SimSetOpCost(uint32_t ms);

// Bus trace to a file (NULL or "" switches it off). 1 when the file opened.
int32_t GPIB_CALL SimSetTrace(const char* path);
#ifdef __cplusplus
}
#endif

// Pointer types for GetProcAddress.
#ifdef __cplusplus
typedef decltype(&SimReset) SimResetFn;
typedef decltype(&SimLoadBench) SimLoadBenchFn;
typedef decltype(&SimLastMessage) SimLastMessageFn;
typedef decltype(&SimCallCount) SimCallCountFn;
typedef decltype(&SimGetCall) SimGetCallFn;
typedef decltype(&SimCountCalls) SimCountCallsFn;
typedef decltype(&SimClearCalls) SimClearCallsFn;
typedef decltype(&SimScriptCall) SimScriptCallFn;
typedef decltype(&SimClearScripts) SimClearScriptsFn;
typedef decltype(&SimGetDevice) SimGetDeviceFn;
typedef decltype(&SimGetDeviceInput) SimGetDeviceInputFn;
typedef decltype(&SimClearDeviceInput) SimClearDeviceInputFn;
typedef decltype(&SimQueueAnswer) SimQueueAnswerFn;
typedef decltype(&SimSetStatusByte) SimSetStatusByteFn;
typedef decltype(&SimSetIst) SimSetIstFn;
typedef decltype(&SimGetBoard) SimGetBoardFn;
typedef decltype(&SimAdvanceTime) SimAdvanceTimeFn;
typedef decltype(&SimTime) SimTimeFn;
typedef decltype(&SimSetOpCost) SimSetOpCostFn;
typedef decltype(&SimSetTrace) SimSetTraceFn;
#endif

// X(name): the control functions, for binding them all by name.
#define SIM_CONTROL_LIST(X) \
    X(SimReset) X(SimLoadBench) X(SimLastMessage) X(SimCallCount) X(SimGetCall) X(SimCountCalls) \
    X(SimClearCalls) X(SimScriptCall) X(SimClearScripts) X(SimGetDevice) X(SimGetDeviceInput) \
    X(SimClearDeviceInput) X(SimQueueAnswer) X(SimSetStatusByte) X(SimSetIst) X(SimGetBoard) \
    X(SimAdvanceTime) X(SimTime) X(SimSetOpCost) X(SimSetTrace)

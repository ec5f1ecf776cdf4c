// The board driver as a table of operations. The contract layer (tavkcontract.cpp) writes the 29
// Tavk* exports once: it checks the handle and the arguments by the rules in interfaces/tavkdrv.h,
// keeps the last error (TAVK_OK after every success, the operation's error after a failure),
// writes the trace line and only then calls the slot. A driver fills one TavkBoardOps and gives
// it to the layer with TAVK_BOARD(ops); it defines no Tavk* function of its own.
//
// Every slot returns TAVK_OK or the error number of its failure. An empty slot (null) is an
// operation the board cannot do: the call fails with TAVK_ERR_ROLE, traced like any other.
// What a slot may rely on is written beside it; "device address" means 0..TAVK_ADDRESS_MAX and
// not the board's own (the address of the last successful TavkInit, 0 before one).
#pragma once
#include <stdint.h>
#include <string>
#include "interfaces/tavkdrv.h"

struct DriverCore;

// One call as the layer hands it to an envelope (the simulated board logs and scripts calls).
struct TavkCall {
    const char* entry;
    uint32_t args[6];              // the call's arguments as 32-bit values, the handle first
    uint32_t argCount;
    const void* data;              // the bytes it carries: sent, or (after it) received
    uint32_t dataLength;
    int32_t out;                   // a value returned through a pointer (handle, count, byte)
    bool hasOut;
    int32_t result;                // a result decided by the envelope's begin
};

// Hooks around every call, for a board that logs and scripts its calls itself and writes its
// own trace. A real driver has none: its trace is its DriverCore's.
struct TavkEnvelope {
    // Before any check: true when the call's result is decided (call.result, the error set).
    bool (*begin)(TavkCall& call);
    // After the call: its result and the trace detail (made only while tracing() is true).
    void (*end)(TavkCall& call, int32_t result, const std::string& detail);
    bool (*tracing)();
    // Where the last error lives, when the board keeps it itself.
    int32_t& (*lastError)();
};

struct TavkBoardOps {
    // Reports, the trace file (TAVK_TRACE) and the open board; null only with an envelope.
    DriverCore* core;
    const TavkEnvelope* envelope;

    // TavkCreate: opens the board. detail: what the trace line names (the board, the adapter).
    int32_t (*create)(std::string& detail);
    // TavkClose: the board is open; cannot fail.
    void (*close)();
    // TavkGetStatus: the status word (TAVK_STATUS_TALKER, TAVK_STATUS_LISTENER, the board's own).
    int32_t (*status)();
    // TavkGetResource of board 0: block is TAVK_RESOURCE_BLOCK_SIZE bytes. Empty: all zeros.
    int32_t (*resources)(uint8_t* block);
    // TavkInit: address 0..TAVK_ADDRESS_MAX, mode 0..TAVK_INIT_MODE_MAX.
    int32_t (*init)(uint32_t address, uint32_t mode, uint32_t bufferSize);
    // TavkSetTime: 0..TAVK_TIME_MAX_MS (0: no limit).
    int32_t (*setTime)(uint32_t ms);
    // TavkSetEos: valid mode and flag (interfaces/tavkeos.h says which bytes).
    int32_t (*setEos)(uint32_t mode, uint32_t flag);
    // TavkSendCmd: at least one command byte.
    int32_t (*sendCommands)(const uint8_t* cmd, uint32_t length);
    int32_t (*ifc)();
    // TavkRen: on is 0 or 1.
    int32_t (*ren)(uint32_t on);
    // TavkDcl: every device.
    int32_t (*dcl)();
    // TavkSdc: a device address.
    int32_t (*sdc)(uint32_t address);
    // TavkSendDataCN and TavkSendDataC: 1..TAVK_LIST_MAX device addresses; data null only when
    // length is 0. The end-of-string in force follows the data.
    int32_t (*sendTo)(const int16_t* list, uint32_t count, const char* data, uint32_t length);
    // TavkSendDataS, the board addressed to talk: data null only when length is 0.
    int32_t (*sendAsTalker)(const char* data, uint32_t length);
    // TavkRecvDataC: a device address, a buffer of max >= 1 bytes; *got (0 on entry) the count
    // received, kept by the layer on failure too.
    int32_t (*receiveFrom)(uint32_t address, char* buffer, uint32_t max, uint32_t* got);
    // TavkRecvDataS, the board addressed to listen: as receiveFrom.
    int32_t (*receiveAsListener)(char* buffer, uint32_t max, uint32_t* got);
    // TavkTransDataN and TavkTransData: the talker and 1..TAVK_LIST_MAX listeners are device
    // addresses; the board listens along and takes the message.
    int32_t (*transfer)(uint32_t talker, const int16_t* list, uint32_t count);
    // TavkSetSrqLine, the board as a device: its status byte (RQS asks for service).
    int32_t (*setSrq)(uint8_t statusByte);
    // TavkGetSrqLine: *line (not null) becomes 1 while SRQ is asserted, else 0.
    int32_t (*srqLine)(int16_t* line);
    // TavkSpoll: a device address; *statusByte (not null) its status byte.
    int32_t (*serialPoll)(uint32_t address, int16_t* statusByte);
    // TavkPpoll: *response (not null) the parallel poll byte.
    int32_t (*parallelPoll)(uint8_t* response);
    // TavkPpollConfig: a device address, line 0..TAVK_PPOLL_LINE_MAX, sense 0..TAVK_PPOLL_SENSE_MAX.
    int32_t (*ppollConfig)(uint32_t address, uint32_t line, uint32_t sense);
    // TavkPpollUnConfig: a device address.
    int32_t (*ppollUnconfig)(uint32_t address);
    // TavkPpollUnConfigAll: every device.
    int32_t (*ppollUnconfigAll)();
    // TavkPpollRespModeSet: mode 0..TAVK_PPR_MODE_MAX.
    int32_t (*ppollResponseMode)(uint32_t mode);
};

// The table the layer serves: each driver defines it once with TAVK_BOARD(its table).
const TavkBoardOps& TavkBoard();
#define TAVK_BOARD(ops) \
    const TavkBoardOps& TavkBoard() { return ops; }

// The board's own address as the layer knows it (the last successful TavkInit's).
uint32_t TavkBoardAddress();
// Device address: 0..TAVK_ADDRESS_MAX and not the board's own.
bool TavkDeviceAddress(uint32_t address);

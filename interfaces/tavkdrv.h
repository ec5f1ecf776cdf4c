// The board driver tavk.dll as every side sees it (TavkX, the drivers, the tests): its entry
// points in the order TavkX resolves them, its error numbers and its resource block. Every
// argument is handed over as a 32-bit value (16-bit ones zero-extended, 8-bit ones their low byte).
#pragma once
#include <stdint.h>
#include "interfaces/callconv.h"

// Driver error numbers that TavkX interprets (TAVK_OK: the last call succeeded).
enum {
    TAVK_OK = 0,
    TAVK_ERR_ARGUMENT = 6,
    TAVK_ERR_ROLE = 8,
    TAVK_ERR_TIMEOUT = 9,
    TAVK_ERR_NO_LISTENER = 10,
};

// Driver error numbers of the drivers that reach the bus or the instruments over a connection
// (the "++" adapter, the LAN instruments), beyond the ones TavkX interprets.
enum {
    TAVK_ERR_LINK = 30,      // the connection could not be made, or it dropped
    TAVK_ERR_REPLY = 31,     // the other end answered what its protocol does not say
};

// The arguments every driver takes; beyond them it fails with TAVK_ERR_ARGUMENT:
// - a device address 0..TAVK_ADDRESS_MAX that is not the board's own (TavkInit's address);
// - address lists of 1..TAVK_LIST_MAX entries (every address but the board's own, once);
// - TavkInit modes 0 (controller), 1 (system controller), 2 (device);
// - TavkSetTime up to an hour (0: no limit);
// - TavkSetEos modes 0..3 with flag 0 or 1 (the bytes they mean: interfaces/tavkeos.h);
// - TavkRen on 0 or 1; parallel-poll lines 0..7 with sense 0 or 1, response mode 0 or 1;
// - receive lengths: a pointer to the buffer's size (at least 1), the count received on return.
enum {
    TAVK_ADDRESS_MAX = 30,
    TAVK_LIST_MAX = TAVK_ADDRESS_MAX,
    TAVK_INIT_MODE_MAX = 2,
    TAVK_TIME_MAX_MS = 3600000,
    TAVK_EOS_MODE_MAX = 3,
    TAVK_EOS_FLAG_MAX = 1,
    TAVK_PPOLL_LINE_MAX = 7,
    TAVK_PPOLL_SENSE_MAX = 1,
    TAVK_PPR_MODE_MAX = 1,
};
// The one board a driver has: TavkCreate stores this handle; TavkGetVersion's number.
enum { TAVK_BOARD_HANDLE = 1, TAVK_DRIVER_VERSION = 0x0100 };
inline bool TavkEosArgumentsValid(uint32_t mode, uint32_t flag)
{
    return mode <= TAVK_EOS_MODE_MAX && flag <= TAVK_EOS_FLAG_MAX;
}

// Status word bits.
enum {
    TAVK_STATUS_TALKER = 0x0400,
    TAVK_STATUS_LISTENER = 0x0800,
};

// TavkGetResource's block: the words TavkX copies into its resource record, at these offsets.
enum {
    TAVK_RESOURCE_BLOCK_SIZE = 408,
    TAVK_RESOURCE_IO_BASE = 116,
    TAVK_RESOURCE_IO_RANGE = 120,
    TAVK_RESOURCE_INTERRUPT = 196,
    TAVK_RESOURCE_DMA = 200,
    TAVK_RESOURCE_MEMORY = 276,
    TAVK_RESOURCE_REVISION = 308,
};

#ifdef __cplusplus
extern "C" {
#endif
int32_t GPIB_CALL TavkGetLastError(uint32_t board);
int32_t GPIB_CALL TavkGetStatus(uint32_t board);
int32_t GPIB_CALL TavkGetVersion(uint32_t board);
int32_t GPIB_CALL TavkCreate(uint16_t* board);
int32_t GPIB_CALL TavkClose(uint32_t board);
int32_t GPIB_CALL TavkGetResource(uint32_t boardNumber, void* block);
int32_t GPIB_CALL TavkInit(uint32_t board, uint32_t address, uint32_t mode, uint32_t bufferSize);
int32_t GPIB_CALL TavkSetTime(uint32_t board, uint32_t time);
int32_t GPIB_CALL TavkSetEos(uint32_t board, uint32_t mode, uint32_t flag);
int32_t GPIB_CALL TavkSendCmd(uint32_t board, const uint8_t* cmd, uint32_t length);
int32_t GPIB_CALL TavkIfc(uint32_t board);
int32_t GPIB_CALL TavkRen(uint32_t board, uint32_t on);
int32_t GPIB_CALL TavkDcl(uint32_t board);
int32_t GPIB_CALL TavkSdc(uint32_t board, uint32_t address);
int32_t GPIB_CALL TavkSendDataCN(uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length);
int32_t GPIB_CALL TavkSendDataC(uint32_t board, uint32_t address, const char* data, uint32_t length);
int32_t GPIB_CALL TavkSendDataS(uint32_t board, const char* data, uint32_t length);
int32_t GPIB_CALL TavkRecvDataC(uint32_t board, uint32_t address, char* buffer, uint32_t* length);
int32_t GPIB_CALL TavkRecvDataS(uint32_t board, char* buffer, uint32_t* length);
int32_t GPIB_CALL TavkTransDataN(uint32_t board, uint32_t first, const int16_t* list, uint32_t count);
int32_t GPIB_CALL TavkTransData(uint32_t board, uint32_t first, uint32_t second);
int32_t GPIB_CALL TavkSetSrqLine(uint32_t board, uint32_t statusByte);
int32_t GPIB_CALL TavkGetSrqLine(uint32_t board, int16_t* line);
int32_t GPIB_CALL TavkSpoll(uint32_t board, uint32_t address, int16_t* statusByte);
int32_t GPIB_CALL TavkPpoll(uint32_t board, uint8_t* response);
int32_t GPIB_CALL TavkPpollConfig(uint32_t board, uint32_t address, uint32_t line, uint32_t sense);
int32_t GPIB_CALL TavkPpollUnConfig(uint32_t board, uint32_t address);
int32_t GPIB_CALL TavkPpollUnConfigAll(uint32_t board);
int32_t GPIB_CALL TavkPpollRespModeSet(uint32_t board, uint32_t mode);
#ifdef __cplusplus
}
#endif

// X(name): the 29 entry points in resolution order.
#define TAVK_ENTRY_LIST(X) \
    X(TavkGetLastError) X(TavkGetStatus) X(TavkGetVersion) X(TavkCreate) X(TavkClose) \
    X(TavkGetResource) X(TavkInit) X(TavkSetTime) X(TavkSetEos) X(TavkSendCmd) X(TavkIfc) \
    X(TavkRen) X(TavkDcl) X(TavkSdc) X(TavkSendDataCN) X(TavkSendDataC) X(TavkSendDataS) \
    X(TavkRecvDataC) X(TavkRecvDataS) X(TavkTransDataN) X(TavkTransData) X(TavkSetSrqLine) \
    X(TavkGetSrqLine) X(TavkSpoll) X(TavkPpoll) X(TavkPpollConfig) X(TavkPpollUnConfig) \
    X(TavkPpollUnConfigAll) X(TavkPpollRespModeSet)

// The Gpib* function set of TavkX.dll, as the plug-in and the tests call it. Every argument is
// passed as a 32-bit value; where a value is 16-bit only its low 16 bits count. 16-bit results
// are declared short.
#pragma once
#include <stdint.h>
#include "interfaces/callconv.h"

// Return codes.
enum {
    GPIB_OK = 0,
    GPIB_ERR_INIT = -1,
    GPIB_ERR_DEVICE = -2,
    GPIB_ERR_DRIVER_VERSION = -3,
    GPIB_ERR_IRQ = -4,
    GPIB_ERR_MODE = -10,
    GPIB_ERR_PARAM = -11,
    GPIB_ERR_TIMEOUT = -12,
    GPIB_ERR_NO_LISTENER = -13,
    GPIB_ERR_UNKNOWN_COMMAND = -20,
    GPIB_ERR_ADDRESS_STATUS = -21,
};

// Terminator codes of the data transfers.
enum {
    GPIB_DELIM_CRLF = 0,
    GPIB_DELIM_CR = 1,
    GPIB_DELIM_LF = 2,
    GPIB_DELIM_EOI = 3,
};

enum { GPIB_LIST_END = -1, GPIB_LIST_MAX = 14 };

#ifdef __cplusplus
extern "C" {
#endif
short GPIB_CALL GetQuvRes(int board, void* record);
short GPIB_CALL GpibInit(int address, int mode);
short GPIB_CALL GpibSetTime(int time);
short GPIB_CALL GpibIfc(void);
short GPIB_CALL GpibRen(int on);
short GPIB_CALL GpibSendCmd(int length, const unsigned char* cmd);
int32_t GPIB_CALL GpibSend(int address, int length, const char* data, int delim, short* status);
int32_t GPIB_CALL GpibSendN(const short* list, int length, const char* data, int delim, short* status);
short GPIB_CALL GpibSend2(int first, int second);
short GPIB_CALL GpibSend2N(int first, const short* list);
int32_t GPIB_CALL GpibRecv(int address, int maxLength, char* buffer, int delim, short* status);
short GPIB_CALL GpibChkSrq(void);
short GPIB_CALL GpibSPoll(int address, short* statusByte);
short GPIB_CALL GpibSPollN(const short* list, short* statusBytes);
short GPIB_CALL GpibPPoll(void);
short GPIB_CALL GpibPPollConfig(int address, int line, int sense);
short GPIB_CALL GpibPPollUConfig(int address);
short GPIB_CALL GpibPPollUConfigAll(void);
short GPIB_CALL GpibStatus(int32_t* status);
int32_t GPIB_CALL GpibSendS(int length, const char* data, int delim, short* status);
int32_t GPIB_CALL GpibRecvS(int maxLength, char* buffer, int delim, short* status);
short GPIB_CALL GpibSetStatusByte(int statusByte);
short GPIB_CALL GpibSetSrq(void);
short GPIB_CALL GpibSetPPR(int mode);
short GPIB_CALL TQ02GetCounter(int unused);
int32_t GPIB_CALL GpibSetBuffSize(int32_t size);
#ifdef __cplusplus
}
#endif

// Pointer types for callers that resolve the functions by name.
typedef decltype(&GpibInit) GpibInitFn;
typedef decltype(&GpibSetTime) GpibSetTimeFn;
typedef decltype(&GpibSPollN) GpibSPollNFn;
typedef decltype(&GpibIfc) GpibIfcFn;
typedef decltype(&GpibRen) GpibRenFn;
typedef decltype(&GpibSendCmd) GpibSendCmdFn;
typedef decltype(&GpibSend) GpibSendFn;
typedef decltype(&GpibRecv) GpibRecvFn;
typedef decltype(&GpibSPoll) GpibSPollFn;
typedef decltype(&GpibPPoll) GpibPPollFn;
typedef decltype(&GpibPPollConfig) GpibPPollConfigFn;
typedef decltype(&GpibPPollUConfig) GpibPPollUConfigFn;
typedef decltype(&GpibPPollUConfigAll) GpibPPollUConfigAllFn;
typedef decltype(&GpibChkSrq) GpibChkSrqFn;

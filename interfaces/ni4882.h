// The NI-488.2 library (ni4882.dll, older installations gpib-32.dll) as every side sees it: the
// NI-backed driver that calls it, the simulated library that offers it and the tests. The
// functions are __stdcall with undecorated names.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "interfaces/callconv.h"

// ibsta bits.
enum {
    NI_ERR = 0x8000, NI_TIMO = 0x4000, NI_END = 0x2000, NI_SRQI = 0x1000, NI_RQS = 0x0800,
    NI_CMPL = 0x0100, NI_LOK = 0x0080, NI_REM = 0x0040, NI_CIC = 0x0020, NI_ATN = 0x0010,
    NI_TACS = 0x0008, NI_LACS = 0x0004, NI_DTAS = 0x0002, NI_DCAS = 0x0001,
};

// iberr codes.
enum {
    NI_EDVR = 0, NI_ECIC = 1, NI_ENOL = 2, NI_EADR = 3, NI_EARG = 4, NI_ESAC = 5, NI_EABO = 6,
    NI_ENEB = 7, NI_EDMA = 8, NI_EOIP = 10, NI_ECAP = 11, NI_EFSO = 12, NI_EBUS = 14, NI_ESTB = 15,
    NI_ESRQ = 16, NI_ETAB = 20, NI_ELCK = 21, NI_EARM = 22, NI_EHDL = 23, NI_EWIP = 26, NI_ERST = 27,
    NI_EPWR = 28,
};

// ibconfig options and the IbcEOS value bits.
enum {
    NI_IBC_PAD = 0x01, NI_IBC_SAD = 0x02, NI_IBC_TMO = 0x03, NI_IBC_EOT = 0x04, NI_IBC_SC = 0x0A,
    NI_IBC_SRE = 0x0B, NI_IBC_EOSRD = 0x0C, NI_IBC_EOSWRT = 0x0D, NI_IBC_EOSCMP = 0x0E,
    NI_IBC_EOSCHAR = 0x0F, NI_IBC_EOS = 0x25,
    NI_REOS = 0x0400, NI_XEOS = 0x0800, NI_BIN = 0x1000,
};

// End of an address list; an entry is the primary address in the low byte, secondary in the high.
enum { NI_NOADDR = 0xFFFF };

// Time-out codes: code n stands for niTimeoutMicroseconds[n] (0 = no limit).
static const uint64_t niTimeoutMicroseconds[] = {
    0, 10, 30, 100, 300, 1000, 3000, 10000, 30000, 100000, 300000,
    1000000, 3000000, 10000000, 30000000, 100000000, 300000000, 1000000000,
};
enum { NI_TIMEOUT_CODES = sizeof niTimeoutMicroseconds / sizeof niTimeoutMicroseconds[0] };

#ifdef __cplusplus
extern "C" {
#endif
int GPIB_CALL ibfindA(const char* name);
unsigned long GPIB_CALL ibcmd(int ud, const void* cmd, size_t count);
unsigned long GPIB_CALL ibwrt(int ud, const void* data, size_t count);
unsigned long GPIB_CALL ibrd(int ud, void* buffer, size_t count);
unsigned long GPIB_CALL ibconfig(int ud, int option, int value);
unsigned long GPIB_CALL ibask(int ud, int option, int* value);
unsigned long GPIB_CALL ibsic(int ud);
unsigned long GPIB_CALL ibrpp(int ud, char* response);
unsigned long GPIB_CALL ibrsv(int ud, int statusByte);
unsigned long GPIB_CALL ibonl(int ud, int online);
void GPIB_CALL PPollConfig(int board, short address, int line, int sense);
void GPIB_CALL PPollUnconfig(int board, const short* list);
void GPIB_CALL ReadStatusByte(int board, short address, short* result);
void GPIB_CALL TestSRQ(int board, short* result);
unsigned long GPIB_CALL ThreadIbsta(void);
unsigned long GPIB_CALL ThreadIberr(void);
unsigned long GPIB_CALL ThreadIbcnt(void);
#ifdef __cplusplus
}
#endif

// X(name): the functions the NI-backed driver resolves, in that order.
#define NI_FUNCTION_LIST(X) \
    X(ibfindA) X(ibcmd) X(ibwrt) X(ibrd) X(ibconfig) X(ibask) X(ibsic) X(ibrpp) X(ibrsv) X(ibonl) \
    X(PPollConfig) X(PPollUnconfig) X(ReadStatusByte) X(TestSRQ) X(ThreadIbsta) X(ThreadIberr) \
    X(ThreadIbcnt)

// The library file names, tried in this order.
static const char* const niLibraryNames[] = {"ni4882.dll", "gpib-32.dll"};

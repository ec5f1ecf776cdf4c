// The Gpib* function set: argument checks, the end-of-string setting of the transfers, one or two
// driver operations, the closing unlisten or untalk, and the mapping of driver errors to codes.
#include <windows.h>
#include <string.h>
#include "interfaces/busbytes.h"
#include "interfaces/gpibapi.h"
#include "interfaces/tavkeos.h"
#include "tavkx/tavkdriver.h"

static int32_t s_bufferSize = 0x140000;
static uint16_t s_statusByte;

// ---- driver error mapping ------------------------------------------------------------------

struct GpibErrorRow {
    int32_t driverError;
    short code;
};

// Driver errors and the code each mapping gives them; an error missing from a table gives its
// fallback.
static const GpibErrorRow standardMap[] = {
    {TAVK_ERR_ROLE, GPIB_ERR_MODE},
    {TAVK_ERR_TIMEOUT, GPIB_ERR_TIMEOUT},
};
static const GpibErrorRow sendMap[] = {
    {TAVK_ERR_ROLE, GPIB_ERR_MODE},
    {TAVK_ERR_TIMEOUT, GPIB_ERR_TIMEOUT},
    {TAVK_ERR_NO_LISTENER, GPIB_ERR_NO_LISTENER},
};
static const GpibErrorRow initMap[] = {
    {TAVK_ERR_ARGUMENT, GPIB_ERR_PARAM},
};
static const GpibErrorRow setPprMap[] = {
    {TAVK_ERR_ROLE, GPIB_ERR_MODE},
};
static const GpibErrorRow setSrqMap[] = {
    {TAVK_ERR_ROLE, GPIB_ERR_MODE},
};

struct GpibErrorMap {
    const GpibErrorRow* rows;
    size_t count;
    short fallback;
};

#define GPIB_MAP(table, fallback) {table, sizeof table / sizeof table[0], fallback}
static const GpibErrorMap STANDARD = GPIB_MAP(standardMap, GPIB_ERR_PARAM);
static const GpibErrorMap SEND = GPIB_MAP(sendMap, GPIB_ERR_PARAM);
static const GpibErrorMap INIT = GPIB_MAP(initMap, GPIB_ERR_DEVICE);
static const GpibErrorMap SET_PPR = GPIB_MAP(setPprMap, GPIB_ERR_PARAM);
static const GpibErrorMap SET_SRQ = GPIB_MAP(setSrqMap, GPIB_OK);

// The one place where a failed driver operation becomes a code: its error is read at once.
static short GpibMapError(const GpibErrorMap& map)
{
    int32_t error = TavkLastError();
    for (size_t i = 0; i < map.count; i++)
        if (map.rows[i].driverError == error) return map.rows[i].code;
    return map.fallback;
}

// The envelope of the plain calls: exactly 1 is success, anything else goes through the mapping.
static short GpibResult(int32_t driverResult, const GpibErrorMap& map)
{
    return TavkOk(driverResult) ? static_cast<short>(GPIB_OK) : GpibMapError(map);
}

static void GpibSetStatus(short* status, short value)
{
    if (status) *status = value;
}

static uint32_t Low16(int value) { return static_cast<uint16_t>(value); }
static uint32_t Low8(int value) { return static_cast<uint8_t>(value); }

// ---- transfer helpers ----------------------------------------------------------------------

struct GpibEosSetting {
    short delim;
    uint32_t mode;
    uint32_t flag;
};

// Terminator code -> driver end-of-string setting; any other code means no terminator, which
// the CR+LF mode with its flag set gives.
static const GpibEosSetting eosTable[] = {
    {GPIB_DELIM_CRLF, TAVK_EOS_CRLF, 0},
    {GPIB_DELIM_CR, TAVK_EOS_CR, 1},
    {GPIB_DELIM_LF, TAVK_EOS_LF, 1},
    {GPIB_DELIM_EOI, TAVK_EOS_EOI, 1},
};
static const GpibEosSetting eosNone = {-1, TAVK_EOS_CRLF, 1};

static GpibEosSetting GpibEosFor(int delim)
{
    for (const GpibEosSetting& e : eosTable)
        if (e.delim == static_cast<short>(delim)) return e;
    return eosNone;
}

// A setting the driver refuses as a bad argument ends the transfer; other failures are ignored.
static bool SetDelimiter(int delim, short* status)
{
    GpibEosSetting eos = GpibEosFor(delim);
    if (TavkOk(g_driver.TavkSetEos(g_boardHandle, eos.mode, eos.flag))) return true;
    if (TavkLastError() != TAVK_ERR_ARGUMENT) return true;
    GpibSetStatus(status, GPIB_ERR_PARAM);
    return false;
}

// Unlisten or untalk after a controller transfer; a refusal ends the call with status untouched.
static bool GpibCloseTransfer(uint8_t command)
{
    return TavkNonzero(g_driver.TavkSendCmd(g_boardHandle, &command, 1));
}

// How a kind of transfer maps its driver errors and closes.
struct GpibTransferKind {
    const GpibErrorMap& errors;
    int closeCommand;   // NO_CLOSE for the board as a device
};
enum { NO_CLOSE = -1 };
static const GpibTransferKind CONTROLLER_SEND = {SEND, BUS_UNL};
static const GpibTransferKind CONTROLLER_RECV = {STANDARD, BUS_UNT};
static const GpibTransferKind DEVICE_TRANSFER = {STANDARD, NO_CLOSE};

enum GpibTransferOutcome {
    TRANSFER_DONE,      // status is GPIB_OK
    TRANSFER_FAILED,    // status holds the code, or stays untouched after a refused close
    TRANSFER_REFUSED,   // the arguments were refused after the end-of-string was set
};

// The envelope of every data transfer: set the end-of-string, run the driver operation, map its
// error, close the transfer.
template <typename Operation>
static GpibTransferOutcome GpibTransfer(const GpibTransferKind& kind, int delim, short* status,
                                        bool argumentsOk, Operation operation)
{
    if (!SetDelimiter(delim, status)) return TRANSFER_FAILED;
    if (!argumentsOk) return TRANSFER_REFUSED;
    if (!TavkOk(operation())) {
        GpibSetStatus(status, GpibMapError(kind.errors));
        return TRANSFER_FAILED;
    }
    if (kind.closeCommand != NO_CLOSE && !GpibCloseTransfer(static_cast<uint8_t>(kind.closeCommand)))
        return TRANSFER_FAILED;
    GpibSetStatus(status, GPIB_OK);
    return TRANSFER_DONE;
}

// A received count: a driver never reports more than it was allowed to write.
static int32_t GpibReceived(uint32_t n, int maxLength)
{
    return n > static_cast<uint32_t>(maxLength) ? maxLength : static_cast<int32_t>(n);
}

// Number of addresses before the -1 that ends the list, or 0 when the list is not 1 to 14 long.
static uint32_t GpibListCount(const short* list)
{
    if (!list) return 0;
    uint32_t n = 0;
    while (n <= GPIB_LIST_MAX && list[n] != GPIB_LIST_END) n++;
    return n >= 1 && n <= GPIB_LIST_MAX ? n : 0;
}

// ---- exports -------------------------------------------------------------------------------

struct GpibResourceField {
    size_t recordOffset;
    size_t blockOffset;
};

static const GpibResourceField resourceFields[] = {
    {6, TAVK_RESOURCE_IO_BASE}, {8, TAVK_RESOURCE_IO_RANGE}, {10, TAVK_RESOURCE_INTERRUPT},
    {12, TAVK_RESOURCE_DMA}, {60, TAVK_RESOURCE_MEMORY}, {62, TAVK_RESOURCE_REVISION},
};

extern "C" short WINAPI GetQuvRes(int board, void* record)
{
    unsigned char block[TAVK_RESOURCE_BLOCK_SIZE] = {};
    if (!record) return 0;
    if (!TavkNonzero(g_driver.TavkGetResource(Low16(board), block))) return 0;
    unsigned char* out = static_cast<unsigned char*>(record);
    uint16_t number = static_cast<uint16_t>(board);
    memcpy(out, &number, 2);
    for (const GpibResourceField& f : resourceFields) memcpy(out + f.recordOffset, block + f.blockOffset, 2);
    return 1;
}

extern "C" short WINAPI GpibInit(int address, int mode)
{
    if (!TavkNonzero(g_driver.TavkInit(g_boardHandle, Low16(address), Low16(mode), static_cast<uint32_t>(s_bufferSize))))
        return GpibMapError(INIT);
    if (static_cast<short>(mode) == 1 && GpibIfc() != GPIB_OK) return GPIB_ERR_DEVICE;
    return GPIB_OK;
}

extern "C" short WINAPI GpibSetTime(int time)
{
    return TavkOk(g_driver.TavkSetTime(g_boardHandle, static_cast<uint32_t>(time))) ? GPIB_OK : GPIB_ERR_PARAM;
}

extern "C" short WINAPI GpibIfc(void)
{
    return TavkOk(g_driver.TavkIfc(g_boardHandle)) ? GPIB_OK : GPIB_ERR_MODE;
}

extern "C" short WINAPI GpibRen(int on)
{
    return TavkOk(g_driver.TavkRen(g_boardHandle, on != 0 ? 1 : 0)) ? GPIB_OK : GPIB_ERR_MODE;
}

// Selected device clear (listen address, SDC) and device clear go to their own driver operations;
// a byte is looked at only when the length covers it.
extern "C" short WINAPI GpibSendCmd(int length, const unsigned char* cmd)
{
    if (length < 0 || (length > 0 && !cmd)) return GPIB_ERR_PARAM;
    if (length >= 3 && cmd[2] == BUS_SDC) return GpibResult(g_driver.TavkSdc(g_boardHandle, Low16(BusListenerOf(cmd[1]))), STANDARD);
    if (length >= 1 && cmd[0] == BUS_DCL) return GpibResult(g_driver.TavkDcl(g_boardHandle), STANDARD);
    return GpibResult(g_driver.TavkSendCmd(g_boardHandle, cmd, static_cast<uint32_t>(length)), STANDARD);
}

extern "C" int32_t WINAPI GpibSend(int address, int length, const char* data, int delim, short* status)
{
    const GpibTransferOutcome r = GpibTransfer(CONTROLLER_SEND, delim, status, true, [&] {
        return g_driver.TavkSendDataC(g_boardHandle, Low16(address), data, static_cast<uint32_t>(length));
    });
    return r == TRANSFER_DONE ? length : 0;
}

extern "C" int32_t WINAPI GpibSendN(const short* list, int length, const char* data, int delim, short* status)
{
    const uint32_t count = GpibListCount(list);
    const GpibTransferOutcome r = GpibTransfer(CONTROLLER_SEND, delim, status, count != 0, [&] {
        return g_driver.TavkSendDataCN(g_boardHandle, list, count, data, static_cast<uint32_t>(length));
    });
    if (r == TRANSFER_REFUSED) return GPIB_ERR_PARAM;
    return r == TRANSFER_DONE ? length : 0;
}

extern "C" short WINAPI GpibSend2(int first, int second)
{
    return GpibResult(g_driver.TavkTransData(g_boardHandle, Low16(first), Low16(second)), STANDARD);
}

extern "C" short WINAPI GpibSend2N(int first, const short* list)
{
    uint32_t count = GpibListCount(list);
    if (count == 0) return GPIB_ERR_PARAM;
    return GpibResult(g_driver.TavkTransDataN(g_boardHandle, Low16(first), list, count), STANDARD);
}

extern "C" int32_t WINAPI GpibRecv(int address, int maxLength, char* buffer, int delim, short* status)
{
    uint32_t n = static_cast<uint32_t>(maxLength);
    const GpibTransferOutcome r = GpibTransfer(CONTROLLER_RECV, delim, status, true, [&] {
        return g_driver.TavkRecvDataC(g_boardHandle, Low16(address), buffer, &n);
    });
    return r == TRANSFER_DONE ? GpibReceived(n, maxLength) : 0;
}

extern "C" short WINAPI GpibChkSrq(void)
{
    int16_t line = 0;
    if (!TavkOk(g_driver.TavkGetSrqLine(g_boardHandle, &line))) return GPIB_ERR_MODE;
    return line;
}

extern "C" short WINAPI GpibSPoll(int address, short* statusByte)
{
    int16_t value = 0;
    if (!TavkOk(g_driver.TavkSpoll(g_boardHandle, Low16(address), &value))) return GpibMapError(STANDARD);
    if (statusByte) *statusByte = value;
    return value != 0 ? 1 : 0;
}

// Polls every listed device; a failed poll is remembered (the last one wins) and polling goes on.
extern "C" short WINAPI GpibSPollN(const short* list, short* statusBytes)
{
    if (!list || !statusBytes || list[0] == GPIB_LIST_END) return GPIB_ERR_PARAM;
    short result = GPIB_OK;
    int i = 0;
    while (i <= GPIB_LIST_MAX && list[i] != GPIB_LIST_END) {
        statusBytes[i] = 0;
        if (list[i] < 0 || list[i] > TAVK_ADDRESS_MAX) return GPIB_ERR_PARAM;
        int16_t value = 0;
        if (!TavkOk(g_driver.TavkSpoll(g_boardHandle, Low16(list[i]), &value))) result = GpibMapError(STANDARD);
        statusBytes[i] = static_cast<uint8_t>(value);
        i++;
    }
    return i >= 1 && i <= GPIB_LIST_MAX ? result : static_cast<short>(GPIB_ERR_PARAM);
}

extern "C" short WINAPI GpibPPoll(void)
{
    uint8_t response = 0;
    if (!TavkOk(g_driver.TavkPpoll(g_boardHandle, &response))) return GpibMapError(STANDARD);
    return response;
}

extern "C" short WINAPI GpibPPollConfig(int address, int line, int sense)
{
    return GpibResult(g_driver.TavkPpollConfig(g_boardHandle, Low16(address), Low8(line), Low8(sense)), STANDARD);
}

extern "C" short WINAPI GpibPPollUConfig(int address)
{
    return GpibResult(g_driver.TavkPpollUnConfig(g_boardHandle, Low16(address)), STANDARD);
}

extern "C" short WINAPI GpibPPollUConfigAll(void)
{
    return GpibResult(g_driver.TavkPpollUnConfigAll(g_boardHandle), STANDARD);
}

extern "C" short WINAPI GpibStatus(int32_t* status)
{
    int32_t word = g_driver.TavkGetStatus(g_boardHandle);
    if (status) *status = word;
    return GPIB_OK;
}

// The board acting as a device: it must have been addressed for the direction first.
static bool GpibBoardAddressed(int32_t bit, short* status)
{
    int32_t word = 0;
    GpibStatus(&word);
    if (word & bit) return true;
    GpibSetStatus(status, GPIB_ERR_ADDRESS_STATUS);
    return false;
}

extern "C" int32_t WINAPI GpibSendS(int length, const char* data, int delim, short* status)
{
    if (!GpibBoardAddressed(TAVK_STATUS_TALKER, status)) return 0;
    const GpibTransferOutcome r = GpibTransfer(DEVICE_TRANSFER, delim, status, true, [&] {
        return g_driver.TavkSendDataS(g_boardHandle, data, static_cast<uint32_t>(length));
    });
    return r == TRANSFER_DONE ? length : 0;
}

extern "C" int32_t WINAPI GpibRecvS(int maxLength, char* buffer, int delim, short* status)
{
    if (!GpibBoardAddressed(TAVK_STATUS_LISTENER, status)) return 0;
    uint32_t n = static_cast<uint32_t>(maxLength);
    const GpibTransferOutcome r = GpibTransfer(DEVICE_TRANSFER, delim, status, true, [&] {
        return g_driver.TavkRecvDataS(g_boardHandle, buffer, &n);
    });
    return r == TRANSFER_DONE ? GpibReceived(n, maxLength) : 0;
}

extern "C" short WINAPI GpibSetStatusByte(int statusByte)
{
    s_statusByte = static_cast<uint16_t>(statusByte);
    return GPIB_OK;
}

// Only a refusal for the board's role is reported; other driver failures pass as success.
extern "C" short WINAPI GpibSetSrq(void)
{
    return GpibResult(g_driver.TavkSetSrqLine(g_boardHandle, s_statusByte & 0xFF), SET_SRQ);
}

extern "C" short WINAPI GpibSetPPR(int mode)
{
    return GpibResult(g_driver.TavkPpollRespModeSet(g_boardHandle, Low16(mode)), SET_PPR);
}

extern "C" short WINAPI TQ02GetCounter(int unused)
{
    return GPIB_OK;
}

extern "C" int32_t WINAPI GpibSetBuffSize(int32_t size)
{
    s_bufferSize = size;
    return size;
}

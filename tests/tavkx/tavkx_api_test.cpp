// The Gpib* function set through TavkX's exports, with driver results scripted in the simulated
// driver: error mappings, terminators, the closing unlisten and untalk, lists, polls, stubs.
#include <functional>
#include "tests/tavkx/boardfixture.h"

namespace {

short status;
char buffer[64];
const short list1[] = {22, -1};

struct MappingCase {
    const char* what;
    const char* entry;      // driver operation that fails
    int driverError;
    int expected;           // function result, or *status for the transfers
    std::function<int(GpibExports&)> call;
};

int SendStatus(GpibExports& g) { status = 77; g.GpibSend(22, 5, "*IDN?", 2, &status); return status; }
int SendNStatus(GpibExports& g) { status = 77; g.GpibSendN(list1, 5, "*IDN?", 2, &status); return status; }
int RecvStatus(GpibExports& g) { status = 77; g.GpibRecv(22, sizeof buffer, buffer, 2, &status); return status; }
int SendCmd(GpibExports& g) { const unsigned char c[] = {0x3F, 0, 0}; return g.GpibSendCmd(1, c); }
int SPoll(GpibExports& g) { short stb; return g.GpibSPoll(22, &stb); }

const MappingCase mappings[] = {
    {"send role", "TavkSendDataC", 8, GPIB_ERR_MODE, SendStatus},
    {"send time-out", "TavkSendDataC", 9, GPIB_ERR_TIMEOUT, SendStatus},
    {"send no listener", "TavkSendDataC", 10, GPIB_ERR_NO_LISTENER, SendStatus},
    {"send argument", "TavkSendDataC", 6, GPIB_ERR_PARAM, SendStatus},
    {"send other", "TavkSendDataC", 3, GPIB_ERR_PARAM, SendStatus},
    {"sendN no listener", "TavkSendDataCN", 10, GPIB_ERR_NO_LISTENER, SendNStatus},
    {"sendN time-out", "TavkSendDataCN", 9, GPIB_ERR_TIMEOUT, SendNStatus},
    {"recv role", "TavkRecvDataC", 8, GPIB_ERR_MODE, RecvStatus},
    {"recv time-out", "TavkRecvDataC", 9, GPIB_ERR_TIMEOUT, RecvStatus},
    {"recv no listener is not a send", "TavkRecvDataC", 10, GPIB_ERR_PARAM, RecvStatus},
    {"recv argument", "TavkRecvDataC", 6, GPIB_ERR_PARAM, RecvStatus},
    {"cmd role", "TavkSendCmd", 8, GPIB_ERR_MODE, SendCmd},
    {"cmd time-out", "TavkSendCmd", 9, GPIB_ERR_TIMEOUT, SendCmd},
    {"cmd no listener", "TavkSendCmd", 10, GPIB_ERR_PARAM, SendCmd},
    {"cmd other", "TavkSendCmd", 42, GPIB_ERR_PARAM, SendCmd},
    {"init argument", "TavkInit", 6, GPIB_ERR_PARAM, [](GpibExports& g) { return g.GpibInit(30, 0); }},
    {"init role", "TavkInit", 8, GPIB_ERR_DEVICE, [](GpibExports& g) { return g.GpibInit(30, 0); }},
    {"init time-out", "TavkInit", 9, GPIB_ERR_DEVICE, [](GpibExports& g) { return g.GpibInit(30, 1); }},
    {"init then ifc", "TavkIfc", 6, GPIB_ERR_DEVICE, [](GpibExports& g) { return g.GpibInit(30, 1); }},
    {"settime", "TavkSetTime", 8, GPIB_ERR_PARAM, [](GpibExports& g) { return g.GpibSetTime(100); }},
    {"ifc", "TavkIfc", 9, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibIfc(); }},
    {"ren", "TavkRen", 6, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibRen(1); }},
    {"chksrq", "TavkGetSrqLine", 9, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibChkSrq(); }},
    {"spoll time-out", "TavkSpoll", 9, GPIB_ERR_TIMEOUT, SPoll},
    {"spoll role", "TavkSpoll", 8, GPIB_ERR_MODE, SPoll},
    {"spoll no listener", "TavkSpoll", 10, GPIB_ERR_PARAM, SPoll},
    {"ppoll", "TavkPpoll", 8, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibPPoll(); }},
    {"ppoll config", "TavkPpollConfig", 9, GPIB_ERR_TIMEOUT, [](GpibExports& g) { return g.GpibPPollConfig(22, 1, 1); }},
    {"ppoll unconfig", "TavkPpollUnConfig", 6, GPIB_ERR_PARAM, [](GpibExports& g) { return g.GpibPPollUConfig(22); }},
    {"ppoll unconfig all", "TavkPpollUnConfigAll", 8, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibPPollUConfigAll(); }},
    {"send2", "TavkTransData", 10, GPIB_ERR_PARAM, [](GpibExports& g) { return g.GpibSend2(22, 5); }},
    {"send2N", "TavkTransDataN", 9, GPIB_ERR_TIMEOUT, [](GpibExports& g) { return g.GpibSend2N(22, list1); }},
    {"setsrq role", "TavkSetSrqLine", 8, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibSetSrq(); }},
    {"setsrq other passes", "TavkSetSrqLine", 9, GPIB_OK, [](GpibExports& g) { return g.GpibSetSrq(); }},
    {"setppr role", "TavkPpollRespModeSet", 8, GPIB_ERR_MODE, [](GpibExports& g) { return g.GpibSetPPR(1); }},
    {"setppr other", "TavkPpollRespModeSet", 10, GPIB_ERR_PARAM, [](GpibExports& g) { return g.GpibSetPPR(1); }},
};

}  // namespace

TEST_F(BoardTest, DriverErrorsMapToCodes)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    for (const MappingCase& m : mappings) {
        SCOPED_TRACE(m.what);
        sim.SimClearScripts();
        ASSERT_EQ(sim.SimScriptCall(m.entry, 1, 0, m.driverError, 0), 1);
        EXPECT_EQ(m.call(gpib), m.expected);
        EXPECT_EQ(sim.SimCountCalls(m.entry), 1u) << "the scripted operation was not reached once";
        sim.SimClearCalls();
    }
}

TEST_F(BoardTest, ClosingUnlistenAndUntalk)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    struct {
        const char* what;
        std::function<int32_t()> call;
        uint8_t closing;
        int32_t length;
    } transfers[] = {
        {"send", [&] { return gpib.GpibSend(22, 5, "*IDN?", 2, &status); }, 0x3F, 5},
        {"sendN", [&] { return gpib.GpibSendN(list1, 5, "*IDN?", 2, &status); }, 0x3F, 5},
        {"recv", [&] { return gpib.GpibRecv(22, sizeof buffer, buffer, 2, &status); }, 0x5F, 23},
    };
    // a receive needs an answer waiting
    auto PrepareAnswer = [&](uint8_t closing) {
        if (closing == 0x5F) sim.SimQueueAnswer(22, "TAVIK-SIM,DMM-22,0,1.0\n", 23, 1);
    };
    for (auto& t : transfers) {
        SCOPED_TRACE(t.what);
        // closing command accepted: one byte after the transfer
        sim.SimClearScripts();
        sim.SimClearCalls();
        PrepareAnswer(t.closing);
        status = 77;
        EXPECT_EQ(t.call(), t.length);
        EXPECT_EQ(status, 0);
        SimCallRecord r;
        ASSERT_TRUE(LastCallOf("TavkSendCmd", r));
        EXPECT_EQ(r.args[2], 1u);
        EXPECT_EQ(r.data[0], t.closing);
        // any nonzero result counts as accepted
        PrepareAnswer(t.closing);
        sim.SimScriptCall("TavkSendCmd", 1, 2, 0, 0);
        EXPECT_EQ(t.call(), t.length);
        // refused: 0 and the status stays as the caller left it
        PrepareAnswer(t.closing);
        sim.SimScriptCall("TavkSendCmd", 1, 0, 9, 0);
        status = 77;
        EXPECT_EQ(t.call(), 0);
        EXPECT_EQ(status, 77);
    }
    sim.SimClearCalls();
    // the board's own transfers as talker or listener have no closing command
    const unsigned char talk[] = {0x3F, 0x5E, 0x36};
    gpib.GpibSendCmd(3, talk);
    sim.SimClearCalls();
    EXPECT_EQ(gpib.GpibSendS(5, "*IDN?", 2, &status), 5);
    EXPECT_EQ(CallNames(), "TavkGetStatus TavkSetEos TavkSendDataS");
}

// Each terminator code ends the message with its bytes; a code of none of them sends none (only
// the low 16 bits of the code count).
TEST_F(BoardTest, TerminatorCodesEndTheMessage)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::MessageEndsAtAnyEos);
    struct { int delim; const char* ending; } table[] = {
        {0, "\r\n"}, {1, "\r"}, {2, "\n"}, {3, ""}, {7, ""}, {-1, ""}, {0x10001, "\r"}};
    for (auto& t : table) {
        SCOPED_TRACE(t.delim);
        sim.SimClearDeviceInput(22);
        EXPECT_EQ(gpib.GpibSend(22, 4, "*CLS", t.delim, &status), 4);
        EXPECT_EQ(DeviceInput(22), std::string("*CLS") + t.ending);
    }
}

TEST_F(BoardTest, TerminatorCodesSetTheEndOfString)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    struct { int delim; uint32_t mode, flag; } table[] = {
        {0, 0, 0}, {1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {7, 0, 1}, {-1, 0, 1}, {0x10001, 1, 1}};  // only the low 16 bits count
    for (auto& t : table) {
        SCOPED_TRACE(t.delim);
        sim.SimClearCalls();
        gpib.GpibSend(22, 4, "*CLS", t.delim, &status);
        SimCallRecord r;
        ASSERT_TRUE(LastCallOf("TavkSetEos", r));
        EXPECT_EQ(r.args[1], t.mode);
        EXPECT_EQ(r.args[2], t.flag);
    }
    // a bad argument ends the transfer with -11; another refusal is ignored
    sim.SimClearCalls();
    sim.SimScriptCall("TavkSetEos", 1, 0, 6, 0);
    status = 0;
    EXPECT_EQ(gpib.GpibRecv(22, sizeof buffer, buffer, 0, &status), 0);
    EXPECT_EQ(status, GPIB_ERR_PARAM);
    EXPECT_EQ(CallNames(), "TavkSetEos");
    sim.SimScriptCall("TavkSetEos", 1, 0, 8, 0);
    EXPECT_EQ(gpib.GpibSend(22, 4, "*CLS", 0, &status), 4);
    EXPECT_EQ(status, 0);
}

TEST_F(BoardTest, ResourceRecordGetsExactlySevenFields)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    unsigned char record[80];
    memset(record, 0xAA, sizeof record);
    ASSERT_EQ(gpib.GetQuvRes(0, record), 1);
    SimCallRecord r;
    ASSERT_TRUE(LastCallOf("TavkGetResource", r));
    EXPECT_EQ(r.args[0], 0u);  // the board number, not the board handle
    struct { size_t offset; uint16_t value; } fields[] = {
        {0, 0}, {6, 0x02C0}, {8, 0x0020}, {10, 5}, {12, 1}, {60, 0xD000}, {62, 3}};
    bool written[sizeof record] = {};
    for (auto& f : fields) {
        EXPECT_EQ(record[f.offset] | record[f.offset + 1] << 8, f.value) << f.offset;
        written[f.offset] = written[f.offset + 1] = true;
    }
    for (size_t i = 0; i < sizeof record; i++)
        if (!written[i]) { EXPECT_EQ(record[i], 0xAA) << i; }
    memset(record, 0xAA, sizeof record);
    EXPECT_EQ(gpib.GetQuvRes(2, record), 0);  // no such board
    for (unsigned char b : record) ASSERT_EQ(b, 0xAA);
}

// A list of 1 to 14 addresses reaches every device on it; a longer one, or one that starts with
// -1, reaches none: it is refused with -11 before the driver, whose refusal would differ (no
// listener, or a board that cannot transfer between devices).
TEST_F(BoardTest, AddressListsHoldOneToFourteenAddresses)
{
    std::string bench = "{\"instruments\": [";
    for (int a = 1; a <= 15; a++) bench += (a > 1 ? ", " : "") + ("{\"address\": " + std::to_string(a) + ", \"type\": \"multimeter\"}");
    ASSERT_EQ(sim.SimLoadBench((bench + "]}").c_str()), 1) << sim.SimLastMessage();
    short list14[15], list15[16];
    for (int i = 0; i < 15; i++) list14[i] = list15[i] = static_cast<short>(i + 1);
    list14[14] = -1;
    list15[15] = -1;
    const short empty[] = {-1, 1, -1};

    EXPECT_EQ(gpib.GpibSendN(list14, 4, "*CLS", GPIB_DELIM_LF, &status), 4);
    EXPECT_EQ(status, 0);
    for (int a = 1; a <= 14; a++) EXPECT_EQ(DeviceInput(a), "*CLS\n") << a;
    EXPECT_EQ(DeviceInput(15), "");

    for (const short* bad : {static_cast<const short*>(list15), empty}) {
        for (int a = 1; a <= 15; a++) sim.SimClearDeviceInput(a);
        status = 77;
        EXPECT_EQ(gpib.GpibSendN(bad, 4, "*CLS", GPIB_DELIM_LF, &status), GPIB_ERR_PARAM);
        EXPECT_EQ(status, 77);
        EXPECT_EQ(gpib.GpibSend2N(1, bad), GPIB_ERR_PARAM);
        for (int a = 1; a <= 15; a++) EXPECT_EQ(DeviceInput(a), "") << a;
    }
}

// Each entry's status byte, the entry of a bad address zeroed and the rest untouched.
TEST_F(BoardTest, SerialPollOfAList)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    sim.SimSetStatusByte(22, 0x41);
    short stb[16];
    const short good[] = {22, 5, -1};
    memset(stb, 0x55, sizeof stb);
    EXPECT_EQ(gpib.GpibSPollN(good, stb), 0);
    EXPECT_EQ(stb[0], 0x41);
    EXPECT_EQ(stb[1], 0);
    EXPECT_EQ(stb[2], 0x5555);

    struct { short bad; } outOfRange[] = {{31}, {-2}};
    for (auto& o : outOfRange) {
        const short list[] = {5, o.bad, 22, -1};
        memset(stb, 0x55, sizeof stb);
        EXPECT_EQ(gpib.GpibSPollN(list, stb), GPIB_ERR_PARAM);
        EXPECT_EQ(stb[1], 0);       // zeroed before the check
        EXPECT_EQ(stb[2], 0x5555);  // never reached
    }
    short fifteen[16];
    for (int i = 0; i < 15; i++) fifteen[i] = 5;
    fifteen[15] = -1;
    EXPECT_EQ(gpib.GpibSPollN(fifteen, stb), GPIB_ERR_PARAM);
    const short none[] = {-1};
    EXPECT_EQ(gpib.GpibSPollN(none, stb), GPIB_ERR_PARAM);
}

// The polls a list makes: up to a bad entry, every entry when some fail (the last failure wins),
// all fifteen of a list without its end.
TEST_F(BoardTest, SerialPollOfAListPollsUntilItsEnd)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    short stb[16];
    const short list[] = {5, 31, 22, -1};
    EXPECT_EQ(gpib.GpibSPollN(list, stb), GPIB_ERR_PARAM);
    EXPECT_EQ(sim.SimCountCalls("TavkSpoll"), 1u);

    const short withSilent[] = {12, 22, 7, 5, -1};  // 12 and 7 time out, the last failure wins
    sim.SimScriptCall("TavkSpoll", 3, 0, 8, 0);
    EXPECT_EQ(gpib.GpibSPollN(withSilent, stb), GPIB_ERR_MODE);
    EXPECT_EQ(sim.SimCountCalls("TavkSpoll"), 1u + 4u);

    short fifteen[16];
    for (int i = 0; i < 15; i++) fifteen[i] = 5;
    fifteen[15] = -1;
    sim.SimClearCalls();
    EXPECT_EQ(gpib.GpibSPollN(fifteen, stb), GPIB_ERR_PARAM);
    EXPECT_EQ(sim.SimCountCalls("TavkSpoll"), 15u);
}

TEST_F(BoardTest, SinglePollsAndStatus)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    short stb = 0;
    sim.SimSetStatusByte(22, 0x50);
    EXPECT_EQ(gpib.GpibSPoll(22, &stb), 1);  // 1, not the status byte
    EXPECT_EQ(stb, 0x50);
    sim.SimSetStatusByte(22, 0);
    EXPECT_EQ(gpib.GpibSPoll(22, &stb), 0);

    int32_t word = 0;
    EXPECT_EQ(gpib.GpibStatus(&word), 0);
    EXPECT_EQ(word & (TAVK_STATUS_TALKER | TAVK_STATUS_LISTENER), 0);

    status = 0;
    EXPECT_EQ(gpib.GpibSendS(4, "*CLS", 2, &status), 0);
    EXPECT_EQ(status, GPIB_ERR_ADDRESS_STATUS);
    status = 0;
    EXPECT_EQ(gpib.GpibRecvS(sizeof buffer, buffer, 2, &status), 0);
    EXPECT_EQ(status, GPIB_ERR_ADDRESS_STATUS);
}

TEST_F(BoardTest, StatusIsZeroWhateverTheDriverSays)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    int32_t word = 0;
    sim.SimScriptCall("TavkGetStatus", 1, -5, 9, 0);
    EXPECT_EQ(gpib.GpibStatus(&word), 0);
    EXPECT_EQ(word, -5);
}

TEST_F(BoardTest, SendCmdTakesDeviceClearsApart)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    struct {
        const char* what;
        std::vector<unsigned char> bytes;
        int length;
        const char* entry;
        uint32_t arg1;
    } cases[] = {
        {"SDC through its own call", {0x3F, 0x25, 0x04}, 3, "TavkSdc", 5},
        {"the plug-in's SDC is a command", {0x36, 0x04, 0x00}, 2, "TavkSendCmd", 0},
        {"the plug-in's DCL", {0x14}, 1, "TavkDcl", 0},
        {"a short command is not read past its length", {0x3F, 0x24, 0x04}, 1, "TavkSendCmd", 0},
        {"two bytes ending in DCL", {0x3F, 0x14}, 2, "TavkSendCmd", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim.SimClearCalls();
        EXPECT_EQ(gpib.GpibSendCmd(c.length, c.bytes.data()), 0);
        EXPECT_EQ(CallNames(), c.entry);
        SimCallRecord r;
        ASSERT_TRUE(LastCallOf(c.entry, r));
        if (strcmp(c.entry, "TavkSdc") == 0) { EXPECT_EQ(r.args[1], c.arg1); }
        if (strcmp(c.entry, "TavkSendCmd") == 0) { EXPECT_EQ(r.args[2], static_cast<uint32_t>(c.length)); }
    }
    sim.SimClearCalls();
    EXPECT_EQ(gpib.GpibSendCmd(3, nullptr), GPIB_ERR_PARAM);
    EXPECT_EQ(CallNames(), "");
}

TEST_F(BoardTest, InitClearsTheInterfaceOnlyInModeOne)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    EXPECT_EQ(gpib.GpibInit(30, 0), 0);
    EXPECT_EQ(CallNames(), "TavkInit");
    SimCallRecord r;
    ASSERT_TRUE(LastCallOf("TavkInit", r));
    EXPECT_EQ(r.args[0], 1u);  // the handle TavkCreate gave, not 0xFFFF
    EXPECT_EQ(r.args[3], 0x140000u);
    EXPECT_EQ(gpib.GpibSetBuffSize(4096), 4096);
    sim.SimClearCalls();
    EXPECT_EQ(gpib.GpibInit(30, 1), 0);
    EXPECT_EQ(CallNames(), "TavkInit TavkIfc");
    ASSERT_TRUE(LastCallOf("TavkInit", r));
    EXPECT_EQ(r.args[3], 4096u);
}

TEST_F(BoardTest, BoardAsDeviceRequestsService)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::BoardAsDevice);
    ASSERT_EQ(gpib.GpibInit(30, 2), 0);  // the simulated board's device role
    EXPECT_EQ(gpib.GpibSetStatusByte(0x1C1), 0);
    EXPECT_EQ(gpib.GpibSetSrq(), 0);
    SimBoardInfo board;
    ASSERT_TRUE(sim.SimGetBoard(&board));
    EXPECT_EQ(board.srqStatusByte, 0xC1);   // the low byte of the status byte set
    EXPECT_EQ(gpib.GpibChkSrq(), 1);
    EXPECT_EQ(gpib.GpibSetPPR(1), 0);
    EXPECT_EQ(gpib.GpibSetPPR(2), GPIB_ERR_PARAM);
    EXPECT_EQ(gpib.GpibIfc(), GPIB_ERR_MODE);
    ASSERT_EQ(gpib.GpibInit(30, 1), 0);
    EXPECT_EQ(gpib.GpibSetSrq(), GPIB_ERR_MODE);  // a controller does not request service
}

TEST_F(BoardTest, ScriptsCountPerEntryAndForEveryCall)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    sim.SimScriptCall("TavkSendDataC", 2, 0, 9, 0);
    for (int expected : {0, static_cast<int>(GPIB_ERR_TIMEOUT), 0}) {
        status = 77;
        gpib.GpibSend(22, 4, "*CLS", 2, &status);
        EXPECT_EQ(status, expected);
    }
    sim.SimScriptCall("TavkSendDataC", 1, 0, 10, 1);
    for (int i = 0; i < 3; i++) {
        gpib.GpibSend(22, 4, "*CLS", 2, &status);
        EXPECT_EQ(status, GPIB_ERR_NO_LISTENER);
    }
    sim.SimClearScripts();
    // the nth driver call of any entry point: here the unlisten after the send
    sim.SimScriptCall("*", 3, 0, 9, 0);
    status = 77;
    EXPECT_EQ(gpib.GpibSend(22, 4, "*CLS", 2, &status), 0);
    EXPECT_EQ(status, 77);
    EXPECT_EQ(sim.SimScriptCall("TavkNoSuchEntry", 1, 0, 9, 0), 0);
}

namespace {

#if defined(__i386__)
// Calls f with n 32-bit arguments pushed and returns how far the stack pointer moved.
int32_t StackShiftOfCall(FARPROC f, uint32_t n, uint32_t* result)
{
    uint32_t before, after, r, count = n;
    asm volatile(
        "mov %%esp, %%esi\n\t"
        "1: test %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl $0x5A5A5A5A\n\t"
        "dec %%ecx\n\t"
        "jmp 1b\n\t"
        "2: mov $0x12345678, %%eax\n\t"
        "call *%%ebx\n\t"
        "mov %%esp, %%edi\n\t"
        "mov %%esi, %%esp\n\t"
        : "=S"(before), "=D"(after), "=a"(r), "+c"(count)
        : "b"(f)
        : "edx", "memory", "cc");
    *result = r;
    return static_cast<int32_t>(after - before);
}
#else
// The 64-bit convention passes arguments in registers and the caller cleans up: there is no
// stack balance to check, only the result.
int32_t StackShiftOfCall(FARPROC f, uint32_t n, uint32_t* result)
{
    typedef uint32_t (*SixArguments)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
    const uint32_t a = 0x5A5A5A5A;
    *result = reinterpret_cast<SixArguments>(reinterpret_cast<void*>(f))(a, a, a, a, a, a);
    return 0;
}
#endif

struct StubRow {
    const char* name;
    uint32_t args;
    bool wide = false;  // 32-bit result
};

const StubRow stubs[] = {
    {"_GpibInit", 3}, {"_GpibSendCmd", 3}, {"_GpibSend2", 3}, {"_GpibSPoll", 3}, {"_GpibSPollN", 3},
    {"_GpibSend2N", 3}, {"_GpibSend", 6, true}, {"_GpibSendN", 6, true}, {"_GpibRecv", 6, true},
    {"_GpibIfc", 1}, {"_GpibChkSrq", 1}, {"_GpibPPoll", 1}, {"_GpibPPollUConfigAll", 1}, {"_GpibSetSrq", 1},
    {"_GpibPPollConfig", 4}, {"_GpibSendS", 5, true}, {"_GpibRecvS", 5, true}, {"_GpibSetTime", 2},
    {"_GpibRen", 2}, {"_GpibPPollUConfig", 2}, {"_GpibStatus", 2}, {"_GpibSetStatusByte", 2},
    {"_GpibSetPPR", 2}, {"_TQ02GetCounter", 2}, {"TQ02GetCounter", 1},
};

}  // namespace

TEST_F(BoardTest, StubsTakeTheirArgumentsAndReturnZero)
{
    for (const StubRow& s : stubs) {
        SCOPED_TRACE(s.name);
        FARPROC f = GetProcAddress(variant.tavkx, s.name);
        ASSERT_NE(f, nullptr);
        uint32_t result = 0xFFFFFFFF;
        EXPECT_EQ(StackShiftOfCall(f, s.args, &result), 0);
        if (s.wide) EXPECT_EQ(result, 0u);
        else EXPECT_EQ(static_cast<short>(result), 0);
    }
    EXPECT_EQ(CallNames(), "");
}

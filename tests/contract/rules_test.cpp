// The rules every driver keeps at its exports, whatever its transport: the last error after each
// call, the handle, device addresses and address lists, the receive length, the ranges of the
// settings, the role error of what the board cannot do, and the trace line of each call.
#include <stdio.h>
#include <functional>
#include <vector>
#include "interfaces/bustext.h"
#include "tests/contract/contractbench.h"
#include "tests/tavkx/drvchecks.h"

namespace {

// One call of a table: its entry point, what the board needs for it, the call itself.
struct Row {
    const char* entry;
    Ability needs;
    std::function<int32_t()> call;
};

// The rows of a table the configuration's board can do; the others are named on the output.
std::vector<const Row*> RowsThisBoardCan(const std::vector<Row>& rows)
{
    std::vector<const Row*> can;
    for (const Row& r : rows)
        if (DriverCanRow(r.needs, r.entry)) can.push_back(&r);
    return can;
}

}  // namespace

class Rules : public Contract {
protected:
    uint8_t block[TAVK_RESOURCE_BLOCK_SIZE] = {};
    uint8_t unlisten[1] = {BUS_UNL};
    const int16_t twoDevices[2] = {DMM, BINARY};
    const int16_t binaryOnly[1] = {BINARY};
    char buffer[256] = {};
    uint32_t length = 0;
    int16_t word = 0;
    uint8_t response = 0;

    int32_t Receive(uint32_t address)
    {
        length = sizeof buffer;
        return tavk.TavkRecvDataC(board, address, buffer, &length);
    }
    // Both devices untouched since marks were taken.
    void ExpectBenchUntouched(const DeviceMarks& dmm, const DeviceMarks& binary)
    {
        EXPECT_EQ(Marks(DMM), dmm);
        EXPECT_EQ(Marks(BINARY), binary);
    }
    // Each row refused with the error, and no device touched by any of them; the multimeter has
    // an answer waiting that a receive let through would take.
    void ExpectRefusedAndBenchUntouched(const std::vector<Row>& rows, int32_t error)
    {
        sim.SimQueueAnswer(DMM, "1\n", 2, 1);
        const DeviceMarks dmm = Marks(DMM), binary = Marks(BINARY);
        for (const Row* r : RowsThisBoardCan(rows)) {
            SCOPED_TRACE(r->entry);
            EXPECT_EQ(r->call(), 0);
            EXPECT_EQ(LastError(), error);
        }
        ExpectBenchUntouched(dmm, binary);
    }
};

// The NI-backed driver once left the error of an earlier call after TavkGetSrqLine and TavkClose.
TEST_F(Rules, EverySuccessClearsTheLastError)
{
    const std::vector<Row> rows = {
        {"TavkGetVersion", Ability::Always, [&] { return tavk.TavkGetVersion(board) == TAVK_DRIVER_VERSION ? 1 : 0; }},
        {"TavkGetStatus", Ability::Always, [&] { tavk.TavkGetStatus(board); return 1; }},
        {"TavkGetResource", Ability::Always, [&] { return tavk.TavkGetResource(0, block); }},
        {"TavkInit", Ability::Always, [&] { return tavk.TavkInit(board, OWN, 1, 0); }},
        {"TavkSetTime", Ability::Always, [&] { return tavk.TavkSetTime(board, 1000); }},
        {"TavkSetEos", Ability::Always, [&] { return tavk.TavkSetEos(board, 2, 1); }},
        {"TavkSendCmd", Ability::Always, [&] { return tavk.TavkSendCmd(board, unlisten, 1); }},
        {"TavkIfc", Ability::Always, [&] { return tavk.TavkIfc(board); }},
        {"TavkSdc", Ability::DeviceControl, [&] { return tavk.TavkSdc(board, DMM); }},
        {"TavkSendDataCN", Ability::Always, [&] { return tavk.TavkSendDataCN(board, twoDevices, 2, "*CLS", 4); }},
        {"TavkSendDataC", Ability::Always, [&] { return tavk.TavkSendDataC(board, DMM, "*IDN?", 5); }},
        {"TavkRecvDataC", Ability::Always, [&] { return Receive(DMM); }},
        {"TavkSpoll", Ability::DeviceControl, [&] { return tavk.TavkSpoll(board, DMM, &word); }},
        {"TavkGetSrqLine", Ability::SrqLine, [&] { return tavk.TavkGetSrqLine(board, &word); }},
        {"TavkRen", Ability::RemoteEnable, [&] { return tavk.TavkRen(board, 1); }},
        {"TavkDcl", Ability::UniversalClear, [&] { return tavk.TavkDcl(board); }},
        {"TavkPpollConfig", Ability::ParallelPoll, [&] { return tavk.TavkPpollConfig(board, DMM, 1, 1); }},
        {"TavkPpoll", Ability::ParallelPoll, [&] { return tavk.TavkPpoll(board, &response); }},
        {"TavkPpollUnConfig", Ability::ParallelPoll, [&] { return tavk.TavkPpollUnConfig(board, DMM); }},
        {"TavkPpollUnConfigAll", Ability::ParallelPoll, [&] { return tavk.TavkPpollUnConfigAll(board); }},
        {"TavkTransData", Ability::DeviceToDevice, [&] {
             sim.SimQueueAnswer(DMM, "1\n", 2, 1);
             return tavk.TavkTransData(board, DMM, BINARY);
         }},
        {"TavkTransDataN", Ability::DeviceToDevice, [&] {
             sim.SimQueueAnswer(DMM, "2\n", 2, 1);
             return tavk.TavkTransDataN(board, DMM, binaryOnly, 1);
         }},
        {"TavkClose", Ability::Always, [&] { return tavk.TavkClose(board); }},
    };
    for (const Row* r : RowsThisBoardCan(rows)) {
        SCOPED_TRACE(r->entry);
        FailOnce();
        EXPECT_EQ(r->call(), 1);
        EXPECT_EQ(LastError(), TAVK_OK);
    }
    board = 0;   // closed by the last row
}

// A device address is 0..TAVK_ADDRESS_MAX and not the board's own: beyond that every entry point
// that takes one refuses it with the argument error before anything reaches the bus, so an
// address that is 22 in its low bits does not reach the multimeter.
TEST_F(Rules, DeviceAddressesBeyondTheLimitOrTheBoardsOwnAreRefused)
{
    const uint32_t addresses[] = {TAVK_ADDRESS_MAX + 1, OWN, 0x10000 + DMM, 0xFFFFFFFF};
    const int16_t entries[] = {TAVK_ADDRESS_MAX + 1, OWN, -1, 0x7FFF};
    for (size_t k = 0; k < sizeof addresses / sizeof addresses[0]; k++) {
        const uint32_t a = addresses[k];
        const int16_t entry = entries[k];
        SCOPED_TRACE(a);
        const int16_t list[2] = {DMM, entry};
        const std::vector<Row> rows = {
            {"TavkSendDataC", Ability::Always, [&] { return tavk.TavkSendDataC(board, a, "*CLS", 4); }},
            {"TavkSendDataCN", Ability::Always, [&] { return tavk.TavkSendDataCN(board, list, 2, "*CLS", 4); }},
            {"TavkRecvDataC", Ability::Always, [&] { return Receive(a); }},
            {"TavkSdc", Ability::DeviceControl, [&] { return tavk.TavkSdc(board, a); }},
            {"TavkSpoll", Ability::DeviceControl, [&] { return tavk.TavkSpoll(board, a, &word); }},
            {"TavkPpollConfig", Ability::Always, [&] { return tavk.TavkPpollConfig(board, a, 1, 1); }},
            {"TavkPpollUnConfig", Ability::Always, [&] { return tavk.TavkPpollUnConfig(board, a); }},
            {"TavkTransData from", Ability::Always, [&] { return tavk.TavkTransData(board, a, DMM); }},
            {"TavkTransData to", Ability::Always, [&] { return tavk.TavkTransData(board, DMM, a); }},
            {"TavkTransDataN from", Ability::Always, [&] { return tavk.TavkTransDataN(board, a, binaryOnly, 1); }},
            {"TavkTransDataN to", Ability::Always, [&] { return tavk.TavkTransDataN(board, DMM, list, 2); }},
        };
        ExpectRefusedAndBenchUntouched(rows, TAVK_ERR_ARGUMENT);
    }
    // The board's own address moves with TavkInit: 30 is a device address once the board is at 0.
    ASSERT_EQ(tavk.TavkInit(board, 0, 1, 0), 1);
    EXPECT_EQ(tavk.TavkSdc(board, 0), 0);
    EXPECT_EQ(LastError(), TAVK_ERR_ARGUMENT);
    EXPECT_NE(tavk.TavkSdc(board, OWN) == 0 ? LastError() : TAVK_OK, TAVK_ERR_ARGUMENT);
}

// Lists hold 1..TAVK_LIST_MAX device addresses; a longer, empty or missing list, or one with a
// bad entry, is refused before any device hears the message.
TEST_F(Rules, AddressListsHoldOneToTheListMaximum)
{
    std::string bench = "{\"instruments\": [";
    for (uint32_t a = 1; a <= 14; a++) bench += (a > 1 ? ", " : "") + ("{\"address\": " + std::to_string(a) + ", \"type\": \"multimeter\"}");
    ASSERT_EQ(sim.SimLoadBench((bench + "]}").c_str()), 1) << sim.SimLastMessage();
    int16_t fourteen[14], tooLong[TAVK_LIST_MAX + 1];
    for (int i = 0; i < 14; i++) fourteen[i] = static_cast<int16_t>(i + 1);
    for (int i = 0; i <= TAVK_LIST_MAX; i++) tooLong[i] = static_cast<int16_t>(i % 14 + 1);
    const int16_t withOwn[] = {1, 2, static_cast<int16_t>(OWN)}, withBeyond[] = {1, TAVK_ADDRESS_MAX + 1};
    struct Refused {
        const char* what;
        const int16_t* list;
        uint32_t count;
    } refused[] = {
        {"no entry", fourteen, 0},         {"one entry too many", tooLong, TAVK_LIST_MAX + 1},
        {"no list", nullptr, 1},           {"the board's own address", withOwn, 3},
        {"an address beyond the limit", withBeyond, 2},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(tavk.TavkSendDataCN(board, r.list, r.count, "*CLS", 4), 0);
        EXPECT_EQ(LastError(), TAVK_ERR_ARGUMENT);
        EXPECT_EQ(tavk.TavkTransDataN(board, 14, r.list, r.count), 0);
        EXPECT_EQ(LastError(), TAVK_ERR_ARGUMENT);
        for (int a = 1; a <= 14; a++) EXPECT_EQ(DeviceInput(a), "") << a;
    }
    EXPECT_EQ(tavk.TavkSendDataCN(board, fourteen, 14, "*CLS", 4), 1);
    for (int a = 1; a <= 14; a++) EXPECT_EQ(DeviceInput(a), "*CLS\n") << a;
}

// A receive's length is the buffer's size on entry (at least 1) and the count received on return;
// a refused receive leaves it 0, and the instrument keeps its answer.
TEST_F(Rules, ReceiveLengthInAndOut)
{
    ASSERT_EQ(tavk.TavkSendDataC(board, DMM, "*IDN?", 5), 1);
    struct Refused {
        const char* what;
        uint32_t handle, address, size;
        bool noBuffer, noLength;
    } refused[] = {
        {"no length", TAVK_BOARD_HANDLE, DMM, 0, false, true},
        {"a size of 0", TAVK_BOARD_HANDLE, DMM, 0, false, false},
        {"no buffer", TAVK_BOARD_HANDLE, DMM, 64, true, false},
        {"a bad address", TAVK_BOARD_HANDLE, TAVK_ADDRESS_MAX + 1, 64, false, false},
        {"another handle", TAVK_BOARD_HANDLE + 1, DMM, 64, false, false},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        for (bool asListener : {false, true}) {
            if (asListener && r.address != DMM) continue;   // TavkRecvDataS takes no address
            length = r.size;
            uint32_t* lengthArgument = r.noLength ? nullptr : &length;
            char* bufferArgument = r.noBuffer ? nullptr : buffer;
            int32_t result = asListener ? tavk.TavkRecvDataS(r.handle, bufferArgument, lengthArgument)
                                        : tavk.TavkRecvDataC(r.handle, r.address, bufferArgument, lengthArgument);
            EXPECT_EQ(result, 0) << (asListener ? "TavkRecvDataS" : "TavkRecvDataC");
            EXPECT_EQ(LastError(), TAVK_ERR_ARGUMENT);
            EXPECT_EQ(length, 0u);
        }
    }
    length = 8;
    ASSERT_EQ(tavk.TavkRecvDataC(board, DMM, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, length), std::string(DMM_IDN).substr(0, 8));
    length = sizeof buffer;
    ASSERT_EQ(tavk.TavkRecvDataC(board, DMM, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, length), std::string(DMM_IDN).substr(8) + "\n");
    // a device that does not answer: the time-out, and nothing received
    length = sizeof buffer;
    EXPECT_EQ(tavk.TavkRecvDataC(board, SILENT, buffer, &length), 0);
    EXPECT_EQ(LastError(), TAVK_ERR_TIMEOUT);
    EXPECT_EQ(length, 0u);
}

// Every entry point that takes the board's handle refuses another one with the argument error,
// and nothing reaches the bench.
TEST_F(Rules, OnlyTheOpenBoardsHandleIsTaken)
{
    const uint32_t other = TAVK_BOARD_HANDLE + 1;
    const std::vector<Row> rows = {
        {"TavkGetVersion", Ability::Always, [&] { return tavk.TavkGetVersion(other); }},
        {"TavkGetStatus", Ability::Always, [&] { return tavk.TavkGetStatus(other); }},
        {"TavkInit", Ability::Always, [&] { return tavk.TavkInit(other, OWN, 1, 0); }},
        {"TavkSetTime", Ability::Always, [&] { return tavk.TavkSetTime(other, 1000); }},
        {"TavkSetEos", Ability::Always, [&] { return tavk.TavkSetEos(other, 0, 0); }},
        {"TavkSendCmd", Ability::Always, [&] { return tavk.TavkSendCmd(other, unlisten, 1); }},
        {"TavkIfc", Ability::Always, [&] { return tavk.TavkIfc(other); }},
        {"TavkRen", Ability::Always, [&] { return tavk.TavkRen(other, 1); }},
        {"TavkDcl", Ability::Always, [&] { return tavk.TavkDcl(other); }},
        {"TavkSdc", Ability::DeviceControl, [&] { return tavk.TavkSdc(other, DMM); }},
        {"TavkSendDataCN", Ability::Always, [&] { return tavk.TavkSendDataCN(other, twoDevices, 2, "*CLS", 4); }},
        {"TavkSendDataC", Ability::Always, [&] { return tavk.TavkSendDataC(other, DMM, "*CLS", 4); }},
        {"TavkSendDataS", Ability::Always, [&] { return tavk.TavkSendDataS(other, "*CLS", 4); }},
        {"TavkTransDataN", Ability::Always, [&] { return tavk.TavkTransDataN(other, DMM, binaryOnly, 1); }},
        {"TavkTransData", Ability::Always, [&] { return tavk.TavkTransData(other, DMM, BINARY); }},
        {"TavkSetSrqLine", Ability::Always, [&] { return tavk.TavkSetSrqLine(other, 0x41); }},
        {"TavkGetSrqLine", Ability::Always, [&] { return tavk.TavkGetSrqLine(other, &word); }},
        {"TavkSpoll", Ability::DeviceControl, [&] { return tavk.TavkSpoll(other, DMM, &word); }},
        {"TavkPpoll", Ability::Always, [&] { return tavk.TavkPpoll(other, &response); }},
        {"TavkPpollConfig", Ability::Always, [&] { return tavk.TavkPpollConfig(other, DMM, 1, 1); }},
        {"TavkPpollUnConfig", Ability::Always, [&] { return tavk.TavkPpollUnConfig(other, DMM); }},
        {"TavkPpollUnConfigAll", Ability::Always, [&] { return tavk.TavkPpollUnConfigAll(other); }},
        {"TavkPpollRespModeSet", Ability::Always, [&] { return tavk.TavkPpollRespModeSet(other, 1); }},
        {"TavkClose", Ability::Always, [&] { return tavk.TavkClose(other); }},
    };
    ExpectRefusedAndBenchUntouched(rows, TAVK_ERR_ARGUMENT);
    EXPECT_EQ(tavk.TavkSendDataC(board, DMM, "*CLS", 4), 1) << "the board is still open";
}

// The settings take their ranges; a refused one leaves the one in force, so the next message
// still ends with LF.
TEST_F(Rules, SettingsTakeTheirRanges)
{
    EXPECT_EQ(tavk.TavkSetTime(board, 0), 1);
    EXPECT_EQ(tavk.TavkSetTime(board, TAVK_TIME_MAX_MS), 1);
    for (uint32_t mode = 0; mode <= TAVK_EOS_MODE_MAX; mode++)
        for (uint32_t flag = 0; flag <= TAVK_EOS_FLAG_MAX; flag++) EXPECT_EQ(tavk.TavkSetEos(board, mode, flag), 1) << mode << " " << flag;
    ASSERT_EQ(tavk.TavkSetEos(board, 2, 1), 1);
    ASSERT_EQ(tavk.TavkSetTime(board, 500), 1);
    const std::vector<Row> refused = {
        {"TavkSetTime beyond an hour", Ability::Always, [&] { return tavk.TavkSetTime(board, TAVK_TIME_MAX_MS + 1); }},
        {"TavkSetTime of a negative", Ability::Always, [&] { return tavk.TavkSetTime(board, 0xFFFFFFFF); }},
        {"TavkSetEos mode", Ability::Always, [&] { return tavk.TavkSetEos(board, TAVK_EOS_MODE_MAX + 1, 1); }},
        {"TavkSetEos flag", Ability::Always, [&] { return tavk.TavkSetEos(board, 0, TAVK_EOS_FLAG_MAX + 1); }},
        {"TavkSetEos high bits", Ability::Always, [&] { return tavk.TavkSetEos(board, 0x10000, 0); }},
        {"TavkInit address", Ability::Always, [&] { return tavk.TavkInit(board, TAVK_ADDRESS_MAX + 1, 1, 0); }},
        {"TavkInit mode", Ability::Always, [&] { return tavk.TavkInit(board, OWN, TAVK_INIT_MODE_MAX + 1, 0); }},
        {"TavkRen", Ability::Always, [&] { return tavk.TavkRen(board, 2); }},
        {"TavkPpollConfig line", Ability::Always, [&] { return tavk.TavkPpollConfig(board, DMM, TAVK_PPOLL_LINE_MAX + 1, 1); }},
        {"TavkPpollConfig sense", Ability::Always, [&] { return tavk.TavkPpollConfig(board, DMM, 1, TAVK_PPOLL_SENSE_MAX + 1); }},
        {"TavkPpollRespModeSet", Ability::Always, [&] { return tavk.TavkPpollRespModeSet(board, TAVK_PPR_MODE_MAX + 1); }},
        {"TavkSendCmd without bytes", Ability::Always, [&] { return tavk.TavkSendCmd(board, unlisten, 0); }},
        {"TavkSendDataC without data", Ability::Always, [&] { return tavk.TavkSendDataC(board, DMM, nullptr, 4); }},
    };
    ExpectRefusedAndBenchUntouched(refused, TAVK_ERR_ARGUMENT);
    sim.SimClearDeviceInput(DMM);
    ASSERT_EQ(tavk.TavkSendDataC(board, DMM, "*CLS", 4), 1);
    EXPECT_EQ(DeviceInput(DMM), "*CLS\n");
}

// What the board cannot do fails with the role error and reaches no instrument.
TEST_F(Rules, WhatTheBoardCannotDoIsTheRoleError)
{
    struct Lacking {
        Ability ability;
        const char* entry;
        std::function<int32_t()> call;
    };
    const Lacking lacking[] = {
        {Ability::ParallelPoll, "TavkPpoll", [&] { return tavk.TavkPpoll(board, &response); }},
        {Ability::ParallelPoll, "TavkPpollConfig", [&] { return tavk.TavkPpollConfig(board, DMM, 1, 1); }},
        {Ability::ParallelPoll, "TavkPpollUnConfig", [&] { return tavk.TavkPpollUnConfig(board, DMM); }},
        {Ability::ParallelPoll, "TavkPpollUnConfigAll", [&] { return tavk.TavkPpollUnConfigAll(board); }},
        {Ability::BoardAddressed, "TavkSendDataS", [&] { return tavk.TavkSendDataS(board, "*CLS", 4); }},
        {Ability::BoardAddressed, "TavkRecvDataS", [&] {
             length = sizeof buffer;
             int32_t r = tavk.TavkRecvDataS(board, buffer, &length);
             return length == 0 ? r : -1;
         }},
        {Ability::DeviceToDevice, "TavkTransData", [&] { return tavk.TavkTransData(board, DMM, BINARY); }},
        {Ability::DeviceToDevice, "TavkTransDataN", [&] { return tavk.TavkTransDataN(board, DMM, binaryOnly, 1); }},
        {Ability::UniversalClear, "TavkDcl", [&] { return tavk.TavkDcl(board); }},
        {Ability::RemoteEnable, "TavkRen", [&] { return tavk.TavkRen(board, 1); }},
        {Ability::SrqLine, "TavkGetSrqLine", [&] { return tavk.TavkGetSrqLine(board, &word); }},
        {Ability::BoardAsDevice, "TavkInit as a device", [&] { return tavk.TavkInit(board, OWN, 2, 0); }},
        {Ability::BoardAsDevice, "TavkSetSrqLine", [&] { return tavk.TavkSetSrqLine(board, 0x41); }},
        {Ability::BoardAsDevice, "TavkPpollRespModeSet", [&] { return tavk.TavkPpollRespModeSet(board, 1); }},
    };
    sim.SimQueueAnswer(DMM, "1\n", 2, 1);
    const DeviceMarks dmm = Marks(DMM), binary = Marks(BINARY);
    int refusals = 0;
    for (const Lacking& l : lacking) {
        if (DriverCan(l.ability)) continue;
        SCOPED_TRACE(std::string(l.entry) + ": " + DriverLacks(l.ability));
        FailOnce();
        EXPECT_EQ(l.call(), 0);
        EXPECT_EQ(LastError(), TAVK_ERR_ROLE);
        refusals++;
    }
    ExpectBenchUntouched(dmm, binary);
    if (refusals == 0) GTEST_SKIP() << "the " << driverconfig::FromEnvironment().name << " board can do every operation";
}

// TAVK_TRACE names the trace: one line per call, the entry point first, its result last and the
// error of a failure after it (a refused one too).
TEST_F(Rules, TraceWritesALinePerCall)
{
    const std::string file = TestDir() + "contract_trace_" + driverconfig::FromEnvironment().name + ".txt";
    ASSERT_EQ(tavk.TavkClose(board), 1);
    DeleteFileA(file.c_str());
    SetEnvironmentVariableA("TAVK_TRACE", file.c_str());
    const int32_t created = tavk.TavkCreate(&board);
    SetEnvironmentVariableA("TAVK_TRACE", nullptr);
    ASSERT_EQ(created, 1);
    struct Traced {
        const char* entry;
        std::function<int32_t()> call;
    };
    const Traced calls[] = {
        {"TavkInit", [&] { return tavk.TavkInit(board, OWN, 1, 0); }},
        {"TavkSetEos", [&] { return tavk.TavkSetEos(board, 2, 1); }},
        {"TavkSetTime", [&] { return tavk.TavkSetTime(board, TAVK_TIME_MAX_MS + 1); }},
        {"TavkSendDataC", [&] { return tavk.TavkSendDataC(board, DMM, "*IDN?", 5); }},
        {"TavkRecvDataC", [&] { return Receive(DMM); }},
        {"TavkSpoll", [&] { return tavk.TavkSpoll(board, TAVK_ADDRESS_MAX + 1, &word); }},
        {"TavkPpoll", [&] { return tavk.TavkPpoll(board, &response); }},
        {"TavkSdc", [&] { return tavk.TavkSdc(board, DMM); }},
    };
    std::vector<std::string> expected = {"TavkCreate -> 1"};
    for (const Traced& c : calls) {
        int32_t result = c.call();
        std::string end = " -> " + std::to_string(result);
        if (result != 1) end += " error " + std::to_string(LastError());
        expected.push_back(std::string(c.entry) + end);
    }
    std::vector<std::string> got;
    std::string all;
    for (const std::string& line : TraceLines(file)) {
        all += line + "\n";
        // the driver's own lines under a call, and the error reads between the calls
        if (line.compare(0, 4, "Tavk") != 0 || line.compare(0, 16, "TavkGetLastError") == 0) continue;
        size_t name = line.find_first_of(" (");
        size_t arrow = line.rfind(" -> ");
        got.push_back(line.substr(0, name) + (arrow == std::string::npos ? std::string() : line.substr(arrow)));
    }
    EXPECT_EQ(got, expected) << all;
}

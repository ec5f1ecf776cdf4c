// What each entry point puts on the bench, the same for every driver: messages with the
// end-of-string in force, answers, the errors of absent and silent devices, clears, triggers,
// serial polls and service requests, transfers between devices.
#include <regex>
#include "interfaces/bustext.h"
#include "tests/contract/contractbench.h"

class Bus : public Contract {};

namespace {

struct Ending {
    uint32_t mode, flag;
    const char* bytes;
};

const Ending endings[] = {{0, 0, "\r\n"}, {1, 1, "\r"}, {2, 1, "\n"}, {3, 1, ""}, {0, 1, ""}};

}  // namespace

// A message reaches each listener whole, with the end-of-string in force after it.
TEST_F(Bus, MessagesCarryTheEndOfStringInForce)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::MessageEndsAtAnyEos);
    const int16_t both[] = {DMM, BINARY};
    for (const Ending& e : endings) {
        SCOPED_TRACE(std::to_string(e.mode) + " " + std::to_string(e.flag));
        ASSERT_EQ(tavk.TavkSetEos(board, e.mode, e.flag), 1);
        ASSERT_EQ(tavk.TavkSendDataC(board, DMM, "*CLS", 4), 1);
        EXPECT_EQ(DeviceInput(DMM), std::string("*CLS") + e.bytes);
        ASSERT_EQ(tavk.TavkSendDataCN(board, both, 2, "*RST", 4), 1);
        EXPECT_EQ(DeviceInput(DMM), std::string("*CLS") + e.bytes + "*RST" + e.bytes);
        EXPECT_EQ(DeviceInput(BINARY), std::string("*RST") + e.bytes);
        sim.SimClearDeviceInput(DMM);
        sim.SimClearDeviceInput(BINARY);
    }
}

// An answer comes back whole: ended by the board's end-of-string where the instruments use it,
// else by their own LF.
TEST_F(Bus, AnswersComeBackWhole)
{
    ASSERT_EQ(tavk.TavkSetEos(board, 0, 0), 1);
    const std::string ending = DriverCan(Ability::AnswersEndWithBoardEos) ? "\r\n" : "\n";
    EXPECT_EQ(Query(DMM, "*IDN?"), DMM_IDN + ending);
    std::string reading = Query(DMM, "READ?");
    EXPECT_TRUE(std::regex_match(reading, std::regex(R"([+-]\d\.\d{6}E[+-]\d\d\r?\n)"))) << reading;
    SimDeviceInfo d;
    ASSERT_TRUE(sim.SimGetDevice(DMM, &d));
    EXPECT_EQ(d.readings, 1u);
    EXPECT_EQ(d.outputLength, 0u);
}

// A send to an address without a device finds no listener; a device that never talks times out,
// and its time-out is the board's.
TEST_F(Bus, AbsentAndSilentDevices)
{
    char buffer[16];
    uint32_t length = sizeof buffer;
    EXPECT_EQ(tavk.TavkRecvDataC(board, SILENT, buffer, &length), 0);
    EXPECT_EQ(tavk.TavkGetLastError(board), TAVK_ERR_TIMEOUT);
    int16_t stb = 0;
    EXPECT_EQ(tavk.TavkSpoll(board, SILENT, &stb), 0);
    EXPECT_EQ(tavk.TavkGetLastError(board), TAVK_ERR_TIMEOUT);
    EXPECT_EQ(tavk.TavkSendDataC(board, SILENT, "*CLS", 4), 1) << "it listens";
    EXPECT_EQ(DeviceInput(SILENT), "*CLS\n");
    SKIP_UNLESS_DRIVER_CAN(Ability::ReportsNoListener);
    EXPECT_EQ(tavk.TavkSendDataC(board, EMPTY, "*CLS", 4), 0);
    EXPECT_EQ(tavk.TavkGetLastError(board), TAVK_ERR_NO_LISTENER);
}

// Device clear reaches the one device, through TavkSdc or as SDC to the listeners of a command;
// a trigger (GET) reaches the listeners of its command.
TEST_F(Bus, ClearsAndTriggersReachTheirDevices)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    const uint8_t clear[] = {BUS_UNL, BUS_LAD + BINARY, BUS_SDC};
    const uint8_t trigger[] = {BUS_UNL, BUS_LAD + SRQ_DEVICE, BUS_GET};
    const DeviceMarks dmm = Marks(DMM), binary = Marks(BINARY), srq = Marks(SRQ_DEVICE);
    ASSERT_EQ(tavk.TavkSdc(board, DMM), 1);
    EXPECT_EQ(Marks(DMM).clears, dmm.clears + 1);
    EXPECT_EQ(Marks(BINARY).clears, binary.clears);
    ASSERT_EQ(tavk.TavkSendCmd(board, clear, sizeof clear), 1);
    EXPECT_EQ(Marks(BINARY).clears, binary.clears + 1);
    EXPECT_EQ(Marks(DMM).clears, dmm.clears + 1);
    ASSERT_EQ(tavk.TavkSendCmd(board, trigger, sizeof trigger), 1);
    EXPECT_EQ(Marks(SRQ_DEVICE).triggers, srq.triggers + 1);
    EXPECT_EQ(Marks(DMM).triggers, dmm.triggers);
}

TEST_F(Bus, UniversalClearReachesEveryDevice)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::UniversalClear);
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    const uint32_t devices[] = {DMM, BINARY, SRQ_DEVICE, SILENT};
    std::vector<DeviceMarks> before;
    for (uint32_t a : devices) before.push_back(Marks(a));
    ASSERT_EQ(tavk.TavkDcl(board), 1);
    for (size_t i = 0; i < before.size(); i++) EXPECT_EQ(Marks(devices[i]).clears, before[i].clears + 1) << devices[i];
}

// A serial poll gives the device's status byte.
TEST_F(Bus, SerialPollGivesTheStatusByte)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    int16_t stb = -1;
    ASSERT_EQ(sim.SimSetStatusByte(DMM, 0x41), 1);
    ASSERT_EQ(tavk.TavkSpoll(board, DMM, &stb), 1);
    EXPECT_EQ(stb, 0x41);
    ASSERT_EQ(sim.SimSetStatusByte(DMM, 0), 1);
    ASSERT_EQ(tavk.TavkSpoll(board, DMM, &stb), 1);
    EXPECT_EQ(stb, 0);
}

// A triggered device's reading, ready 100 ms later, asserts SRQ with RQS and its ready bit in its
// status byte, until a serial poll takes them.
TEST_F(Bus, TriggeredDeviceRequestsServiceUntilPolled)
{
    int16_t stb = -1;
    ASSERT_EQ(tavk.TavkSendDataC(board, SRQ_DEVICE, "*TRG", 4), 1);
    sim.SimAdvanceTime(100);
    ASSERT_EQ(tavk.TavkSpoll(board, SRQ_DEVICE, &stb), 1);
    EXPECT_EQ(stb, 0x40 | 0x10);
    ASSERT_EQ(tavk.TavkSpoll(board, SRQ_DEVICE, &stb), 1);
    EXPECT_EQ(stb, 0);
}

TEST_F(Bus, SrqLineFollowsTheRequests)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::SrqLine);
    int16_t line = -1, stb = 0;
    ASSERT_EQ(tavk.TavkSendDataC(board, SRQ_DEVICE, "*TRG", 4), 1);
    ASSERT_EQ(tavk.TavkGetSrqLine(board, &line), 1);
    EXPECT_EQ(line, 0);
    sim.SimAdvanceTime(100);
    ASSERT_EQ(tavk.TavkGetSrqLine(board, &line), 1);
    EXPECT_EQ(line, 1);
    ASSERT_EQ(tavk.TavkSpoll(board, SRQ_DEVICE, &stb), 1);
    ASSERT_EQ(tavk.TavkGetSrqLine(board, &line), 1);
    EXPECT_EQ(line, 0);
}

// A device's answer goes to the listeners of a transfer.
TEST_F(Bus, TransfersGoFromDeviceToDevices)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceToDevice);
    const int16_t listeners[] = {BINARY, SILENT};
    ASSERT_EQ(sim.SimQueueAnswer(DMM, "1.5\n", 4, 1), 1);
    ASSERT_EQ(tavk.TavkTransData(board, DMM, BINARY), 1);
    EXPECT_EQ(DeviceInput(BINARY), "1.5\n");
    ASSERT_EQ(sim.SimQueueAnswer(DMM, "2.5\n", 4, 1), 1);
    ASSERT_EQ(tavk.TavkTransDataN(board, DMM, listeners, 2), 1);
    EXPECT_EQ(DeviceInput(BINARY), "1.5\n2.5\n");
    EXPECT_EQ(DeviceInput(SILENT), "2.5\n");
}

// TavkX over the simulated bench: round trips with the built-in instruments, time-outs, service
// requests, parallel poll, bench files and the trace.
#include <stdio.h>
#include <stdlib.h>
#include <fstream>
#include <regex>
#include <sstream>
#include "tests/tavkx/boardfixture.h"

namespace {

const char IDN_22[] = "TAVIK-SIM,DMM-22,0,1.0";

struct TerminatorCase {
    int delim;
    const char* ending;
};

const TerminatorCase terminators[] = {
    {GPIB_DELIM_CRLF, "\r\n"},
    {GPIB_DELIM_CR, "\r"},
    {GPIB_DELIM_LF, "\n"},
    {GPIB_DELIM_EOI, ""},
    {7, ""},  // no terminator: the answer ends with EOI
};

}  // namespace

TEST_F(BoardTest, IdentityRoundTripWithEveryTerminator)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndWithBoardEos);
    for (const TerminatorCase& t : terminators) {
        SCOPED_TRACE(t.delim);
        short status = 99;
        EXPECT_EQ(gpib.GpibSend(22, 5, "*IDN?", t.delim, &status), 5);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(DeviceInput(22), std::string("*IDN?") + t.ending);
        sim.SimClearDeviceInput(22);

        char answer[256] = {};
        status = 99;
        int32_t n = gpib.GpibRecv(22, sizeof answer, answer, t.delim, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(std::string(answer, n > 0 ? n : 0), std::string(IDN_22) + t.ending);
    }
}

TEST_F(BoardTest, ShortBufferLeavesTheRestForTheNextReceive)
{
    short status;
    ASSERT_EQ(gpib.GpibSend(22, 5, "*IDN?", GPIB_DELIM_LF, &status), 5);
    char part[8];
    ASSERT_EQ(gpib.GpibRecv(22, 8, part, GPIB_DELIM_LF, &status), 8);
    EXPECT_EQ(std::string(part, 8), "TAVIK-SI");
    char rest[64];
    int32_t n = gpib.GpibRecv(22, sizeof rest, rest, GPIB_DELIM_LF, &status);
    EXPECT_EQ(std::string(rest, n), "M,DMM-22,0,1.0\n");
}

TEST_F(BoardTest, MultimeterReadingsAreFormattedAndRepeatable)
{
    short status;
    std::vector<std::string> first;
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(gpib.GpibSend(22, 4, "*RST", GPIB_DELIM_LF, &status), 4);
        for (int i = 0; i < 3; i++) {
            ASSERT_EQ(gpib.GpibSend(22, 5, "READ?", GPIB_DELIM_LF, &status), 5);
            char answer[64];
            int32_t n = gpib.GpibRecv(22, sizeof answer, answer, GPIB_DELIM_LF, &status);
            std::string text(answer, n);
            EXPECT_TRUE(std::regex_match(text, std::regex(R"([+-]\d\.\d{6}E[+-]\d\d\n)"))) << text;
            if (round == 0) first.push_back(text);
            else EXPECT_EQ(text, first[i]);
        }
    }
    EXPECT_EQ(first[0], "+1.000000E+00\n");  // sine around 1.0 starts at its offset
}

TEST_F(BoardTest, BinarySourceAnswersLittleEndianValues)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndWithBoardEos);
    short status = 99;
    uint8_t data[64];
    int32_t n = gpib.GpibRecv(5, sizeof data, reinterpret_cast<char*>(data), GPIB_DELIM_EOI, &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(n, 8);  // four signed 16-bit values of a ramp, no terminator with EOI
    for (int i = 0; i < 4; i++) EXPECT_EQ(static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8), i);
    n = gpib.GpibRecv(5, sizeof data, reinterpret_cast<char*>(data), GPIB_DELIM_EOI, &status);
    EXPECT_EQ(data[0], 4);
}

TEST_F(BoardTest, SilentDeviceTimesOutInSimulatedTime)
{
    ASSERT_EQ(gpib.GpibSetTime(500), 0);
    short status = 0;
    EXPECT_EQ(gpib.GpibSend(12, 5, "READ?", GPIB_DELIM_LF, &status), 5);  // it listens
    uint32_t before = sim.SimTime();
    char answer[16];
    EXPECT_EQ(gpib.GpibRecv(12, sizeof answer, answer, GPIB_DELIM_LF, &status), 0);
    EXPECT_EQ(status, GPIB_ERR_TIMEOUT);
    EXPECT_GE(sim.SimTime() - before, 500u);
    short stb = 0;
    EXPECT_EQ(gpib.GpibSPoll(12, &stb), GPIB_ERR_TIMEOUT);
}

TEST_F(BoardTest, EmptyAddressHasNoListener)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::ReportsNoListener);
    short status = 0;
    EXPECT_EQ(gpib.GpibSend(7, 5, "*IDN?", GPIB_DELIM_LF, &status), 0);
    EXPECT_EQ(status, GPIB_ERR_NO_LISTENER);
}

TEST_F(BoardTest, FailedSendIsNotFollowedByUnlisten)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    short status = 0;
    EXPECT_EQ(gpib.GpibSend(7, 5, "*IDN?", GPIB_DELIM_LF, &status), 0);
    EXPECT_EQ(CallNames(), "TavkSetEos TavkSendDataC");
}

TEST_F(BoardTest, TriggeredDeviceRequestsServiceUntilPolled)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::SrqLine);
    const unsigned char trigger[] = {0x3F, 0x29, 0x08};  // UNL, LAD 9, GET
    ASSERT_EQ(gpib.GpibSendCmd(3, trigger), 0);
    EXPECT_EQ(gpib.GpibChkSrq(), 0);
    sim.SimAdvanceTime(100);
    EXPECT_EQ(gpib.GpibChkSrq(), 1);
    short stb = 0;
    EXPECT_EQ(gpib.GpibSPoll(9, &stb), 1);
    EXPECT_EQ(stb, 0x40 | 0x10);
    EXPECT_EQ(gpib.GpibChkSrq(), 0);
    EXPECT_EQ(gpib.GpibSPoll(9, &stb), 0);
    EXPECT_EQ(stb, 0);
    char answer[64];
    short status = 99;
    int32_t n = gpib.GpibRecv(9, sizeof answer, answer, GPIB_DELIM_CRLF, &status);
    EXPECT_EQ(status, 0);
    // the reading with its instrument's ending (the terminator tests check which)
    EXPECT_TRUE(std::regex_match(std::string(answer, n), std::regex(R"([+-]\d\.\d{6}E[+-]\d\d\r?\n)"))) << std::string(answer, n);
}

TEST_F(BoardTest, BusCommandsReachTheDevices)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::RemoteEnable);
    SKIP_UNLESS_DRIVER_CAN(Ability::BusLines);
    SKIP_UNLESS_DRIVER_CAN(Ability::UniversalClear);
    ASSERT_EQ(gpib.GpibRen(1), 0);
    short status;
    ASSERT_EQ(gpib.GpibSend(22, 4, "*CLS", GPIB_DELIM_LF, &status), 4);
    SimDeviceInfo d;
    ASSERT_TRUE(sim.SimGetDevice(22, &d));
    EXPECT_TRUE(d.remote);
    EXPECT_FALSE(d.listener);  // unlistened after the send

    const unsigned char gtl[] = {0x3F, 0x36, 0x01};      // UNL LAD 22 GTL
    const unsigned char llo[] = {0x11};
    const unsigned char sdc[] = {0x36, 0x04};            // the plug-in's SDC: LAD 22, SDC
    const unsigned char dcl[] = {0x14};
    ASSERT_EQ(gpib.GpibSendCmd(3, gtl), 0);
    ASSERT_TRUE(sim.SimGetDevice(22, &d));
    EXPECT_FALSE(d.remote);
    ASSERT_EQ(gpib.GpibSendCmd(1, llo), 0);
    ASSERT_EQ(gpib.GpibSendCmd(2, sdc), 0);
    ASSERT_TRUE(sim.SimGetDevice(22, &d));
    EXPECT_TRUE(d.lockout);
    EXPECT_EQ(d.clears, 1u);
    ASSERT_EQ(gpib.GpibSendCmd(1, dcl), 0);
    SimDeviceInfo other;
    ASSERT_TRUE(sim.SimGetDevice(5, &other));
    EXPECT_EQ(other.clears, 1u);
    ASSERT_EQ(gpib.GpibRen(0), 0);
    ASSERT_TRUE(sim.SimGetDevice(22, &d));
    EXPECT_FALSE(d.lockout);
}

TEST_F(BoardTest, ParallelPollAnswersOnTheConfiguredLines)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::ParallelPoll);
    const char* bench = R"({"instruments": [
        {"address": 1, "type": "multimeter"}, {"address": 2, "type": "multimeter"},
        {"address": 3, "type": "multimeter"}, {"address": 4, "type": "multimeter"},
        {"address": 6, "type": "multimeter"}, {"address": 7, "type": "multimeter"}]})";
    ASSERT_EQ(sim.SimLoadBench(bench), 1) << sim.SimLastMessage();
    // 0xF5: lines 0, 2, 4, 5, 6, 7; line 1 configured with a sense its device does not show
    struct { int address, line, sense, ist; } config[] = {
        {1, 0, 1, 1}, {2, 2, 0, 0}, {3, 4, 1, 1}, {4, 5, 1, 1}, {6, 6, 0, 0}, {7, 7, 1, 1}};
    for (auto& c : config) {
        ASSERT_EQ(gpib.GpibPPollConfig(c.address, c.line, c.sense), 0);
        sim.SimSetIst(c.address, c.ist);
    }
    EXPECT_EQ(gpib.GpibPPoll(), 0xF5);
    sim.SimSetIst(7, 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x75);
    ASSERT_EQ(gpib.GpibPPollUConfig(1), 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x74);
    ASSERT_EQ(gpib.GpibPPollUConfigAll(), 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0);
    EXPECT_EQ(gpib.GpibPPollConfig(1, 8, 1), GPIB_ERR_PARAM);
}

// PPC to the addressed listeners, then PPE (sense in bit 3, line in bits 0-2) or PPD.
TEST_F(BoardTest, ParallelPollConfiguredByBusCommands)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::ParallelPoll);
    const char* bench = R"({"instruments": [
        {"address": 2, "type": "multimeter"}, {"address": 4, "type": "multimeter"},
        {"address": 6, "type": "multimeter"}]})";
    ASSERT_EQ(sim.SimLoadBench(bench), 1) << sim.SimLastMessage();
    sim.SimSetIst(2, 1);
    sim.SimSetIst(4, 0);
    sim.SimSetIst(6, 1);
    const unsigned char line3[] = {0x3F, 0x22, 0x05, 0x6B};        // UNL LAD 2 PPC PPE(sense 1, line 3)
    const unsigned char line5[] = {0x3F, 0x24, 0x05, 0x65};        // UNL LAD 4 PPC PPE(sense 0, line 5)
    ASSERT_EQ(gpib.GpibSendCmd(4, line3), 0);
    ASSERT_EQ(gpib.GpibSendCmd(4, line5), 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x28);
    sim.SimSetIst(2, 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x20);
    sim.SimSetIst(2, 1);

    // With the parity bit set the bytes mean the same.
    const unsigned char parity[] = {0xBF, 0xA6, 0x85, 0xE9};       // UNL LAD 6 PPC PPE(sense 1, line 1)
    ASSERT_EQ(gpib.GpibSendCmd(4, parity), 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x2A);

    // A talk address ends PPC: the PPE after it configures nobody.
    const unsigned char ended[] = {0x3F, 0x26, 0x05, 0x5E, 0x68};  // UNL LAD 6 PPC TAD 30 PPE(line 0)
    ASSERT_EQ(gpib.GpibSendCmd(5, ended), 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x2A);

    const unsigned char disable[] = {0x3F, 0x22, 0x05, 0x70};      // UNL LAD 2 PPC PPD
    ASSERT_EQ(gpib.GpibSendCmd(4, disable), 0);
    EXPECT_EQ(gpib.GpibPPoll(), 0x22);
}

TEST_F(BoardTest, BoardAsTalkerAndListener)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::BoardAddressed);
    const unsigned char talk[] = {0x3F, 0x5E, 0x36};  // UNL, TAD 30 (the board), LAD 22
    ASSERT_EQ(gpib.GpibSendCmd(3, talk), 0);
    short status = 0;
    EXPECT_EQ(gpib.GpibSendS(5, "*IDN?", GPIB_DELIM_LF, &status), 5);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(DeviceInput(22), "*IDN?\n");
    const unsigned char listen[] = {0x3F, 0x3E, 0x56};  // UNL, LAD 30, TAD 22
    ASSERT_EQ(gpib.GpibSendCmd(3, listen), 0);
    char answer[64];
    int32_t n = gpib.GpibRecvS(sizeof answer, answer, GPIB_DELIM_LF, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(answer, n > 0 ? n : 0), std::string(IDN_22) + "\n");
}

// ---- bench files ---------------------------------------------------------------------------

namespace {

struct BadBench {
    const char* text;
    const char* expected;  // part of the message
};

const BadBench badBenches[] = {
    {"{\n \"instruments\": [\n  {\"address\": 31, \"type\": \"silent\"}\n ]\n}",
     "(text): line 3: instruments[0].address: is 31, outside 0..30"},
    {"{\n \"instruments\": [\n  {\"address\": 3,\n   \"type\": \"dmm\"}\n ]\n}",
     "(text): line 4: instruments[0].type: has the unknown value 'dmm'"},
    {"{\"instruments\": [\n {\"address\": 3, \"type\": \"silent\"},\n {\"address\": 3, \"type\": \"srq\"}]}",
     "(text): line 3: instruments[1].address: address 3 is taken"},
    {"{\"instruments\": [\n {\"address\": 3, \"type\": \"binary\",\n  \"widht\": 4}]}",
     "(text): line 3: instruments[0].widht: is not a known field"},
    {"{\"instruments\": [\n {\"address\": 3, \"type\": \"binary\", \"width\": 3}]}",
     "(text): line 2: instruments[0].width: must be 2, 4 or 8"},
    {"{\"instruments\": [\n {\"address\": 3, \"type\": \"multimeter\",\n  \"signal\": {\"shape\": \"square\"}}]}",
     "(text): line 3: instruments[0].signal.shape: has the unknown value 'square'"},
    {"{\"instruments\": [\n {\"address\": 3,, \"type\": \"silent\"}]}", "(text): line 2, column 16: syntax error"},
    {"{\"instrument\": []}", "(text): line 1: instrument: is not a known field"},
    // A number ending its line: the parser has read the line feed after it when it hands it over.
    {"{\"instruments\": [\n {\"address\": 3, \"type\": \"silent\"},\n 7\n]}",
     "(text): line 3: instruments[1]: must be an object"},
    // A number no double holds is refused at its field, not thrown at the host.
    {"{\"instruments\": [],\n \"opCostMs\":\n 1e999}", "(text): line 3: opCostMs: number overflow parsing '1e999'"},
    {"{\"instruments\": [],\n \"\": 1}", "(text): line 2: \"\": is not a known field"},
};

}  // namespace

TEST_F(BoardTest, BadBenchIsRefusedWithFileLineAndProblem)
{
    for (const BadBench& b : badBenches) {
        EXPECT_EQ(sim.SimLoadBench(b.text), 0) << b.text;
        std::string message = sim.SimLastMessage();
        EXPECT_NE(message.find(b.expected), std::string::npos) << "message: " << message << "\nexpected: " << b.expected;
    }
}

TEST(BenchFile, BadFileNamedInTheEnvironmentLeavesNoBoard)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::BenchInDriver);
    std::string file = TestDir() + "bad_bench_h1.json";
    {
        std::ofstream out(file, std::ios::binary);
        out << "{\n  \"instruments\": [\n    {\"address\": 22, \"type\": \"multimeter\", \"count\": 0}\n  ]\n}\n";
    }
    SetEnvironmentVariableA("TAVK_SIM_BENCH", file.c_str());
    DriverVariant v;
    bool bound = v.SelectAndLoadDriver("default");
    HMODULE tavkx = bound ? v.LoadTavkX() : nullptr;
    std::string message = bound ? v.sim.SimLastMessage() : "";
    SetEnvironmentVariableA("TAVK_SIM_BENCH", nullptr);
    EXPECT_TRUE(bound);
    EXPECT_EQ(tavkx, nullptr);  // TavkCreate fails, so TavkX does not load
    EXPECT_NE(message.find(file + ": line 3: instruments[0].count: is 0, outside 1..4096"), std::string::npos) << message;
    v.Release();
    DeleteFileA(file.c_str());
}

TEST_F(BoardTest, TraceShowsCallsCommandsAndData)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    std::string file = TestDir() + "trace_h1.txt";
    ASSERT_EQ(sim.SimSetTrace(file.c_str()), 1);
    short status;
    gpib.GpibSend(22, 6, "*IDN?\x01", GPIB_DELIM_CRLF, &status);
    char answer[64];
    gpib.GpibRecv(12, sizeof answer, answer, GPIB_DELIM_LF, &status);
    sim.SimSetTrace(nullptr);
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::string trace = text.str();
    EXPECT_NE(trace.find("TavkSendDataC(1, 22, "), std::string::npos) << trace;
    EXPECT_NE(trace.find("to 22 \"*IDN?\\x01\" -> 1"), std::string::npos) << trace;
    EXPECT_NE(trace.find("TavkSendCmd(1, "), std::string::npos) << trace;
    EXPECT_NE(trace.find(") UNL -> 1"), std::string::npos) << trace;
    EXPECT_NE(trace.find(") <- \"\" -> 0 error 9"), std::string::npos) << trace;
    in.close();
    DeleteFileA(file.c_str());
}

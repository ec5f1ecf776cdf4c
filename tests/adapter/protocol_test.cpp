// The adapter-backed tavk.dll through its entry points over loopback TCP to the adapter simulator:
// the lines of each entry point, escaping, ++addr only on change, end-of-string and reads,
// time-outs, a dropped and re-established link, a garbled reply, the refused operations and the
// settings.
#include <functional>
#include "tests/adapter/adapterbench.h"
#include "tests/tavkx/drvchecks.h"


TEST(AdapterCreate, ControllerSetupThenVersionThenTimeOutAndEndOfStringOnlyOnChange)
{
    AdapterBench b;
    ASSERT_TRUE(b.Load());
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    EXPECT_EQ(b.board, 1);
    EXPECT_EQ(b.Take(), createLines);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    EXPECT_EQ(b.Take(), Lines());
    ASSERT_EQ(b.TavkSetTime(b.board, 500), 1);
    EXPECT_EQ(b.Take(), (Lines{"++read_tmo_ms 500"}));
    ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
    ASSERT_EQ(b.TavkSetTime(b.board, 500), 1);
    EXPECT_EQ(b.Take(), Lines());
    // No limit and limits beyond the adapter's are its longest read time-out.
    ASSERT_EQ(b.TavkSetTime(b.board, 0), 1);
    ASSERT_EQ(b.TavkSetTime(b.board, 500), 1);
    ASSERT_EQ(b.TavkSetTime(b.board, 10000), 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 2, 0), 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 0, 1), 1);
    EXPECT_EQ(b.Take(), (Lines{"++read_tmo_ms 3000", "++read_tmo_ms 500", "++read_tmo_ms 3000", "++eos 2", "++eos 3"}));
    EXPECT_EQ(b.TavkSetTime(b.board, 3600001), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
}

TEST_F(AdapterProtocol, EachEntryPointSendsItsLines)
{
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    EXPECT_EQ(b.Take(), (Lines{"++addr 22", "*IDN?"}));
    EXPECT_EQ(b.Input(22), "*IDN?\r\n");   // the adapter appends ++eos 0's CR+LF
    int32_t r = 0;
    EXPECT_EQ(b.Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");   // the instrument ends with LF and EOI
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.Take(), Lines{"++read 10"});
    ASSERT_EQ(b.TavkSdc(b.board, 22), 1);
    EXPECT_EQ(b.Take(), Lines{"++clr"});
    SimDeviceInfo info;
    ASSERT_EQ(b.sim.SimGetDevice(22, &info), 1);
    EXPECT_EQ(info.clears, 1u);

    const uint8_t get[] = {0x3F, 0x20 + 9, 0x08}, gtl[] = {0x3F, 0x20 + 22, 0x01}, llo[] = {0x11},
                  sdc[] = {0x3F, 0x20 + 5, 0x04}, closing[] = {0x3F, 0x5F};
    ASSERT_EQ(b.TavkSendCmd(b.board, get, sizeof get), 1);
    ASSERT_EQ(b.TavkSendCmd(b.board, gtl, sizeof gtl), 1);
    ASSERT_EQ(b.TavkSendCmd(b.board, llo, sizeof llo), 1);
    ASSERT_EQ(b.TavkSendCmd(b.board, sdc, sizeof sdc), 1);
    ASSERT_EQ(b.TavkSendCmd(b.board, closing, sizeof closing), 1);   // the adapter unaddresses by itself
    EXPECT_EQ(b.Take(), (Lines{"++trg 9", "++loc", "++llo", "++addr 5", "++clr"}));
    ASSERT_EQ(b.sim.SimGetDevice(9, &info), 1);
    EXPECT_EQ(info.triggers, 1u);

    ASSERT_EQ(b.TavkIfc(b.board), 1);
    int16_t line = -1, stb = -1;
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    EXPECT_EQ(line, 0);
    ASSERT_EQ(b.sim.SimSetStatusByte(9, 0x50), 1);
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    EXPECT_EQ(line, 1);
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, 0x50);
    EXPECT_EQ(b.Take(), (Lines{"++ifc", "++srq", "++srq", "++spoll 9"}));
    EXPECT_EQ(b.TavkGetStatus(b.board) & (TAVK_STATUS_TALKER | TAVK_STATUS_LISTENER), 0);
}

TEST_F(AdapterProtocol, EverySpecialByteIsEscaped)
{
    const std::string data = std::string("a\rb\nc") + char(27) + "d+e++f";
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, data.data(), static_cast<uint32_t>(data.size())), 1);
    const std::string esc(1, char(27));
    EXPECT_EQ(b.Take(), (Lines{"++addr 22", "a" + esc + "\rb" + esc + "\nc" + esc + esc + "d" + esc + "+e" + esc + "+" + esc + "+f"}));
    EXPECT_EQ(b.Input(22), data + "\r\n");
    // Data that looks like a command reaches the device as data.
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "++ifc", 5), 1);
    EXPECT_EQ(b.Take(), Lines{esc + "+" + esc + "+ifc"});
    EXPECT_EQ(b.Input(22), "++ifc\r\n");
    EXPECT_EQ(AdapterEscape("", 0), "\n");
}

TEST_F(AdapterProtocol, AddressOnlyWhenItChanges)
{
    const int order[] = {22, 22, 5, 5, 22, 12, 12};
    for (int a : order) ASSERT_EQ(b.TavkSendDataC(b.board, static_cast<uint32_t>(a), "X", 1), 1);
    Lines addressLines;
    for (const std::string& l : b.Take())
        if (l.compare(0, 6, "++addr") == 0) addressLines.push_back(l);
    EXPECT_EQ(addressLines, (Lines{"++addr 22", "++addr 5", "++addr 22", "++addr 12"}));
    const int16_t list[] = {22, 5};
    ASSERT_EQ(b.TavkSendDataCN(b.board, list, 2, "Y", 1), 1);
    EXPECT_EQ(b.Take(), (Lines{"++addr 22", "Y", "++addr 5", "Y"}));
}

TEST_F(AdapterProtocol, EndOfStringChoosesTheReadEnd)
{
    struct Row { uint32_t mode, flag; const char* eos; const char* read; const char* ending; };
    // The instrument ends its answer with LF and EOI whatever the driver's end-of-string is.
    const Row rows[] = {{1, 0, "++eos 1", "++read 13", "\n"}, {2, 0, "++eos 2", "++read 10", "\n"},
                        {3, 0, "++eos 3", "++read eoi", "\n"}, {0, 0, "++eos 0", "++read 10", "\n"}};
    for (const Row& row : rows) {
        ASSERT_EQ(b.TavkSetEos(b.board, row.mode, row.flag), 1);
        ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
        int32_t r = 0;
        EXPECT_EQ(b.Receive(22, r), std::string("TAVIK-SIM,DMM-22,0,1.0") + row.ending) << row.read;
        EXPECT_EQ(r, 1) << row.read;
        Lines l = b.Take();
        ASSERT_GE(l.size(), 3u);
        EXPECT_EQ(l[0], row.eos);
        EXPECT_EQ(l.back(), row.read);
    }
}

TEST_F(AdapterProtocol, ShortBufferKeepsTheRestForTheNextReceive)
{
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    char part[10];
    uint32_t length = sizeof part;
    ASSERT_EQ(b.TavkRecvDataC(b.board, 22, part, &length), 1);
    EXPECT_EQ(std::string(part, length), "TAVIK-SIM,");
    int32_t r = 0;
    EXPECT_EQ(b.Receive(22, r), "DMM-22,0,1.0\n");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.Take(), (Lines{"++addr 22", "*IDN?", "++read 10"}));   // the rest needs no new ++read
}

TEST_F(AdapterProtocol, SilentDeviceTimesOutWithinTheAdapterTimeOut)
{
    ASSERT_EQ(b.TavkSetTime(b.board, 100), 1);
    DWORD start = GetTickCount();
    int32_t r = 1;
    EXPECT_EQ(b.Receive(12, r), "");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
    int16_t stb = 0;
    EXPECT_EQ(b.TavkSpoll(b.board, 12, &stb), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
    // Two waits of the read time-out and the reply margin, with room for a loaded machine.
    EXPECT_LT(GetTickCount() - start, 2u * (100 + ADAPTER_REPLY_MARGIN_MS) + 2000u);
}

TEST_F(AdapterProtocol, SlowReplyTimesOutAndIsDroppedWhenItComesLate)
{
    ASSERT_EQ(b.TavkSetTime(b.board, 50), 1);
    ASSERT_EQ(b.sim.SimSetStatusByte(9, 0x41), 1);
    b.adapter.AdapterSimSetDelay(1200);
    int16_t stb = 0;
    EXPECT_EQ(b.TavkSpoll(b.board, 9, &stb), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
    b.adapter.AdapterSimSetDelay(0);
    Sleep(1500);   // the late reply "65" arrives now
    ASSERT_EQ(b.sim.SimSetStatusByte(9, 0x42), 1);
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, 0x42);
}

TEST_F(AdapterProtocol, DroppedLinkIsReportedOnceAndTheNextCallConnectsAgain)
{
    ASSERT_EQ(b.adapter.AdapterSimConnections(), 1u);
    b.adapter.AdapterSimDropAt(1);   // ++spoll goes unanswered: the adapter closes the link
    int16_t stb = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(b.TavkSpoll(b.board, 9, &stb), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_LINK);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("was closed by the adapter; the next call connects again"), std::string::npos) << said;
    b.Take();
    // A link that is down is connected again by every call, even one with nothing to send.
    const uint8_t untalk[] = {0x5F};
    ASSERT_EQ(b.TavkSendCmd(b.board, untalk, sizeof untalk), 1);
    EXPECT_EQ(b.adapter.AdapterSimConnections(), 2u);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    EXPECT_EQ(b.adapter.AdapterSimConnections(), 2u);
    Lines again = createLines;
    again[again.size() - 2] = "++read_tmo_ms 200";
    for (const char* l : {"++addr 22", "*IDN?"}) again.push_back(l);
    EXPECT_EQ(b.Take(), again);   // everything the adapter held is sent again
    int32_t r = 0;
    EXPECT_EQ(b.Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");
    EXPECT_EQ(r, 1);
}

// Work on a thread of its own, which ends when the work is done and Release was called (at once
// with release true): Ended is false when it had not ended within 10 s.
struct Worker {
    std::function<void()> work;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr), released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    Worker(std::function<void()> w, bool release) : work(std::move(w))
    {
        if (release) SetEvent(released);
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    static DWORD WINAPI Run(void* self)
    {
        Worker* w = static_cast<Worker*>(self);
        w->work();
        SetEvent(w->done);
        WaitForSingleObject(w->released, INFINITE);
        return 0;
    }
    bool Done() { return WaitForSingleObject(done, 10000) == WAIT_OBJECT_0; }
    void Release() { SetEvent(released); }
    bool Ended() { return thread && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0; }
    ~Worker()
    {
        Release();
        if (Ended()) CloseHandle(thread);   // else left running: the test has failed
        CloseHandle(done);
        CloseHandle(released);
    }
};

// The host calls from more than one thread. A write's look leaves a receive waiting on the link:
// the end of the thread that made it cancels it, which must cost nothing (the answer comes to
// the read the next thread makes); one whose thread lives on brings the answer to the read of
// another, and a close on a third thread ends it.
TEST_F(AdapterProtocol, ReceiveLeftWaitingByAnotherThreadServesTheNextCall)
{
    const std::string idn = "TAVIK-SIM,DMM-22,0,1.0\n";
    int32_t r = 0;
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    EXPECT_EQ(b.Receive(22, r), idn);   // the answer taken: no receive waits
    testing::internal::CaptureStderr();
    int32_t sent = 0;
    {
        Worker writer([&] { sent = b.TavkSendDataC(b.board, 22, "*IDN?", 5); }, true);
        ASSERT_TRUE(writer.Ended());
    }
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(b.Receive(22, r), idn);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(b.adapter.AdapterSimConnections(), 1u);

    Worker writer([&] { sent = b.TavkSendDataC(b.board, 22, "*IDN?", 5); }, false);   // lives on
    ASSERT_TRUE(writer.Done());
    EXPECT_EQ(b.Receive(22, r), idn);   // in the writer's receive
    Worker second([&] { sent = b.TavkSendDataC(b.board, 22, "*IDN?", 5); }, false);
    ASSERT_TRUE(second.Done());
    Worker closer([&] { b.TavkClose(b.board); }, true);
    ASSERT_TRUE(closer.Ended()) << "the close waits for the receive of a thread that lives on";
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    if (!SerialConfiguration()) {   // a port is no connection
        EXPECT_EQ(b.adapter.AdapterSimConnections(), 2u);
    }
    EXPECT_EQ(b.Receive(22, r), idn);
}

TEST_F(AdapterProtocol, GarbledReplyIsRefusedAndTheNextOneTaken)
{
    ASSERT_EQ(b.sim.SimSetStatusByte(9, 0x41), 1);
    b.adapter.AdapterSimGarbleAt(1);
    int16_t stb = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(b.TavkSpoll(b.board, 9, &stb), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_REPLY);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("answered ++spoll 9 with \"??\", not a number 0..255"), std::string::npos) << said;
    ASSERT_EQ(b.sim.SimSetStatusByte(9, 0x41), 1);
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, 0x41);
}

// What the protocol cannot do fails with error 8 and sends nothing.
TEST_F(AdapterProtocol, OperationsTheProtocolLacksAreRefusedWithTheRoleError)
{
    uint8_t response = 0;
    char buffer[8];
    uint32_t length = sizeof buffer;
    const int16_t list[] = {5};
    const uint8_t dcl[] = {0x14}, ppu[] = {0x15}, spe[] = {0x18}, tad[] = {0x40 + 22}, ppc[] = {0x3F, 0x25, 0x05, 0x60};
    struct Row { const char* name; int32_t result; };
    const Row rows[] = {
        {"TavkPpoll", b.TavkPpoll(b.board, &response)},
        {"TavkPpollConfig", b.TavkPpollConfig(b.board, 5, 1, 1)},
        {"TavkPpollUnConfig", b.TavkPpollUnConfig(b.board, 5)},
        {"TavkPpollUnConfigAll", b.TavkPpollUnConfigAll(b.board)},
        {"TavkDcl", b.TavkDcl(b.board)},
        {"TavkSendCmd DCL", b.TavkSendCmd(b.board, dcl, 1)},
        {"TavkSendCmd PPU", b.TavkSendCmd(b.board, ppu, 1)},
        {"TavkSendCmd SPE", b.TavkSendCmd(b.board, spe, 1)},
        {"TavkSendCmd TAD", b.TavkSendCmd(b.board, tad, 1)},
        {"TavkSendCmd PPC PPE", b.TavkSendCmd(b.board, ppc, sizeof ppc)},
        {"TavkRen", b.TavkRen(b.board, 1)},
        {"TavkSendDataS", b.TavkSendDataS(b.board, "X", 1)},
        {"TavkRecvDataS", b.TavkRecvDataS(b.board, buffer, &length)},
        {"TavkTransData", b.TavkTransData(b.board, 22, 5)},
        {"TavkTransDataN", b.TavkTransDataN(b.board, 22, list, 1)},
        {"TavkSetSrqLine", b.TavkSetSrqLine(b.board, 0x40)},
        {"TavkPpollRespModeSet", b.TavkPpollRespModeSet(b.board, 1)},
        {"TavkInit as a device", b.TavkInit(b.board, 30, 2, 0)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.result, 0) << row.name;
    }
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    EXPECT_EQ(b.Take(), Lines());
    // One at a time, each with its own error.
    EXPECT_EQ(b.TavkPpoll(b.board, &response), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    EXPECT_EQ(b.TavkDcl(b.board), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    EXPECT_EQ(b.TavkSendCmd(b.board, ppu, 1), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
}

// Through TavkX the refusals are the mode error, which the plug-in shows as its mode message.
TEST(AdapterThroughTavkX, RefusedOperationsAreTheModeError)
{
    DriverVariant v;
    bool chosenHere = !AdapterConfiguration();
    if (chosenHere) SetEnvironmentVariableA("EXTAVIK_DRIVER", "adapter");
    ASSERT_TRUE(v.SelectAndLoadDriver("default"));
    ASSERT_EQ(v.sim.SimReset(), 1);
    GpibExports gpib;
    ASSERT_TRUE(gpib.Bind(v.LoadTavkX()));
    ASSERT_EQ(gpib.GpibInit(30, 1), GPIB_OK);
    EXPECT_EQ(gpib.GpibPPoll(), GPIB_ERR_MODE);
    EXPECT_EQ(gpib.GpibPPollConfig(5, 1, 1), GPIB_ERR_MODE);
    EXPECT_EQ(gpib.GpibPPollUConfigAll(), GPIB_ERR_MODE);
    const unsigned char dcl[] = {0x14};
    EXPECT_EQ(gpib.GpibSendCmd(1, dcl), GPIB_ERR_MODE);
    v.Release();
    if (chosenHere) SetEnvironmentVariableA("EXTAVIK_DRIVER", nullptr);
    SetEnvironmentVariableA("TAVK_ADAPTER", nullptr);
}

// ---- settings and reaching the adapter ---------------------------------------------------------

static std::string WriteSettings(const char* name, const char* text)
{
    std::string path = TestDir() + name;
    FILE* f = fopen(path.c_str(), "wb");
    fputs(text, f);
    fclose(f);
    SetEnvironmentVariableA("TAVK_ADAPTER_SETTINGS", path.c_str());
    return path;
}

static std::string CreateFails(AdapterBench& b, int32_t error)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(b.TavkCreate(&b.board), 0);
    EXPECT_EQ(b.TavkGetLastError(0), error);
    return testing::internal::GetCapturedStderr();
}

TEST_F(AdapterProtocol, OnlyBoardZeroHasAResourceBlock)
{
    ExpectResourcesOfBoardZeroOnly(b);
}

TEST(AdapterTrace, EachEntryPointsLineMarksOnlyFailures)
{
    const std::string file = TestDir() + "adapter_trace.txt";
    {
        AdapterBench b;
        ASSERT_TRUE(b.Load());
        ExpectTraceMarksOnlyFailures(b, file);
    }
    DeleteFileA(file.c_str());
}

TEST(AdapterSettings, BadOrMissingSettingsAreRefusedWithFileLineAndField)
{
    struct Row { const char* text; const char* message; };
    const Row rows[] = {
        {"{\n  \"adapter\": \"127.0.0.1:1234\",\n  \"replyMarginMs\": -5\n}", ": line 3: replyMarginMs: is -5, outside 0..60000"},
        {"{\n  \"connectTimeoutMs\": 100\n}", ": line 1: adapter: is missing"},
        {"{\n  \"adapter\": \"COMX\"\n}", ": line 2: adapter: 'COMX' is not a serial port COM1..COM256"},
        {"{\n  \"adapter\": \"host:99999\"\n}", ": line 2: adapter: 'host:99999' has no port 1..65535 after the colon"},
        {"{\n  \"adapter\": \"h\",\n  \"baud\": 9600\n}", ": line 3: baud: is not a known field"},
        {"{\n  \"adapter\": \"h\",,\n}", ": line 2"},
    };
    for (const Row& row : rows) {
        AdapterBench b;
        std::string path = WriteSettings("adapter_bad.json", row.text);
        ASSERT_TRUE(b.Load(false));
        std::string said = CreateFails(b, TAVK_ERR_LINK);
        EXPECT_NE(said.find(path + row.message), std::string::npos) << said;
    }
    AdapterBench b;
    SetEnvironmentVariableA("TAVK_ADAPTER_SETTINGS", (TestDir() + "no_such_adapter.json").c_str());
    ASSERT_TRUE(b.Load(false));
    std::string said = CreateFails(b, TAVK_ERR_LINK);
    EXPECT_NE(said.find("no_such_adapter.json: line 0: adapter: no adapter is named"), std::string::npos) << said;
}

TEST(AdapterSettings, BadEnvironmentValueIsRefused)
{
    AdapterBench b;
    SetEnvironmentVariableA("TAVK_ADAPTER", "127.0.0.1:0");
    ASSERT_TRUE(b.Load(false));
    std::string said = CreateFails(b, TAVK_ERR_LINK);
    EXPECT_NE(said.find("TAVK_ADAPTER: '127.0.0.1:0' has no port"), std::string::npos) << said;
}

// A loopback port with a listener that never answers, and one where nobody listens.
TEST(AdapterSettings, UnreachableOrSilentAdapterFailsTheCreate)
{
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof at;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(s, 1), 0);
    ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&at), &size), 0);
    std::string address = "127.0.0.1:" + std::to_string(ntohs(at.sin_port));
    {
        AdapterBench b;
        WriteSettings("adapter_silent.json", ("{\"adapter\": \"" + address + "\", \"connectTimeoutMs\": 300}").c_str());
        ASSERT_TRUE(b.Load(false));
        std::string said = CreateFails(b, TAVK_ERR_LINK);
        EXPECT_NE(said.find("the adapter at " + address + " does not answer ++ver within 300 ms"), std::string::npos) << said;
    }
    closesocket(s);
    {
        AdapterBench b;
        WriteSettings("adapter_closed.json", ("{\"adapter\": \"" + address + "\", \"connectTimeoutMs\": 300}").c_str());
        ASSERT_TRUE(b.Load(false));
        std::string said = CreateFails(b, TAVK_ERR_LINK);
        EXPECT_NE(said.find("the adapter at " + address + " cannot be reached"), std::string::npos) << said;
    }
    WSACleanup();
}

TEST(AdapterSettings, RenNeedsAnAdapterThatKnowsIt)
{
    AdapterBench b;
    ASSERT_TRUE(b.Load());
    char port[64];
    GetEnvironmentVariableA("TAVK_ADAPTER", port, sizeof port);
    WriteSettings("adapter_ren.json", (std::string("{\"adapter\": \"") + port + "\", \"renCommand\": true}").c_str());
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    b.Take();
    ASSERT_EQ(b.TavkRen(b.board, 1), 1);
    ASSERT_EQ(b.TavkRen(b.board, 0), 1);
    Lines l = b.Take();
    ASSERT_GE(l.size(), 2u);
    EXPECT_EQ(l[l.size() - 2], "++ren 1");
    EXPECT_EQ(l.back(), "++ren 0");
}

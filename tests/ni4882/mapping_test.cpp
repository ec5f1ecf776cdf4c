// The NI-backed tavk.dll through its entry points over the simulated ni4882.dll: the NI calls and
// bytes of the entry points, the error mapping, the time-out rounding and how the library is found.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "boards/ni4882/nimap.h"
#include "interfaces/tavkdrv.h"
#include "tests/tavkx/drvchecks.h"
#include "tests/tavkx/drvload.h"

struct NiDriverBench {
    HMODULE tavk = nullptr, nilib = nullptr;
    SimControl sim;
#define NI_DRV_SLOT(name) decltype(&::name) name = nullptr;
    TAVK_ENTRY_LIST(NI_DRV_SLOT)
#undef NI_DRV_SLOT
    uint16_t board = 0;

    bool Load(const char* dir, const char* libName = "ni4882.dll")
    {
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(VariantDir(dir).c_str());
        nilib = libName ? LoadLibraryA(libName) : nullptr;
        tavk = LoadLibraryA("tavk.dll");
        if (!tavk) return false;
#define NI_DRV_BIND(n) modulefiles::Resolve(tavk, #n, n);
        TAVK_ENTRY_LIST(NI_DRV_BIND)
#undef NI_DRV_BIND
        return !nilib || sim.Bind(nilib);
    }
    ~NiDriverBench()
    {
        if (tavk) FreeLibrary(tavk);
        if (nilib) FreeLibrary(nilib);
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(nullptr);
    }
    std::vector<SimCallRecord> Calls() { return sim.Log(); }
    std::string Names()
    {
        std::string names;
        for (const SimCallRecord& r : Calls()) names += (names.empty() ? "" : " ") + std::string(r.entry);
        return names;
    }
};

class NiMapping : public ::testing::Test {
protected:
    NiDriverBench b;
    void SetUp() override
    {
        ASSERT_TRUE(b.Load("ni4882"));
        ASSERT_EQ(b.sim.SimReset(), 1);
        ASSERT_EQ(b.TavkCreate(&b.board), 1);
        ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
        ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
        b.sim.SimClearCalls();
    }
};

TEST_F(NiMapping, SendAndReceiveAddressThenTransfer)
{
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    std::vector<SimCallRecord> c = b.Calls();
    ASSERT_EQ(b.Names(), "ibcmd ibwrt");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(c[0].data), c[0].dataLength), std::string("\x3F\x5E\x36", 3));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(c[1].data), c[1].dataLength), "*IDN?\r\n");
    b.sim.SimClearCalls();
    char buffer[64];
    uint32_t length = sizeof buffer;
    ASSERT_EQ(b.TavkRecvDataC(b.board, 22, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, length), "TAVIK-SIM,DMM-22,0,1.0\r\n");
    c = b.Calls();
    ASSERT_EQ(b.Names(), "ibcmd ibrd");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(c[0].data), c[0].dataLength), std::string("\x3F\x56\x3E", 3));
}

TEST_F(NiMapping, EntryPointsUseTheirNiCalls)
{
    struct Row { const char* calls; int32_t (*run)(NiDriverBench&); };
    static const Row rows[] = {
        {"ibsic", [](NiDriverBench& x) { return x.TavkIfc(x.board); }},
        {"ibconfig", [](NiDriverBench& x) { return x.TavkRen(x.board, 1); }},
        {"ibcmd", [](NiDriverBench& x) { return x.TavkDcl(x.board); }},
        {"ibcmd", [](NiDriverBench& x) { return x.TavkSdc(x.board, 22); }},
        {"ibconfig", [](NiDriverBench& x) { return x.TavkSetTime(x.board, 1000); }},
        {"ReadStatusByte", [](NiDriverBench& x) { int16_t s; return x.TavkSpoll(x.board, 22, &s); }},
        {"TestSRQ", [](NiDriverBench& x) { int16_t s; return x.TavkGetSrqLine(x.board, &s); }},
        {"ibrpp", [](NiDriverBench& x) { uint8_t r; return x.TavkPpoll(x.board, &r); }},
        {"PPollConfig", [](NiDriverBench& x) { return x.TavkPpollConfig(x.board, 22, 3, 1); }},
        {"PPollUnconfig", [](NiDriverBench& x) { return x.TavkPpollUnConfig(x.board, 22); }},
        {"ibcmd", [](NiDriverBench& x) { return x.TavkPpollUnConfigAll(x.board); }},
        {"ibask", [](NiDriverBench& x) { return x.TavkGetStatus(x.board) & 1; }},
        {"ibcmd ibrd", [](NiDriverBench& x) { return x.TavkTransData(x.board, 22, 5); }},
    };
    for (const Row& r : rows) {
        b.sim.SimClearCalls();
        if (strcmp(r.calls, "ibcmd ibrd") == 0) {
            ASSERT_EQ(b.sim.SimQueueAnswer(22, "1\n", 2, 1), 1);
        }
        EXPECT_EQ(r.run(b), 1) << r.calls;
        EXPECT_EQ(b.Names(), r.calls);
    }
}

static std::string Bytes(const SimCallRecord& r)
{
    return std::string(reinterpret_cast<const char*>(r.data), r.dataLength);
}

// What reaches the NI library: the command bytes of the bus entry points and the ibconfig values.
TEST_F(NiMapping, EntryPointsPassTheirBytesAndValues)
{
    struct Row { const char* call; std::string bytes; int32_t (*run)(NiDriverBench&); };
    static const Row commandRows[] = {
        {"ibcmd", "\x14", [](NiDriverBench& x) { return x.TavkDcl(x.board); }},
        {"ibcmd", "\x3F\x36\x04", [](NiDriverBench& x) { return x.TavkSdc(x.board, 22); }},
        {"ibcmd", "\x15", [](NiDriverBench& x) { return x.TavkPpollUnConfigAll(x.board); }},
        {"ibcmd", "\x3F\x56\x25\x3E", [](NiDriverBench& x) { return x.TavkTransData(x.board, 22, 5); }},
        {"ibcmd", std::string("\x3F\x5E\x25\x36", 4), [](NiDriverBench& x) {
             const int16_t list[] = {5, 22};
             return x.TavkSendDataCN(x.board, list, 2, "A", 1); }},
    };
    for (const Row& r : commandRows) {
        b.sim.SimClearCalls();
        ASSERT_EQ(b.sim.SimQueueAnswer(22, "1\n", 2, 1), 1);
        EXPECT_EQ(r.run(b), 1) << r.call;
        std::vector<SimCallRecord> c = b.Calls();
        ASSERT_FALSE(c.empty());
        EXPECT_STREQ(c[0].entry, r.call);
        EXPECT_EQ(Bytes(c[0]), r.bytes);
    }
    struct Config { int option, value; int32_t (*run)(NiDriverBench&); };
    static const Config configRows[] = {
        {NI_IBC_TMO, 11, [](NiDriverBench& x) { return x.TavkSetTime(x.board, 1000); }},
        {NI_IBC_TMO, 7, [](NiDriverBench& x) { return x.TavkSetTime(x.board, 4); }},
        {NI_IBC_SRE, 1, [](NiDriverBench& x) { return x.TavkRen(x.board, 1); }},
        {NI_IBC_SRE, 0, [](NiDriverBench& x) { return x.TavkRen(x.board, 0); }},
        {NI_IBC_EOS, NI_REOS | '\n', [](NiDriverBench& x) { return x.TavkSetEos(x.board, 0, 0); }},
        {NI_IBC_EOS, NI_REOS | '\r', [](NiDriverBench& x) { return x.TavkSetEos(x.board, 1, 0); }},
        {NI_IBC_EOS, 0, [](NiDriverBench& x) { return x.TavkSetEos(x.board, 3, 0); }},
    };
    for (const Config& r : configRows) {
        b.sim.SimClearCalls();
        EXPECT_EQ(r.run(b), 1) << r.option;
        std::vector<SimCallRecord> c = b.Calls();
        ASSERT_EQ(c.size(), 1u);
        EXPECT_STREQ(c[0].entry, "ibconfig");
        EXPECT_EQ(c[0].args[1], static_cast<uint32_t>(r.option));
        EXPECT_EQ(c[0].args[2], static_cast<uint32_t>(r.value)) << r.option;
    }
}

// The contract's parallel-poll lines 0..7 are the NI library's data lines 1..8.
TEST_F(NiMapping, ParallelPollLinesAreDataLinesOneToEight)
{
    for (uint32_t line = 0; line <= 7; line++) {
        b.sim.SimClearCalls();
        ASSERT_EQ(b.TavkPpollConfig(b.board, 22, line, 1), 1) << line;
        std::vector<SimCallRecord> c = b.Calls();
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].args[2], line + 1);
        SimDeviceInfo info;
        ASSERT_EQ(b.sim.SimGetDevice(22, &info), 1);
        EXPECT_EQ(info.ppollLine, static_cast<int32_t>(line));
    }
    ASSERT_EQ(b.sim.SimSetIst(22, 1), 1);
    uint8_t response = 0;
    ASSERT_EQ(b.TavkPpoll(b.board, &response), 1);
    EXPECT_EQ(response, 0x80);
    EXPECT_EQ(b.TavkPpollConfig(b.board, 22, 8, 1), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
}

// Every message ends with EOI on its last byte, so a device hears its end whatever the
// end-of-string: with EOI alone or a CR the query would otherwise never be complete.
TEST_F(NiMapping, MessagesEndWithEoiOnTheLastByte)
{
    ASSERT_EQ(b.TavkSetTime(b.board, 300), 1);
    for (uint32_t mode : {3u, 1u, 0u}) {
        ASSERT_EQ(b.TavkSetEos(b.board, mode, 0), 1);
        ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1) << mode;
        char buffer[64];
        uint32_t length = sizeof buffer;
        ASSERT_EQ(b.TavkRecvDataC(b.board, 22, buffer, &length), 1) << mode << " error " << b.TavkGetLastError(b.board);
        EXPECT_EQ(std::string(buffer, length).substr(0, 22), "TAVIK-SIM,DMM-22,0,1.0") << mode;
    }
}

TEST_F(NiMapping, ErrorsMapToDriverNumbers)
{
    struct Row { unsigned long ibsta, iberr; int32_t error; };
    static const Row rows[] = {
        {NI_ERR | NI_TIMO, NI_EABO, TAVK_ERR_TIMEOUT}, {NI_ERR, NI_EABO, TAVK_ERR_TIMEOUT},
        {NI_ERR, NI_ENOL, TAVK_ERR_NO_LISTENER}, {NI_ERR, NI_ECIC, TAVK_ERR_ROLE}, {NI_ERR, NI_ESAC, TAVK_ERR_ROLE},
        {NI_ERR, NI_EADR, TAVK_ERR_ROLE}, {NI_ERR, NI_EARG, TAVK_ERR_ARGUMENT}, {NI_ERR, NI_EDVR, NI_DRIVER_ERR_OTHER},
        {NI_ERR, NI_EBUS, NI_DRIVER_ERR_OTHER}, {NI_ERR, NI_EPWR, NI_DRIVER_ERR_OTHER},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(b.sim.SimScriptCall("ibsic", 1, (int32_t)r.ibsta, (int32_t)r.iberr, 0), 1);
        EXPECT_EQ(b.TavkIfc(b.board), 0);
        EXPECT_EQ(b.TavkGetLastError(b.board), r.error) << r.iberr;
    }
    // From the simulated bus itself: nobody at 17, nobody talks at 12, no controller.
    EXPECT_EQ(b.TavkSendDataS(b.board, "x", 1), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    ASSERT_EQ(b.TavkSetTime(b.board, 100), 1);
    char buffer[8];
    uint32_t length = sizeof buffer;
    EXPECT_EQ(b.TavkRecvDataC(b.board, 12, buffer, &length), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
    EXPECT_EQ(b.TavkSendDataC(b.board, 17, "x", 1), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_NO_LISTENER);
    EXPECT_EQ(b.TavkSetTime(b.board, TAVK_TIME_MAX_MS + 1), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
}

TEST_F(NiMapping, OnlyBoardZeroHasAResourceBlock)
{
    ExpectResourcesOfBoardZeroOnly(b);
}

TEST(NiTrace, EachEntryPointsLineMarksOnlyFailures)
{
    const std::string file = TestDir() + "ni_trace.txt";
    {
        NiDriverBench b;
        ASSERT_TRUE(b.Load("ni4882"));
        ASSERT_EQ(b.sim.SimReset(), 1);
        ExpectTraceMarksOnlyFailures(b, file);
        // The board addressed as talker: a status word other than 1 is still no failure.
        const uint8_t talk[] = {0x40 + 30};
        ASSERT_EQ(b.TavkSendCmd(b.board, talk, 1), 1);
        const int32_t word = b.TavkGetStatus(b.board);
        EXPECT_EQ(word, 0x0001 | TAVK_STATUS_TALKER);
        EXPECT_TRUE(HasTraceLine(TraceLines(file), "TavkGetStatus -> " + std::to_string(word)));
    }
    DeleteFileA(file.c_str());
}

TEST(NiTimeout, RoundsUpToTheNextCode)
{
    struct Row { uint32_t ms; int code; };
    static const Row rows[] = {
        {0, 0}, {1, 5}, {2, 6}, {3, 6}, {4, 7}, {10, 7}, {11, 8}, {30, 8}, {31, 9}, {100, 9}, {101, 10},
        {300, 10}, {301, 11}, {1000, 11}, {1001, 12}, {3000, 12}, {10000, 13}, {30000, 14}, {100000, 15},
        {300000, 16}, {1000000, 17}, {1000001, 0}, {3600000, 0},
    };
    for (const Row& r : rows) EXPECT_EQ(NiTimeoutCode(r.ms), r.code) << r.ms;
}

TEST(NiLibrary, FoundAsNi4882OrGpib32OrRefused)
{
    {
        NiDriverBench b;
        ASSERT_TRUE(b.Load("ni_gpib32", "gpib-32.dll"));
        uint16_t board = 0;
        EXPECT_EQ(b.TavkCreate(&board), 1);
        EXPECT_EQ(b.sim.SimCountCalls("ibfindA"), 1u);
    }
    {
        NiDriverBench b;
        ASSERT_TRUE(b.Load("ni_none", nullptr));
        uint16_t board = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(b.TavkCreate(&board), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("neither ni4882.dll nor gpib-32.dll"), std::string::npos);
        EXPECT_EQ(b.TavkGetLastError(board), NI_DRIVER_ERR_NO_LIBRARY);
    }
    {
        NiDriverBench b;
        ASSERT_TRUE(b.Load("ni_no_ibrpp"));
        uint16_t board = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(b.TavkCreate(&board), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("lacks the function ibrpp"), std::string::npos);
    }
}

TEST(NiLibrary, UnknownBoardIsRefused)
{
    SetEnvironmentVariableA("TAVK_NI_BOARD", "GPIB3");
    NiDriverBench b;
    ASSERT_TRUE(b.Load("ni4882"));
    uint16_t board = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(b.TavkCreate(&board), 0);
    SetEnvironmentVariableA("TAVK_NI_BOARD", nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the board GPIB3 cannot be opened (iberr ENEB)"), std::string::npos);
}

TEST(NiBoardName, GpibZeroToNinetyNine)
{
    struct Row { const char* name; int index; };
    static const Row rows[] = {
        {"GPIB0", 0}, {"gpib1", 1}, {"Gpib12", 12}, {"GPIB99", 99}, {"GPIB100", -1}, {"GPIB", -1},
        {"GPIB-1", -1}, {"GPIBX", -1}, {"COM1", -1}, {"", -1}, {"GPIB0 ", -1},
    };
    for (const Row& r : rows) EXPECT_EQ(NiBoardIndex(r.name), r.index) << r.name;
}

// The board named by tavk_ni.json beside the driver, or by TAVK_NI_BOARD over it; a bad file or
// name is refused with the file, the line and the field, and TavkCreate fails.
TEST(NiSettings, TheFileBesideTheDriverNamesTheBoard)
{
    const std::string file = VariantDir("ni_settings") + "\\" NI_SETTINGS_FILE;
    struct Row { const char* text; const char* env; const char* expect; };
    static const Row rows[] = {
        {"{\"board\": \"GPIB0\"}", nullptr, nullptr},
        {"{\"board\": \"gpib0\"}", nullptr, nullptr},
        {"{\"board\": \"GPIB3\"}", nullptr, "the board GPIB3 cannot be opened (iberr ENEB)"},
        {"{\"board\": \"GPIB3\"}", "GPIB0", nullptr},
        {"{}", "GPIB0x", "TAVK_NI_BOARD: 'GPIB0x' is not a board name (GPIB0 to GPIB99)"},
        {"{\"board\": 1}", nullptr, NI_SETTINGS_FILE ": line 1: board: must be a text"},
        {"{\n  \"board\": \"GPIB0\",\n  \"speed\": 3\n}", nullptr, NI_SETTINGS_FILE ": line 3: speed: is not a known field"},
        {"{\n\n  \"board\": \"COM1\"}", nullptr, NI_SETTINGS_FILE ": line 3: board: 'COM1' is not a board name"},
        {"[\"GPIB0\"]", nullptr, NI_SETTINGS_FILE ": line 1: the settings must be a JSON object"},
        {"{\"board\": \n}", nullptr, NI_SETTINGS_FILE ": line 2"},
        {"{\"board\": \"GPIB0\",\n \"\": 1}", nullptr, NI_SETTINGS_FILE ": line 2: \"\": is not a known field"},
        {"{\"board\":\n 1e999}", nullptr, NI_SETTINGS_FILE ": line 2: board: number overflow"},
    };
    for (const Row& r : rows) {
        FILE* f = fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr) << file;
        fputs(r.text, f);
        fclose(f);
        SetEnvironmentVariableA("TAVK_NI_BOARD", r.env);
        int32_t created, error;
        std::string said;
        {
            NiDriverBench b;
            ASSERT_TRUE(b.Load("ni_settings"));
            uint16_t board = 0;
            testing::internal::CaptureStderr();
            created = b.TavkCreate(&board);
            error = b.TavkGetLastError(board);
            said = testing::internal::GetCapturedStderr();
        }
        SetEnvironmentVariableA("TAVK_NI_BOARD", nullptr);
        if (!r.expect) {
            EXPECT_EQ(created, 1) << r.text << " " << said;
            continue;
        }
        EXPECT_EQ(created, 0) << r.text;
        EXPECT_NE(said.find(r.expect), std::string::npos) << r.text << " said: " << said;
        if (strstr(r.expect, "cannot be opened") == nullptr) {
            EXPECT_EQ(error, NI_DRIVER_ERR_SETTINGS) << r.text;
        }
    }
    DeleteFileA(file.c_str());
}

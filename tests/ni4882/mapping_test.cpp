// The NI-backed tavk.dll through its entry points over the simulated ni4882.dll: the NI calls and
// bytes of the entry points, the error mapping, the time-out rounding and how the library is found.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "boards/ni4882/nimap.h"
#include "interfaces/tavkdrv.h"
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
#define NI_DRV_BIND(n) n = reinterpret_cast<decltype(n)>(reinterpret_cast<void*>(GetProcAddress(tavk, #n)));
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
    EXPECT_EQ(b.TavkSetTime(b.board, NI_DRIVER_TIME_MAX_MS + 1), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
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

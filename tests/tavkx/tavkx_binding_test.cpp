// Loading TavkX: its export table, and the binding of tavk.dll with the driver variants.
#include <gtest/gtest.h>
#include <map>
#include <string>
#include "tests/tavkx/drvcaps.h"
#include "tests/tavkx/drvload.h"

namespace {

struct ExportRow {
    unsigned ordinal;
    const char* name;
};

const ExportRow exportTable[] = {
    {1, "GetQuvRes"}, {2, "GpibInit"}, {3, "_GpibInit"}, {4, "GpibSetTime"}, {5, "_GpibSetTime"},
    {6, "GpibIfc"}, {7, "_GpibIfc"}, {8, "GpibRen"}, {9, "_GpibRen"}, {10, "GpibSendCmd"},
    {11, "_GpibSendCmd"}, {12, "GpibSend"}, {13, "_GpibSend"}, {14, "GpibSendN"}, {15, "_GpibSendN"},
    {16, "GpibSend2"}, {17, "_GpibSend2"}, {18, "GpibRecv"}, {19, "_GpibRecv"}, {20, "GpibChkSrq"},
    {21, "_GpibChkSrq"}, {22, "GpibSPoll"}, {23, "_GpibSPoll"}, {24, "GpibSPollN"}, {25, "_GpibSPollN"},
    {26, "GpibPPoll"}, {27, "_GpibPPoll"}, {28, "GpibPPollConfig"}, {29, "_GpibPPollConfig"},
    {30, "GpibPPollUConfig"}, {31, "_GpibPPollUConfig"}, {32, "GpibPPollUConfigAll"},
    {33, "_GpibPPollUConfigAll"}, {34, "GpibStatus"}, {35, "_GpibStatus"}, {37, "GpibSendS"},
    {38, "_GpibSendS"}, {39, "GpibRecvS"}, {40, "_GpibRecvS"}, {41, "GpibSetStatusByte"},
    {42, "_GpibSetStatusByte"}, {43, "GpibSetSrq"}, {44, "_GpibSetSrq"}, {45, "GpibSetPPR"},
    {46, "_GpibSetPPR"}, {47, "TQ02GetCounter"}, {48, "_TQ02GetCounter"}, {49, "GpibSend2N"},
    {50, "_GpibSend2N"}, {51, "GpibSetBuffSize"},
};

// Name -> ordinal, read from the PE export directory of a loaded module.
std::map<std::string, unsigned> ReadExports(HMODULE module, unsigned& base, unsigned& functions)
{
    const uint8_t* image = reinterpret_cast<const uint8_t*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(image + dir.VirtualAddress);
    auto names = reinterpret_cast<const DWORD*>(image + exp->AddressOfNames);
    auto ordinals = reinterpret_cast<const WORD*>(image + exp->AddressOfNameOrdinals);
    auto addresses = reinterpret_cast<const DWORD*>(image + exp->AddressOfFunctions);
    std::map<std::string, unsigned> out;
    for (DWORD i = 0; i < exp->NumberOfNames; i++) {
        if (addresses[ordinals[i]] == 0) continue;
        out[reinterpret_cast<const char*>(image + names[i])] = exp->Base + ordinals[i];
    }
    base = exp->Base;
    functions = exp->NumberOfFunctions;
    return out;
}

class Binding : public ::testing::Test {
protected:
    DriverVariant variant;
    void TearDown() override { variant.Release(); }
};

}  // namespace

TEST_F(Binding, ExportNamesAndOrdinals)
{
    ASSERT_TRUE(variant.SelectAndLoadDriver("default"));
    ASSERT_NE(variant.LoadTavkX(), nullptr);
    unsigned base = 0, functions = 0;
    std::map<std::string, unsigned> exports = ReadExports(variant.tavkx, base, functions);
    EXPECT_EQ(exports.size(), sizeof exportTable / sizeof exportTable[0]);
    for (const ExportRow& row : exportTable) {
        auto it = exports.find(row.name);
        ASSERT_NE(it, exports.end()) << row.name;
        EXPECT_EQ(it->second, row.ordinal) << row.name;
        EXPECT_EQ(GetProcAddress(variant.tavkx, MAKEINTRESOURCEA(row.ordinal)), GetProcAddress(variant.tavkx, row.name));
    }
    EXPECT_EQ(GetProcAddress(variant.tavkx, MAKEINTRESOURCEA(36)), nullptr);
    EXPECT_LE(base + functions - 1, 51u);
}

TEST_F(Binding, TavkXVariantsLackTheirExports)
{
    struct { const char* variant; std::vector<const char*> missing; } rows[] = {
        {"tavkx_no_chksrq", {"GpibChkSrq"}},
        {"tavkx_no_spolln_uconfigall", {"GpibSPollN", "GpibPPollUConfigAll"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.variant);
        ASSERT_TRUE(variant.SelectAndLoadDriver(r.variant));
        ASSERT_NE(variant.LoadTavkX(), nullptr);
        for (const char* name : r.missing) EXPECT_EQ(GetProcAddress(variant.tavkx, name), nullptr) << name;
        EXPECT_NE(GetProcAddress(variant.tavkx, "GpibInit"), nullptr);
        variant.Release();
    }
}

// A failed attach leaves nothing loaded and never closes a board it did not open.
TEST_F(Binding, FailedAttachReleasesTheDriver)
{
    struct { const char* variant; const char* lastLookedUp; } rows[] = {
        {"no_getversion", "TavkGetStatus"},
        {"no_ppollrespmodeset", "TavkPpollUnConfigAll"},
        {"create_fails", "TavkCreate"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.variant);
        // alone: the loader drops TavkX and the driver it loaded
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(VariantDir(r.variant).c_str());
        EXPECT_EQ(LoadLibraryA("TavkX.dll"), nullptr);
        EXPECT_EQ(GetModuleHandleA("TavkX.dll"), nullptr);
        EXPECT_EQ(GetModuleHandleA("tavk.dll"), nullptr);

        // with the driver held by the test: its calls are visible, and TavkX gave its reference back
        ASSERT_TRUE(variant.SelectAndLoadDriver(r.variant));
        EXPECT_EQ(variant.LoadTavkX(), nullptr);
        EXPECT_EQ(variant.sim.SimCountCalls("TavkCreate"), strcmp(r.variant, "create_fails") == 0 ? 1u : 0u);
        EXPECT_EQ(variant.sim.SimCountCalls("TavkClose"), 0u);
        FreeLibrary(variant.tavk);
        variant.tavk = nullptr;
        EXPECT_EQ(GetModuleHandleA("tavk.dll"), nullptr);
        variant.Release();
    }
}

TEST_F(Binding, MissingDriverFailsTheLoad)
{
    modulefiles::UnloadPluginLibraries();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string empty = std::string(temp) + "tavkx_h1_empty";
    CreateDirectoryA(empty.c_str(), nullptr);
    SetDllDirectoryA(empty.c_str());
    EXPECT_EQ(LoadLibraryA((VariantDir("default") + "\\TavkX.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleA("TavkX.dll"), nullptr);
    SetDllDirectoryA(nullptr);
    RemoveDirectoryA(empty.c_str());
}

TEST_F(Binding, DetachClosesTheBoardThenReleasesTheDriver)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    ASSERT_TRUE(variant.SelectAndLoadDriver("default"));
    ASSERT_NE(variant.LoadTavkX(), nullptr);
    SimBoardInfo board;
    ASSERT_TRUE(variant.sim.SimGetBoard(&board));
    EXPECT_TRUE(board.open);
    variant.sim.SimClearCalls();
    FreeLibrary(variant.tavkx);
    variant.tavkx = nullptr;
    EXPECT_EQ(GetModuleHandleA("TavkX.dll"), nullptr);
    ASSERT_EQ(variant.sim.SimCallCount(), 1u);
    SimCallRecord r;
    ASSERT_TRUE(variant.sim.SimGetCall(0, &r));
    EXPECT_STREQ(r.entry, "TavkClose");
    EXPECT_EQ(r.args[0], 1u);  // the handle TavkCreate stored
    ASSERT_TRUE(variant.sim.SimGetBoard(&board));
    EXPECT_FALSE(board.open);
    FreeLibrary(variant.tavk);  // the test's reference was the last one
    variant.tavk = nullptr;
    EXPECT_EQ(GetModuleHandleA("tavk.dll"), nullptr);
}

// Each driver configuration a run can choose (host/driverconfig.h) finds its files in its test
// folder, starts its simulator, and carries a query to the bench and its answer back through TavkX.
TEST_F(Binding, EveryDriverConfigurationReachesTheBench)
{
    for (const driverconfig::Configuration& c : driverconfig::CONFIGURATIONS) {
        if (c.testsOnly && &c != &driverconfig::FromEnvironment()) continue;   // needs what its own test run sets up
        // Under Wine the LAN simulator's sockets fail (WSAENOTSOCK) once another simulator was let
        // go in the same process: the LAN rows are checked in their own configuration's run.
        if (c.start == lanstart::StartVxi11 && !LanConfiguration()) {
            printf("lan row skipped here: checked in the lan configuration\n");
            continue;
        }
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(variant.LoadConfiguration(c));
        ASSERT_EQ(variant.sim.SimReset(), 1) << variant.sim.SimLastMessage();
        ASSERT_NE(variant.LoadTavkX(), nullptr) << GetLastError();
        GpibExports gpib;
        ASSERT_TRUE(gpib.Bind(variant.tavkx));
        ASSERT_EQ(gpib.GpibInit(30, 1), 0);
        short status = 99;
        EXPECT_EQ(gpib.GpibSend(22, 5, "*IDN?", GPIB_DELIM_LF, &status), 5);
        char answer[64] = {};
        int32_t n = gpib.GpibRecv(22, sizeof answer, answer, GPIB_DELIM_LF, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(std::string(answer, n > 0 ? n : 0).substr(0, 10), "TAVIK-SIM,");
        variant.Release();
    }
}

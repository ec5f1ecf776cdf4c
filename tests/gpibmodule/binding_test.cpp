// Binding of TavkX.dll at plug-in setup, through SetupVrelDLL of the stand-in host, over the
// driver variants: the three refusals with their messages, a working bench, a second binding.
#include <stdio.h>
#include "extavik/module/gpibboard.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/resources/resource.h"
#include "tests/modules/pluginbench.h"

namespace {

class BoardBinding : public PluginBench {
protected:
    void SetUp() override {}   // every case opens its own bench
};

std::string Formatted(const char* format, const char* name, int code = 0)
{
    char text[BOARD_MESSAGE_SIZE];
    snprintf(text, sizeof text, format, name, code);
    return text;
}

TEST_F(BoardBinding, RefusedBoardLibraryRegistersNoClass)
{
    struct Case {
        const char* variant;
        bool failInit;
        const char* caption;
        std::string text;
        bool initCalled;
    };
    const Case cases[] = {
        {"no_tavkx_here", false, BOARD_TITLE_MISSING, Formatted(BOARD_TEXT_MISSING, TAVKX_FILE_NAME), false},
        {"create_fails", false, BOARD_TITLE_MISSING, Formatted(BOARD_TEXT_MISSING, TAVKX_FILE_NAME), false},
        {"tavkx_no_chksrq", false, BOARD_TITLE_BROKEN, Formatted(BOARD_TEXT_BROKEN, TAVKX_FILE_NAME), false},
        {"tavkx_no_spolln_uconfigall", false, BOARD_TITLE_BROKEN, Formatted(BOARD_TEXT_BROKEN, TAVKX_FILE_NAME), false},
        {"default", true, BOARD_TITLE_INIT, BOARD_TEXT_INIT, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        // A dir without drivers: the driver comes from the default dir, TavkX from nowhere.
        const bool noTavkX = strcmp(c.variant, "no_tavkx_here") == 0;
        OpenBench(noTavkX ? "default" : c.variant, [&] {
            if (noTavkX)
                SetDllDirectoryA(VariantDir(c.variant).c_str());
            if (c.failInit)
                sim.SimScriptCall("TavkInit", 1, 0, 0, 1);
            sim.SimClearCalls();
        });
        EXPECT_EQ(setupResult, 1);
        ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].caption, c.caption);
        EXPECT_EQ(standin::Warnings()[0].text, c.text) << standin::WarningsAsUtf8();
        EXPECT_TRUE(standin::ModuleClasses().empty());
        EXPECT_EQ(sim.SimCountCalls("TavkInit") > 0, c.initCalled);
        CloseBench();
    }
}

// Over the NI-backed driver: a board that does not open (no such board, or a name that is none)
// keeps TavkX from loading, and the user sees the board message.
TEST_F(BoardBinding, NiBoardThatDoesNotOpenShowsTheBoardMessage)
{
    for (const char* board : {"GPIB3", "COM1"}) {
        SCOPED_TRACE(board);
        SetEnvironmentVariableA("TAVK_NI_BOARD", board);
        testing::internal::CaptureStderr();
        OpenBench("ni4882");
        std::string said = testing::internal::GetCapturedStderr();
        SetEnvironmentVariableA("TAVK_NI_BOARD", nullptr);
        EXPECT_NE(said.find(board), std::string::npos) << said;
        EXPECT_EQ(setupResult, 1);
        ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].caption, std::string(BOARD_TITLE_MISSING));
        EXPECT_EQ(standin::Warnings()[0].text, Formatted(BOARD_TEXT_MISSING, TAVKX_FILE_NAME));
        EXPECT_TRUE(standin::ModuleClasses().empty());
        CloseBench();
    }
}

TEST_F(BoardBinding, WorkingBenchRegistersBothClasses)
{
    OpenBench("default", [&] { sim.SimClearCalls(); });
    EXPECT_EQ(setupResult, 1);
    EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
    SimBoardInfo board;
    ASSERT_EQ(sim.SimGetBoard(&board), 1);
    EXPECT_EQ(board.address, 30);
    EXPECT_EQ(sim.SimCountCalls("TavkInit"), 1u);
    EXPECT_EQ(sim.SimCountCalls("TavkIfc"), 1u) << "mode 1 clears the interface after the init";

    struct Expected {
        const char* className;
        int commandId;
        const char* displayName;
        const char* longName;
    };
    const Expected classes[] = {
        {CLASS_IN, IDM_GPIB_IN, "GPIB-IN", "Tavik Input"},
        {CLASS_OUT, IDM_GPIB_OUT, "GPIB-OUT", "Tavik Output"},
    };
    ASSERT_EQ(standin::ModuleClasses().size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        const Expected& e = classes[i];
        SCOPED_TRACE(e.className);
        const standin::ModuleClass& c = standin::ModuleClasses()[i];
        EXPECT_EQ(c.className, e.className);
        EXPECT_EQ(c.record.paramsSize, (int32_t)sizeof(GpibModuleParams));
        EXPECT_EQ(c.record.runtimeSize, (int32_t)sizeof(GpibModuleRuntime));
        EXPECT_EQ(c.record.channelStateSize, (int32_t)sizeof(GpibChannelRuntime));
        EXPECT_EQ(c.record.commandId, e.commandId);
        EXPECT_EQ(c.displayName, e.displayName);
        EXPECT_EQ(c.longName, e.longName);
        EXPECT_EQ(c.record.instance, (void*)standin::PluginModule());
        EXPECT_NE(c.record.moduleProc, nullptr);
        EXPECT_NE(c.record.processProc, nullptr);
    }
}

// A second setup binds again: the first TavkX goes (its detach closes the board) and the
// shared settings return to their defaults, whatever a module had published.
TEST_F(BoardBinding, SecondBindingReleasesFirstAndResetsSettings)
{
    OpenBench("default");
    ASSERT_EQ(setupResult, 1);
    ModuleRecord* first = CreateIn(7);
    GpibModuleParams* p = standin::Params(first);
    p->busTimeout = 33;
    p->requestMode[3] = REQUEST_SPOLL;
    p->ppollLine[3] = 6;
    p->ppollSense[3] = PPOLL_SENSE_0;
    EXPECT_EQ(standin::SendToModule(first, MM_PRESTART), 1);
    EXPECT_EQ(CreateIn(7) ? standin::Params(standin::Modules().back())->busTimeout : -1, 33);

    sim.SimClearCalls();
    EXPECT_EQ(standin::SetupPlugin(), 1);
    EXPECT_EQ(sim.SimCountCalls("TavkClose"), 1u);
    EXPECT_EQ(sim.SimCountCalls("TavkCreate"), 1u);
    EXPECT_EQ(sim.SimCountCalls("TavkInit"), 1u);

    ModuleRecord* fresh = CreateIn(7);
    ASSERT_NE(fresh, nullptr);
    const GpibModuleParams* q = standin::Params(fresh);
    EXPECT_EQ(q->busTimeout, 4);
    EXPECT_EQ(q->requestMode[3], REQUEST_NORMAL);
    EXPECT_EQ(q->ppollLine[3], 0);
    EXPECT_EQ(q->ppollSense[3], PPOLL_SENSE_1);
}

}  // namespace

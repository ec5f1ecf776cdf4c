// The settings, receive, poll and own-address dialogs and the channel bar, driven as a user
// would through the module procedures' messages 101 and 103.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>

#include "extavik/dlgtexts.h"
#include "extavik/resources/resource.h"
#include "tests/dialogs/dialoghost.h"

using namespace dialoghost;

namespace {

Host* host;

class Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        host = new Host();
        loaded_ = host->Load();
    }
    void TearDown() override { delete host; }
    bool loaded_ = false;
};
Environment* environment = static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(environment->loaded_) << "EXTAVIK.dll did not load and set up";
        ASSERT_TRUE(host->HasClasses()) << "the module classes were not registered (board library?)";
        host->ClearRecords();
        host->SetRunning(0);
        host->SetSamplePeriodMs(1.0);
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, host->PendingSteps()) << "a dialog that was expected did not open";
        EXPECT_TRUE(host->unexpectedDialogs.empty()) << "unexpected dialog " << host->unexpectedDialogs[0];
        EXPECT_TRUE(host->titleMismatches.empty()) << "dialog with another title " << host->titleMismatches[0];
        EXPECT_EQ(0, host->liveBlocks) << "working copies left on the host heap";
    }

    // A module created with the own address typed into "SELECT".
    Module* Create(bool output, int address, int channels = 1)
    {
        host->Expect("GP-IBモジュール選択", [address](HWND d) {
            Type(d, IDC_MY_ADDRESS, std::to_string(address));
            Command(d, IDC_OK);
        });
        Module* m = host->NewModule(output);
        EXPECT_EQ(1, host->Send(m, MM_CREATE));
        if (output) m->params.outChannelCount = channels;
        else m->record.outputCount = channels;
        host->ClearRecords();
        return m;
    }

    void Settings(Module* m, std::function<void(HWND)> act)
    {
        host->Expect(m->output ? "GP-IB 出力" : "GP-IB 入力", act);
        EXPECT_EQ(1, host->Send(m, MM_SETTINGS));
    }

    static bool StillOpen(HWND d) { return IsWindow(d) && IsWindowVisible(d); }
    bool Warned(const char* caption, const char* text) const
    {
        for (const Warning& w : host->warnings)
            if (w.caption == caption && w.text == text) return true;
        return false;
    }
};

// ---- "SELECT" ----

TEST_F(Dialogs, SelectProposes30AndRefuses31UnderItsTitle)
{
    std::string proposed;
    bool openAfter31 = false;
    host->Expect("GP-IBモジュール選択", [&](HWND d) {
        proposed = Text(d, IDC_MY_ADDRESS);
        Type(d, IDC_MY_ADDRESS, "31");
        Command(d, IDC_OK);
        openAfter31 = StillOpen(d);
        Type(d, IDC_MY_ADDRESS, "0");
        Command(d, IDC_OK);
    });
    Module* m = host->NewModule(false);
    m->params.myAddress = 12;
    EXPECT_EQ(1, host->Send(m, MM_CREATE));
    EXPECT_EQ("30", proposed);
    EXPECT_TRUE(openAfter31);
    ASSERT_EQ(1u, host->warnings.size());
    EXPECT_EQ(WARN_TITLE_PPOLL, host->warnings[0].caption);
    EXPECT_EQ(WARN_MY_ADDRESS, host->warnings[0].text);
    EXPECT_EQ(0, m->params.myAddress);
}

TEST_F(Dialogs, SelectCancelRefusesTheModule)
{
    host->Expect("GP-IBモジュール選択", [](HWND d) { Command(d, IDC_CANCEL); });
    Module* m = host->NewModule(true);
    EXPECT_EQ(0, host->Send(m, MM_CREATE));
}

// ---- main settings dialogs: field checks ----

struct MainFieldCase {
    int id;
    const char* typed;
    const char* warning;   // null: OK closes the dialog
};

const MainFieldCase MAIN_FIELD_CASES[] = {
    {IDC_PRIMARY, "32", WARN_PRIMARY_ADDRESS},
    {IDC_PRIMARY, "-1", WARN_PRIMARY_ADDRESS},
    {IDC_PRIMARY, "31", nullptr},
    {IDC_SECONDARY, "ab", nullptr},
    {IDC_TIMEOUT, "", nullptr},
    {IDC_TIMEOUT, "61", WARN_TIMEOUT},
    {IDC_TIMEOUT, " 60 ", nullptr},
};

TEST_F(Dialogs, MainFieldChecksWarnAndKeepTheDialogOpen)
{
    for (bool output : {false, true}) {
        for (const MainFieldCase& c : MAIN_FIELD_CASES) {
            SCOPED_TRACE(std::string(output ? "GPIB-OUT " : "GPIB-IN ") + c.typed);
            Module* m = Create(output, 20);
            bool open = false;
            Settings(m, [&](HWND d) {
                Type(d, c.id, c.typed);
                Command(d, IDC_OK);
                open = StillOpen(d);
                if (open) Command(d, IDC_CANCEL);
            });
            EXPECT_EQ(c.warning != nullptr, open);
            if (c.warning) {
                ASSERT_EQ(1u, host->warnings.size());
                EXPECT_EQ(WARN_TITLE_GPIB, host->warnings[0].caption);
                EXPECT_EQ(c.warning, host->warnings[0].text);
            } else {
                EXPECT_TRUE(host->warnings.empty());
            }
            host->ClearRecords();
        }
    }
}

TEST_F(Dialogs, StoredValuesAfterOk)
{
    Module* m = Create(false, 21);
    std::string script(800, 'A');
    Settings(m, [&](HWND d) {
        Type(d, IDC_SECONDARY, "ab");
        Type(d, IDC_TIMEOUT, "");
        Type(d, IDC_IN_COMMAND, script);
        Type(d, IDC_CHANNEL_NAME, "12345678901234567890");
        Type(d, IDC_MODULE_NAME, "Meter");
        Type(d, IDC_MODULE_COMMENT, "bench");
        Command(d, IDC_OK);
    });
    EXPECT_EQ(0, m->params.addr[0].secondaryAddress);
    EXPECT_EQ(0, m->params.busTimeout);
    EXPECT_EQ(std::string(799, 'A'), m->params.commandText[0]);
    EXPECT_STREQ("1234567890123456789", m->params.channelName[0]);
    EXPECT_STREQ("Meter", m->record.moduleName);
    EXPECT_STREQ("bench", m->record.moduleComment);
    ASSERT_EQ(1u, host->resizes.size());
    EXPECT_EQ(0, host->resizes[0].inputs);
    EXPECT_EQ(1, host->resizes[0].outputs);
}

TEST_F(Dialogs, CancelDropsTheCopyButTheSharedRowKeepsTheTimeout)
{
    Module* m = Create(false, 22, 2);
    GpibModuleParams before = m->params;
    Settings(m, [](HWND d) {
        Type(d, IDC_TIMEOUT, "9");
        Type(d, IDC_CHANNEL_NAME, "renamed");
        PressChannel(d, 1);   // read back of channel 0 publishes the time-out
        Command(d, IDC_CANCEL);
    });
    EXPECT_EQ(0, memcmp(&before, &m->params, sizeof before));
    EXPECT_TRUE(host->resizes.empty());

    std::string shown;
    Settings(m, [&](HWND d) {
        shown = Text(d, IDC_TIMEOUT);
        Command(d, IDC_CANCEL);
    });
    EXPECT_EQ("9", shown);
    // Another module on the same own address starts with it too.
    Module* other = Create(true, 22);
    EXPECT_EQ(9, other->params.busTimeout);
}

// ---- channel bar ----

TEST_F(Dialogs, ChannelBarAtOneAndSixteenChannels)
{
    Module* m = Create(false, 23);
    Settings(m, [](HWND d) {
        EXPECT_EQ(1, State(d, IDC_CH_FIRST));
        for (int slot = 1; slot < 16; ++slot) EXPECT_EQ(3, State(d, IDC_CH_FIRST + slot)) << slot;
        EXPECT_EQ(0, State(d, IDC_CH_REMOVE));
        EXPECT_EQ(4, State(d, IDC_CH_ADD));

        PressLessMore(d, IDC_CH_REMOVE, false);   // disabled: nothing happens
        EXPECT_EQ(3, State(d, IDC_CH_FIRST + 1));
        EXPECT_EQ(nullptr, GetCapture());

        PressLessMore(d, IDC_CH_ADD, true);       // released outside: still adds
        EXPECT_EQ(2, State(d, IDC_CH_FIRST + 1));
        EXPECT_EQ(1, State(d, IDC_CH_REMOVE));
        EXPECT_EQ(nullptr, GetCapture());
        for (int n = 3; n <= 16; ++n) PressLessMore(d, IDC_CH_ADD, false);
        EXPECT_EQ(2, State(d, IDC_CH_FIRST + 15));
        EXPECT_EQ(3, State(d, IDC_CH_ADD));
        PressLessMore(d, IDC_CH_ADD, false);
        PressLessMore(d, IDC_CH_REMOVE, false);
        EXPECT_EQ(4, State(d, IDC_CH_ADD));
        EXPECT_EQ(3, State(d, IDC_CH_FIRST + 15));
        EXPECT_EQ(1, State(d, IDC_CH_FIRST));     // the current channel did not change
        Command(d, IDC_OK);
    });
    ASSERT_FALSE(host->resizes.empty());
    EXPECT_EQ(15, host->resizes.back().outputs);
}

TEST_F(Dialogs, RemovingTheCurrentLastChannelMakesThePreviousOneCurrent)
{
    Module* m = Create(true, 24, 3);
    Settings(m, [](HWND d) {
        PressChannel(d, 3);   // absent slot: no change
        EXPECT_EQ("0", Text(d, IDC_CURRENT_CHANNEL));
        PressChannel(d, 2);
        EXPECT_EQ("2", Text(d, IDC_CURRENT_CHANNEL));
        EXPECT_EQ(2, State(d, IDC_CH_FIRST));
        EXPECT_EQ(1, State(d, IDC_CH_FIRST + 2));
        PressChannel(d, 2);   // the current one: no change
        EXPECT_EQ(1, State(d, IDC_CH_FIRST + 2));
        PressLessMore(d, IDC_CH_REMOVE, false);
        EXPECT_EQ("1", Text(d, IDC_CURRENT_CHANNEL));
        EXPECT_EQ(1, State(d, IDC_CH_FIRST + 1));
        EXPECT_EQ(3, State(d, IDC_CH_FIRST + 2));
        Command(d, IDC_OK);
    });
    EXPECT_EQ(2, m->params.outChannelCount);
}

TEST_F(Dialogs, RunningExperimentDisablesEditingButNotChannelSwitching)
{
    for (bool output : {false, true}) {
        Module* m = Create(output, 25, 2);
        host->SetRunning(1);
        const int command = output ? IDC_OUT_COMMAND : IDC_IN_COMMAND;
        Settings(m, [&](HWND d) {
            for (int id : {command, IDC_TIMEOUT, IDC_PRIMARY, IDC_SECONDARY}) EXPECT_FALSE(Enabled(d, id)) << id;
            for (int id : {IDC_CHANNEL_NAME, IDC_MODULE_NAME, IDC_MODULE_COMMENT}) EXPECT_TRUE(Enabled(d, id)) << id;
            if (output) {
                for (int id : {IDC_OUT_ALWAYS, IDC_OUT_AT_START, IDC_OUT_AT_END}) EXPECT_FALSE(Enabled(d, id)) << id;
            }
            EXPECT_EQ(0, State(d, IDC_CH_REMOVE));
            EXPECT_EQ(3, State(d, IDC_CH_ADD));
            PressLessMore(d, IDC_CH_ADD, false);
            EXPECT_EQ(3, State(d, IDC_CH_FIRST + 2));
            PressChannel(d, 1);
            EXPECT_EQ("1", Text(d, IDC_CURRENT_CHANNEL));
            Command(d, IDC_OK);
        });
        host->SetRunning(0);
        host->ClearRecords();
    }
}

// ---- copy messages ----

TEST_F(Dialogs, CopyNameToAllNeedsTheNameFieldToHaveHadTheFocus)
{
    Module* m = Create(false, 26, 3);
    Settings(m, [](HWND d) {
        Type(d, IDC_CHANNEL_NAME, "probe");
        Focus(d, IDC_IN_COMMAND);
        SendMessageA(d, DLG_COPYNAMETOALL, 0, 0);
        PressChannel(d, 1);
        EXPECT_NE("probe", Text(d, IDC_CHANNEL_NAME));
        Focus(d, IDC_CHANNEL_NAME);
        Type(d, IDC_CHANNEL_NAME, "meter");
        SendMessageA(d, DLG_COPYNAMETOALL, 0, 0);
        Command(d, IDC_OK);
    });
    EXPECT_STREQ("meter", m->params.channelName[0]);   // copied from channel 1 to the others
    EXPECT_STREQ("meter", m->params.channelName[1]);
    EXPECT_STREQ("meter", m->params.channelName[2]);
    EXPECT_STRNE("meter", m->params.channelName[3]);   // beyond the channel count
}

TEST_F(Dialogs, CopyChannelToAllCopiesNameScriptAndRequestMode)
{
    Module* m = Create(false, 27, 2);
    Settings(m, [](HWND d) {
        Type(d, IDC_CHANNEL_NAME, "dmm");
        Type(d, IDC_IN_COMMAND, "SEND \"MEAS?\"\r\nREAD\r\n");
        SendMessageA(d, DLG_COPYCHANNELTOALL, 0, 0);
        Command(d, IDC_OK);
    });
    EXPECT_STREQ("dmm", m->params.channelName[1]);
    EXPECT_STREQ("SEND \"MEAS?\"\r\nREAD\r\n", m->params.commandText[1]);
    EXPECT_STRNE("dmm", m->params.channelName[2]);
}

// ---- GPIB-OUT input box ----

TEST_F(Dialogs, InputBoxResizesAtOnceAndCancelUndoesIt)
{
    Module* m = Create(true, 28, 2);
    Settings(m, [](HWND d) {
        Command(d, IDC_OUT_HAS_INPUTS);
        EXPECT_FALSE(Enabled(d, IDC_OUT_COMMAND));
        ASSERT_EQ(1u, host->resizes.size());
        EXPECT_EQ(2, host->resizes[0].inputs);
        Command(d, IDC_CANCEL);
    });
    ASSERT_EQ(2u, host->resizes.size());
    EXPECT_EQ(0, host->resizes[1].inputs);   // the stored block has no inputs
    EXPECT_EQ(0, m->params.outHasInputs);

    host->ClearRecords();
    Settings(m, [](HWND d) {
        Click(d, IDC_OUT_AT_END);
        Command(d, IDC_OUT_HAS_INPUTS);
        Command(d, IDC_OK);
    });
    EXPECT_EQ(1, m->params.outHasInputs);
    EXPECT_EQ(OUT_MODE_AT_END, m->params.outMode);
    EXPECT_EQ(2, m->record.inputCount);
}

// ---- "RECV" over GPIB-IN ----

struct RecvCase {
    int id;
    const char* typed;
    const char* warning;   // null: accepted
};

const RecvCase RECV_CASES[] = {
    {IDC_RECV_BUFFER, "100", nullptr},
    {IDC_RECV_BUFFER, "64KB", WARN_BUFFER},
    {IDC_RECV_BUFFER, "2 kbyte", WARN_BUFFER},
    {IDC_RECV_BUFFER, "  512 Kbyte", nullptr},
    {IDC_RECV_INTERVAL, "0.005", WARN_INTERVAL},
    {IDC_RECV_INTERVAL, "0.01", nullptr},
    {IDC_RECV_INTERVAL, "60000.0", nullptr},
    {IDC_RECV_INTERVAL, "0,5", WARN_INTERVAL},
    {IDC_RECV_INTERVAL, "", WARN_INTERVAL},
    {IDC_RECV_MASK, "ff", nullptr},
    {IDC_RECV_MASK, "", nullptr},
    {IDC_RECV_MASK, "G1", WARN_MASK},
    {IDC_RECV_MASK, "0123456789abcdef", nullptr},
    {IDC_RECV_BLOCKLEN, "0", WARN_BLOCK_LENGTH},
    {IDC_RECV_HEADER, "65536", WARN_HEADER_SIZE},
    {IDC_RECV_INV_HEAD, "65536", WARN_INVALID_HEAD},
    {IDC_RECV_INV_TAIL, "x", WARN_INVALID_TAIL},
};

TEST_F(Dialogs, RecvFieldChecks)
{
    for (const RecvCase& c : RECV_CASES) {
        SCOPED_TRACE(c.typed);
        Module* m = Create(false, 29);
        bool open = false;
        host->Expect("", [&](HWND d) { Command(d, IDC_RECV_SETTINGS); Command(d, IDC_OK); });
        host->Expect("受信設定", [&](HWND d) {
            SetDlgItemTextA(d, c.id, c.typed);
            Command(d, IDC_OK);
            open = StillOpen(d);
            if (open) Command(d, IDC_CANCEL);
        });
        EXPECT_EQ(1, host->Send(m, MM_SETTINGS));
        EXPECT_EQ(c.warning != nullptr, open);
        if (c.warning) {
            ASSERT_EQ(1u, host->warnings.size());
            EXPECT_EQ(WARN_TITLE_RECV, host->warnings[0].caption);
            EXPECT_EQ(c.warning, host->warnings[0].text);
        } else {
            EXPECT_TRUE(host->warnings.empty());
        }
        host->ClearRecords();
        if (c.warning) continue;
        if (c.id == IDC_RECV_BUFFER) {
            EXPECT_EQ(strtoul(c.typed, nullptr, 10), m->params.recvBufferKB[0]);
        } else if (c.id == IDC_RECV_INTERVAL) {
            EXPECT_DOUBLE_EQ(atof(c.typed), m->params.requestInterval[0]);
        } else if (c.id == IDC_RECV_MASK) {
            EXPECT_EQ(std::string(c.typed).substr(0, 15), m->params.maskText[0]);
        }
    }
}

TEST_F(Dialogs, RecvShowsTheChannelAndAdvisesOnFastIntervals)
{
    host->SetSamplePeriodMs(100.0);
    struct { const char* typed; bool advice; } cases[] = {{"0.05", true}, {"0.1", false}};
    for (auto& c : cases) {
        Module* m = Create(false, 19);
        std::string buffer, interval;
        host->Expect("", [&](HWND d) { Command(d, IDC_RECV_SETTINGS); Command(d, IDC_OK); });
        host->Expect("受信設定", [&](HWND d) {
            buffer = Text(d, IDC_RECV_BUFFER);
            interval = Text(d, IDC_RECV_INTERVAL);
            Type(d, IDC_RECV_INTERVAL, c.typed);
            Command(d, IDC_OK);
        });
        EXPECT_EQ(1, host->Send(m, MM_SETTINGS));
        EXPECT_EQ("    8 KByte", buffer);
        EXPECT_EQ("1.000", interval);
        EXPECT_DOUBLE_EQ(atof(c.typed), m->params.requestInterval[0]);
        EXPECT_EQ(c.advice, Warned(WARN_TITLE_RECV, WARN_INTERVAL_FAST)) << c.typed;
        host->ClearRecords();
    }
}

TEST_F(Dialogs, RecvCancelKeepsClicksOutAndOkResizesBeforeTheMainDialog)
{
    Module* m = Create(false, 18);
    host->Expect("", [&](HWND d) {
        Command(d, IDC_RECV_SETTINGS);
        PressLessMore(d, IDC_CH_ADD, false);
        Command(d, IDC_RECV_SETTINGS);
        Command(d, IDC_CANCEL);
    });
    host->Expect("受信設定", [](HWND d) {
        Click(d, IDC_DATA_INT16);
        Click(d, IDC_TERM_EOI);
        Click(d, IDC_RECV_STOP_TIMEOUT);
        Command(d, IDC_CANCEL);
    });
    host->Expect("受信設定", [](HWND d) { Command(d, IDC_OK); });
    EXPECT_EQ(1, host->Send(m, MM_SETTINGS));
    EXPECT_EQ(DATA_ASCII, m->params.dataType[0]);
    EXPECT_EQ(TERM_CRLF, m->params.terminator[0]);
    ASSERT_EQ(1u, host->resizes.size());   // from the sub-dialog's OK, though the main one was cancelled
    EXPECT_EQ(2, host->resizes[0].outputs);
}

// ---- the buttons' pictures ----

TEST_F(Dialogs, ButtonsPaintTheirStatesPictureAndNothingPastTheArray)
{
    Module* m = Create(false, 17);
    Settings(m, [](HWND d) {
        HWND first = GetDlgItem(d, IDC_CH_FIRST);
        RECT r;
        GetClientRect(first, &r);
        EXPECT_EQ(22, r.right);
        EXPECT_EQ(30, r.bottom);
        EXPECT_EQ(CHANNEL_COLOURS[1], PixelOf(first, 10, 10));
        EXPECT_EQ(CHANNEL_COLOURS[3], PixelOf(GetDlgItem(d, IDC_CH_FIRST + 4), 10, 10));
        EXPECT_EQ(LESSMORE_COLOURS[0], PixelOf(GetDlgItem(d, IDC_CH_REMOVE), 10, 10));
        EXPECT_EQ(LESSMORE_COLOURS[4], PixelOf(GetDlgItem(d, IDC_CH_ADD), 10, 10));

        SendMessageA(first, CTL_SETSTATE, 0xFFFF, 0);
        EXPECT_EQ(RGB(64, 64, 64), PixelOf(first, 10, 10));   // background, no picture
        SendMessageA(first, CTL_SETSTATE, 2, 0);
        InvalidateRect(first, nullptr, FALSE);
        SendMessageA(first, WM_PAINT, 0x7FFFFFFF, 0);          // wParam is no index
        EXPECT_EQ(CHANNEL_COLOURS[2], PixelOf(first, 10, 10));
        HWND add = GetDlgItem(d, IDC_CH_ADD);
        SendMessageA(add, CTL_SETSTATE, 6, 0);
        EXPECT_EQ(RGB(64, 64, 64), PixelOf(add, 10, 10));
        PressLessMore(d, IDC_CH_ADD, false);                   // an unknown state is inert
        EXPECT_EQ(nullptr, GetCapture());
        EXPECT_EQ(3, State(d, IDC_CH_FIRST + 1));
        Command(d, IDC_CANCEL);
    });
}

}  // namespace

// ---- pictures for the documentation ----

namespace {

// Captures the dialog's screen rectangle into dir/name.png with imagemagick's import.
void LetWineRun(DWORD ms)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

DWORD RunImport(std::string command)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;   // not meaningful for a Unix program started by Wine
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

// Captures the dialog's screen rectangle into dir/name.png with imagemagick's import. Wine hands
// painted pixels to the X server from its message loop: paint, then let it run (screenshot mode only).
void Capture(HWND d, const std::string& dir, const char* name)
{
    RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    LetWineRun(1000);
    RECT r;
    GetWindowRect(d, &r);
    std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                           std::to_string(r.left) + "+" + std::to_string(r.top);
    RunImport("/usr/bin/import -window root -crop " + geometry + " +repage " + dir + "/" + name + ".png");
}

}  // namespace

// Run with EXTAVIK_SHOTS=<unix dir> to write one picture of each dialog.
TEST_F(Dialogs, Screenshots)
{
    const char* dir = getenv("EXTAVIK_SHOTS");
    if (!dir) GTEST_SKIP() << "EXTAVIK_SHOTS not set";
    std::string out = dir;
    host->Expect("GP-IBモジュール選択", [&](HWND d) {
        Capture(d, out, "select");
        Type(d, IDC_MY_ADDRESS, "16");
        Command(d, IDC_OK);
    });
    Module* in = host->NewModule(false);
    ASSERT_EQ(1, host->Send(in, MM_CREATE));
    in->record.outputCount = 3;
    host->Expect("GP-IB 入力", [&](HWND d) {
        PressChannel(d, 1);
        Capture(d, out, "gpib-in");
        Command(d, IDC_RECV_SETTINGS);
        // The poll dialogs open over the same dialog when their buttons are shown.
        SendMessageA(d, WM_COMMAND, IDC_SPOLL_SETTINGS, 0);
        SendMessageA(d, WM_COMMAND, IDC_PPOLL_SETTINGS, 0);
        Command(d, IDC_CANCEL);
    });
    for (const char* name : {"recv", "spoll", "ppoll"}) {
        std::string file = name;
        host->Expect("", [out, file](HWND d) {
            Capture(d, out, file.c_str());
            Command(d, IDC_CANCEL);
        });
    }
    EXPECT_EQ(1, host->Send(in, MM_SETTINGS));

    Module* o = Create(true, 16, 4);
    host->Expect("GP-IB 出力", [&](HWND d) {
        Click(d, IDC_OUT_AT_START);
        Capture(d, out, "gpib-out");
        Command(d, IDC_CANCEL);
    });
    EXPECT_EQ(1, host->Send(o, MM_SETTINGS));
}

// The settings, receive, poll and own-address dialogs and the channel bar, driven as a user
// would through the module procedures' messages 101 and 103 in the stand-in host.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>

#include "extavik/texts/dlgtexts.h"
#include "extavik/ui/resources/resource.h"
#include "tests/dialogs/dialogtest.h"

namespace {

using dd::Click;
using dd::Command;
using dd::Focus;
using dd::Nested;
using dd::Press;
using dd::PressReleaseOutside;
using dd::ReadText;
using dd::SetText;

class Dialogs : public DialogTest {};

const std::vector<standin::WarningRecord>& Warnings() { return standin::Warnings(); }
const std::vector<standin::SizeChangeRecord>& Resizes() { return standin::SizeChanges(); }

// ---- "SELECT" ----

TEST_F(Dialogs, SelectProposes30AndRefuses31UnderItsTitle)
{
    std::string proposed;
    bool openAfter31 = false;
    dd::Queue(dd::SELECT_TITLE, {ReadText(IDC_MY_ADDRESS, &proposed), SetText(IDC_MY_ADDRESS, "31"),
                                 Command(IDC_OK), StillOpen(&openAfter31), SetText(IDC_MY_ADDRESS, "0"),
                                 Command(IDC_OK)});
    ModuleRecord* m = standin::AddModule(CLASS_IN);
    standin::Params(m)->myAddress = 12;
    EXPECT_EQ(1, standin::SendToModule(m, MM_CREATE));
    EXPECT_EQ("30", proposed);
    EXPECT_TRUE(openAfter31);
    ASSERT_EQ(1u, Warnings().size());
    EXPECT_EQ(WARN_TITLE_PPOLL, Warnings()[0].caption);
    EXPECT_EQ(WARN_MY_ADDRESS, Warnings()[0].text);
    EXPECT_EQ(0, standin::Params(m)->myAddress);
}

TEST_F(Dialogs, SelectCancelRefusesTheModule)
{
    dd::CancelSelect();
    ModuleRecord* m = standin::AddModule(CLASS_OUT);
    EXPECT_EQ(0, standin::SendToModule(m, MM_CREATE));
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
            ModuleRecord* m = Create(output, 20);
            bool open = false;
            Settings(m, {SetText(c.id, c.typed), Command(IDC_OK), StillOpen(&open), dd::Call([&](HWND d) {
                             if (open) SendMessageA(d, WM_COMMAND, IDC_CANCEL, 0);
                         })});
            EXPECT_EQ(c.warning != nullptr, open);
            if (c.warning) {
                ASSERT_EQ(1u, Warnings().size());
                EXPECT_EQ(WARN_TITLE_GPIB, Warnings()[0].caption);
                EXPECT_EQ(c.warning, Warnings()[0].text);
            } else {
                EXPECT_TRUE(Warnings().empty()) << standin::WarningsAsUtf8();
            }
            standin::ClearRecords();
        }
    }
}

TEST_F(Dialogs, StoredValuesAfterOk)
{
    ModuleRecord* m = Create(false, 21);
    std::string script(800, 'A');
    Settings(m, {SetText(IDC_SECONDARY, "ab"), SetText(IDC_TIMEOUT, ""), SetText(IDC_IN_COMMAND, script),
                 SetText(IDC_CHANNEL_NAME, "12345678901234567890"), SetText(IDC_MODULE_NAME, "Meter"),
                 SetText(IDC_MODULE_COMMENT, "bench"), Command(IDC_OK)});
    const GpibModuleParams* p = standin::Params(m);
    EXPECT_EQ(0, p->addr[0].secondaryAddress);
    EXPECT_EQ(0, p->busTimeout);
    EXPECT_EQ(std::string(799, 'A'), p->commandText[0]);
    EXPECT_STREQ("1234567890123456789", p->channelName[0]);
    EXPECT_STREQ("Meter", m->moduleName);
    EXPECT_STREQ("bench", m->moduleComment);
    ASSERT_EQ(1u, Resizes().size());
    EXPECT_EQ(0, Resizes()[0].inputs);
    EXPECT_EQ(1, Resizes()[0].outputs);
}

TEST_F(Dialogs, CancelDropsTheCopyButTheSharedRowKeepsTheTimeout)
{
    ModuleRecord* m = Create(false, 22, 2);
    GpibModuleParams before = *standin::Params(m);
    Settings(m, {SetText(IDC_TIMEOUT, "9"), SetText(IDC_CHANNEL_NAME, "renamed"),
                 Press(IDC_CH_FIRST + 1),   // read back of channel 0 publishes the time-out
                 Command(IDC_CANCEL)});
    EXPECT_EQ(0, memcmp(&before, standin::Params(m), sizeof before));
    EXPECT_TRUE(Resizes().empty());

    Settings(m, {checks.Text(IDC_TIMEOUT, "9"), Command(IDC_CANCEL)});
    // Another module on the same own address starts with it too.
    ModuleRecord* other = Create(true, 22);
    EXPECT_EQ(9, standin::Params(other)->busTimeout);
}

// ---- channel bar ----

TEST_F(Dialogs, ChannelBarAtOneAndSixteenChannels)
{
    ModuleRecord* m = Create(false, 23);
    std::vector<dd::Action> steps = {checks.State(IDC_CH_FIRST, 1)};
    for (int slot = 1; slot < 16; ++slot) steps.push_back(checks.State(IDC_CH_FIRST + slot, 3));
    steps.insert(steps.end(), {
        checks.State(IDC_CH_REMOVE, 0), checks.State(IDC_CH_ADD, 4),
        Press(IDC_CH_REMOVE),                    // disabled: nothing happens
        checks.State(IDC_CH_FIRST + 1, 3), checks.NoCapture(),
        PressReleaseOutside(IDC_CH_ADD),         // released outside: still adds
        checks.State(IDC_CH_FIRST + 1, 2), checks.State(IDC_CH_REMOVE, 1), checks.NoCapture(),
    });
    for (int n = 3; n <= 16; ++n) steps.push_back(Press(IDC_CH_ADD));
    steps.insert(steps.end(), {
        checks.State(IDC_CH_FIRST + 15, 2), checks.State(IDC_CH_ADD, 3),
        Press(IDC_CH_ADD), Press(IDC_CH_REMOVE),
        checks.State(IDC_CH_ADD, 4), checks.State(IDC_CH_FIRST + 15, 3),
        checks.State(IDC_CH_FIRST, 1),           // the current channel did not change
        Command(IDC_OK),
    });
    Settings(m, steps);
    ASSERT_FALSE(Resizes().empty());
    EXPECT_EQ(15, Resizes().back().outputs);
}

TEST_F(Dialogs, RemovingTheCurrentLastChannelMakesThePreviousOneCurrent)
{
    ModuleRecord* m = Create(true, 24, 3);
    Settings(m, {
        Press(IDC_CH_FIRST + 3),   // absent slot: no change
        checks.Text(IDC_CURRENT_CHANNEL, "0"),
        Press(IDC_CH_FIRST + 2),
        checks.Text(IDC_CURRENT_CHANNEL, "2"), checks.State(IDC_CH_FIRST, 2), checks.State(IDC_CH_FIRST + 2, 1),
        Press(IDC_CH_FIRST + 2),   // the current one: no change
        checks.State(IDC_CH_FIRST + 2, 1),
        Press(IDC_CH_REMOVE),
        checks.Text(IDC_CURRENT_CHANNEL, "1"), checks.State(IDC_CH_FIRST + 1, 1), checks.State(IDC_CH_FIRST + 2, 3),
        Command(IDC_OK),
    });
    EXPECT_EQ(2, standin::Params(m)->outChannelCount);
}

TEST_F(Dialogs, RunningExperimentDisablesEditingButNotChannelSwitching)
{
    for (bool output : {false, true}) {
        SCOPED_TRACE(output ? "GPIB-OUT" : "GPIB-IN");
        ModuleRecord* m = Create(output, 25, 2);
        standin::SetRunning(1);
        const int command = output ? IDC_OUT_COMMAND : IDC_IN_COMMAND;
        std::vector<dd::Action> steps;
        for (int id : {command, IDC_TIMEOUT, IDC_PRIMARY, IDC_SECONDARY}) steps.push_back(checks.Enabled(id, false));
        for (int id : {IDC_CHANNEL_NAME, IDC_MODULE_NAME, IDC_MODULE_COMMENT}) steps.push_back(checks.Enabled(id, true));
        if (output)
            for (int id : {IDC_OUT_ALWAYS, IDC_OUT_AT_START, IDC_OUT_AT_END}) steps.push_back(checks.Enabled(id, false));
        steps.insert(steps.end(), {
            checks.State(IDC_CH_REMOVE, 0), checks.State(IDC_CH_ADD, 3),
            Press(IDC_CH_ADD), checks.State(IDC_CH_FIRST + 2, 3),
            Press(IDC_CH_FIRST + 1), checks.Text(IDC_CURRENT_CHANNEL, "1"),
            Command(IDC_OK),
        });
        Settings(m, steps);
        standin::SetRunning(0);
        standin::ClearRecords();
    }
}

// ---- radio buttons and check boxes shown as stored ----

TEST_F(Dialogs, ChoicesShowTheStoredValues)
{
    ModuleRecord* out = Create(true, 15);
    Settings(out, {checks.Checked(IDC_OUT_ALWAYS, BST_CHECKED), checks.Checked(IDC_OUT_AT_START, BST_UNCHECKED),
                   Click(IDC_OUT_AT_START), Command(IDC_OK)});
    EXPECT_EQ(OUT_MODE_AT_START, standin::Params(out)->outMode);
    Settings(out, {checks.Checked(IDC_OUT_ALWAYS, BST_UNCHECKED), checks.Checked(IDC_OUT_AT_START, BST_CHECKED),
                   checks.Checked(IDC_OUT_HAS_INPUTS, BST_UNCHECKED), Command(IDC_CANCEL)});

    ModuleRecord* in = Create(false, 15);
    Settings(in, {checks.Checked(IDC_REQ_NORMAL, BST_CHECKED), checks.Enabled(IDC_REQ_SPOLL, false),
                  checks.Enabled(IDC_REQ_PPOLL, false), checks.Enabled(IDC_SPOLL_SETTINGS, false),
                  checks.Enabled(IDC_PPOLL_SETTINGS, false),
                  Nested(IDC_RECV_SETTINGS, TITLE_RECV, {
                      checks.Checked(IDC_DATA_ASCII, BST_CHECKED), checks.Checked(IDC_TERM_CRLF, BST_CHECKED),
                      checks.Checked(IDC_RECV_STOP_TIMEOUT, BST_UNCHECKED),
                      Click(IDC_DATA_FLOAT32), Click(IDC_TERM_LF), Click(IDC_RECV_STOP_TIMEOUT), Command(IDC_OK)}),
                  Nested(IDC_RECV_SETTINGS, TITLE_RECV, {
                      checks.Checked(IDC_DATA_ASCII, BST_UNCHECKED), checks.Checked(IDC_DATA_FLOAT32, BST_CHECKED),
                      checks.Checked(IDC_TERM_LF, BST_CHECKED), checks.Checked(IDC_RECV_STOP_TIMEOUT, BST_CHECKED),
                      Command(IDC_CANCEL)}),
                  Command(IDC_OK)});
    const GpibModuleParams* p = standin::Params(in);
    EXPECT_EQ(DATA_FLOAT32, p->dataType[0]);
    EXPECT_EQ(TERM_LF, p->terminator[0]);
    EXPECT_EQ(1, p->stopOnTimeout[0]);
}

// ---- copy messages ----

TEST_F(Dialogs, CopyNameToAllNeedsTheNameFieldToHaveHadTheFocus)
{
    ModuleRecord* m = Create(false, 26, 3);
    std::string afterSwitch;
    Settings(m, {SetText(IDC_CHANNEL_NAME, "probe"), Focus(IDC_IN_COMMAND), dd::Send(0, DLG_COPYNAMETOALL, 0, 0),
                 Press(IDC_CH_FIRST + 1), ReadText(IDC_CHANNEL_NAME, &afterSwitch), Focus(IDC_CHANNEL_NAME),
                 SetText(IDC_CHANNEL_NAME, "meter"), dd::Send(0, DLG_COPYNAMETOALL, 0, 0), Command(IDC_OK)});
    EXPECT_NE("probe", afterSwitch);
    const GpibModuleParams* p = standin::Params(m);
    EXPECT_STREQ("meter", p->channelName[0]);   // copied from channel 1 to the others
    EXPECT_STREQ("meter", p->channelName[1]);
    EXPECT_STREQ("meter", p->channelName[2]);
    EXPECT_STRNE("meter", p->channelName[3]);   // beyond the channel count
}

TEST_F(Dialogs, CopyChannelToAllCopiesNameScriptAndRequestMode)
{
    ModuleRecord* m = Create(false, 27, 2);
    Settings(m, {SetText(IDC_CHANNEL_NAME, "dmm"), SetText(IDC_IN_COMMAND, "SEND \"MEAS?\"\r\nREAD\r\n"),
                 dd::Send(0, DLG_COPYCHANNELTOALL, 0, 0), Command(IDC_OK)});
    const GpibModuleParams* p = standin::Params(m);
    EXPECT_STREQ("dmm", p->channelName[1]);
    EXPECT_STREQ("SEND \"MEAS?\"\r\nREAD\r\n", p->commandText[1]);
    EXPECT_STRNE("dmm", p->channelName[2]);
}

// ---- GPIB-OUT input box ----

TEST_F(Dialogs, InputBoxResizesAtOnceAndCancelUndoesIt)
{
    ModuleRecord* m = Create(true, 28, 2);
    size_t resizesWhileOpen = 0;
    int inputsWhileOpen = -1;
    Settings(m, {Command(IDC_OUT_HAS_INPUTS), checks.Enabled(IDC_OUT_COMMAND, false), dd::Call([&](HWND) {
                     resizesWhileOpen = Resizes().size();
                     if (resizesWhileOpen) inputsWhileOpen = Resizes()[0].inputs;
                 }),
                 Command(IDC_CANCEL)});
    EXPECT_EQ(1u, resizesWhileOpen);
    EXPECT_EQ(2, inputsWhileOpen);
    ASSERT_EQ(2u, Resizes().size());
    EXPECT_EQ(0, Resizes()[1].inputs);   // the stored block has no inputs
    EXPECT_EQ(0, standin::Params(m)->outHasInputs);

    standin::ClearRecords();
    Settings(m, {Click(IDC_OUT_AT_END), Command(IDC_OUT_HAS_INPUTS), Command(IDC_OK)});
    EXPECT_EQ(1, standin::Params(m)->outHasInputs);
    EXPECT_EQ(OUT_MODE_AT_END, standin::Params(m)->outMode);
    EXPECT_EQ(2, m->inputCount);
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
        ModuleRecord* m = Create(false, 29);
        bool open = false;
        Settings(m, {Nested(IDC_RECV_SETTINGS, TITLE_RECV, {
                         SetText(c.id, c.typed), Command(IDC_OK), StillOpen(&open),
                         dd::Call([&](HWND d) { if (open) SendMessageA(d, WM_COMMAND, IDC_CANCEL, 0); })}),
                     Command(IDC_OK)});
        EXPECT_EQ(c.warning != nullptr, open);
        if (c.warning) {
            ASSERT_EQ(1u, Warnings().size());
            EXPECT_EQ(WARN_TITLE_RECV, Warnings()[0].caption);
            EXPECT_EQ(c.warning, Warnings()[0].text);
        } else {
            EXPECT_TRUE(Warnings().empty()) << standin::WarningsAsUtf8();
        }
        standin::ClearRecords();
        if (c.warning) continue;
        const GpibModuleParams* p = standin::Params(m);
        if (c.id == IDC_RECV_BUFFER) {
            EXPECT_EQ(strtoul(c.typed, nullptr, 10), p->recvBufferKB[0]);
        } else if (c.id == IDC_RECV_INTERVAL) {
            EXPECT_DOUBLE_EQ(atof(c.typed), p->requestInterval[0]);
        } else if (c.id == IDC_RECV_MASK) {
            EXPECT_EQ(std::string(c.typed).substr(0, 15), p->maskText[0]);
        }
    }
}

TEST_F(Dialogs, RecvShowsTheChannelAndAdvisesOnFastIntervals)
{
    standin::SetSamplePeriodMs(100.0);
    struct { const char* typed; bool advice; } cases[] = {{"0.05", true}, {"0.1", false}};
    const std::vector<std::string> bufferList = {"    4 Kbyte", "    8 Kbyte", "   16 Kbyte", "   32 Kbyte",
                                                 "   64 Kbyte", "  128 Kbyte", "  256 Kbyte", "  512 Kbyte",
                                                 " 1024 Kbyte", " 8192 Kbyte", "16384 Kbyte"};
    const std::vector<std::string> intervalList = {" 0.050", " 0.100", " 0.500", " 1.000", " 2.000",
                                                   " 5.000", "10.000", "30.000", "60.000"};
    for (auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ModuleRecord* m = Create(false, 19);
        std::vector<std::string> buffers, intervals;
        Settings(m, {Nested(IDC_RECV_SETTINGS, TITLE_RECV, {
                         checks.Text(IDC_RECV_BUFFER, "    8 KByte"), checks.Text(IDC_RECV_INTERVAL, "1.000"),
                         dd::ReadItems(IDC_RECV_BUFFER, &buffers), dd::ReadItems(IDC_RECV_INTERVAL, &intervals),
                         SetText(IDC_RECV_INTERVAL, c.typed), Command(IDC_OK)}),
                     Command(IDC_OK)});
        EXPECT_EQ(bufferList, buffers);
        EXPECT_EQ(intervalList, intervals);
        EXPECT_DOUBLE_EQ(atof(c.typed), standin::Params(m)->requestInterval[0]);
        EXPECT_EQ(c.advice, Warned(WARN_TITLE_RECV, WARN_INTERVAL_FAST));
        standin::ClearRecords();
    }
}

TEST_F(Dialogs, RecvCancelKeepsClicksOutAndOkResizesBeforeTheMainDialog)
{
    ModuleRecord* m = Create(false, 18);
    Settings(m, {Nested(IDC_RECV_SETTINGS, TITLE_RECV, {Click(IDC_DATA_INT16), Click(IDC_TERM_EOI),
                                                       Click(IDC_RECV_STOP_TIMEOUT), Command(IDC_CANCEL)}),
                 Press(IDC_CH_ADD),
                 Nested(IDC_RECV_SETTINGS, TITLE_RECV, {Command(IDC_OK)}),
                 Command(IDC_CANCEL)});
    const GpibModuleParams* p = standin::Params(m);
    EXPECT_EQ(DATA_ASCII, p->dataType[0]);
    EXPECT_EQ(TERM_CRLF, p->terminator[0]);
    ASSERT_EQ(1u, Resizes().size());   // from the sub-dialog's OK, though the main one was cancelled
    EXPECT_EQ(2, Resizes()[0].outputs);
}

// ---- "SPOLL" and "PPOLL": opened by their buttons' commands, as when the buttons are shown ----

TEST_F(Dialogs, PollDialogsCheckTheirFieldsAndKeepTheCopyUntilOk)
{
    ModuleRecord* m = Create(false, 14);
    bool spollOpen = false, ppollOpen = false;
    Settings(m, {Nested(IDC_SPOLL_SETTINGS, TITLE_SPOLL, {
                     checks.Text(IDC_SPOLL_READY, "0"), SetText(IDC_SPOLL_READY, "8"), Command(IDC_OK),
                     StillOpen(&spollOpen), SetText(IDC_SPOLL_READY, "6"), SetText(IDC_SPOLL_ERROR, "5"),
                     SetText(IDC_SPOLL_TEXT, "overload"), Click(IDC_SPOLL_STOP), Command(IDC_OK)}),
                 Nested(IDC_PPOLL_SETTINGS, TITLE_PPOLL, {
                     checks.Checked(IDC_PPOLL_SENSE1, BST_CHECKED), SetText(IDC_PPOLL_LINE, "9"), Command(IDC_OK),
                     StillOpen(&ppollOpen), SetText(IDC_PPOLL_LINE, "3"), Click(IDC_PPOLL_SENSE0), Command(IDC_OK)}),
                 Command(IDC_OK)});
    EXPECT_TRUE(spollOpen);
    EXPECT_TRUE(ppollOpen);
    EXPECT_TRUE(Warned(WARN_TITLE_SPOLL, WARN_READY_BIT)) << standin::WarningsAsUtf8();
    EXPECT_TRUE(Warned(WARN_TITLE_PPOLL, WARN_PPOLL_LINE)) << standin::WarningsAsUtf8();
    const GpibModuleParams* p = standin::Params(m);
    EXPECT_EQ(6, p->spollReadyBit[0]);
    EXPECT_EQ(5, p->spollErrorBit[0]);
    EXPECT_EQ(1, p->spollStopOnError[0]);
    EXPECT_STREQ("overload", p->spollErrorText[0]);
    EXPECT_EQ(3, p->ppollLine[0]);
    EXPECT_EQ(PPOLL_SENSE_0, p->ppollSense[0]);
}

// ---- the buttons' pictures ----

TEST_F(Dialogs, ButtonsPaintTheirStatesPictureAndNothingPastTheArray)
{
    ModuleRecord* m = Create(false, 17);
    RECT size = {};
    Settings(m, {
        dd::Call([&](HWND d) { GetClientRect(GetDlgItem(d, IDC_CH_FIRST), &size); }),
        checks.Shows(IDC_CH_FIRST, standin::ChannelBitmap(1)),
        checks.Shows(IDC_CH_FIRST + 4, standin::ChannelBitmap(3)),
        checks.Shows(IDC_CH_REMOVE, standin::LessMoreBitmap(0)),
        checks.Shows(IDC_CH_ADD, standin::LessMoreBitmap(4)),
        dd::Send(IDC_CH_FIRST, CTL_SETSTATE, 0xFFFF, 0),
        checks.ShowsBackground(IDC_CH_FIRST),                 // no picture
        dd::Send(IDC_CH_FIRST, CTL_SETSTATE, 2, 0),
        dd::Call([](HWND d) { InvalidateRect(GetDlgItem(d, IDC_CH_FIRST), nullptr, FALSE); }),
        dd::Send(IDC_CH_FIRST, WM_PAINT, 0x7FFFFFFF, 0),     // wParam is no index
        checks.Shows(IDC_CH_FIRST, standin::ChannelBitmap(2)),
        dd::Send(IDC_CH_ADD, CTL_SETSTATE, 6, 0),
        checks.ShowsBackground(IDC_CH_ADD),
        Press(IDC_CH_ADD),                                   // an unknown state is inert
        checks.NoCapture(),
        checks.State(IDC_CH_FIRST + 1, 3),
        Command(IDC_CANCEL),
    });
    EXPECT_EQ(22, size.right);
    EXPECT_EQ(30, size.bottom);
}

}  // namespace

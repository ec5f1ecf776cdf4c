// Stored settings from elsewhere: parameter blocks of random bytes, and blocks with each field at
// and just beyond its range or with its text unterminated, written into GPIB-IN and GPIB-OUT
// modules. Each module is then configured through its settings dialogs (OK; a refused OK is
// cancelled), started, run on the simulated bench with host actions and stopped. Nothing may be
// written outside a block (the host's guard bytes), the heap must be as before once the modules
// are gone, and every message shown must be one of the plug-in's own, naming what it refuses.
#include <math.h>
#include <limits>
#include <random>
#include <set>
#include "extavik/texts/cmdtexts.h"
#include "extavik/texts/dlgtexts.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/resources/resource.h"
#include "host/labbench.h"
#include "tests/modules/pluginbench.h"

namespace {

namespace dd = dialogdriver;

// ---- the plug-in's own messages ----

// text matches a printf format of the plug-in: %d/%u/%02d take a number, %s anything.
bool MatchesFormat(const char* format, const char* text)
{
    while (*format) {
        if (format[0] != '%') {
            if (*format++ != *text++) return false;
            continue;
        }
        const char* f = format + 1;
        while (*f >= '0' && *f <= '9') f++;
        if (*f == 's') {
            for (const char* rest = text;; rest++) {
                if (MatchesFormat(f + 1, rest)) return true;
                if (!*rest) return false;
            }
        }
        if (*text == '-') text++;
        if (*text < '0' || *text > '9') return false;
        while (*text >= '0' && *text <= '9') text++;
        format = f + 1;
    }
    return *text == 0;
}

const char* const KNOWN_CAPTIONS[] = {
    WARN_TITLE_GPIB, WARN_TITLE_RECV, WARN_TITLE_SPOLL, WARN_TITLE_PPOLL, CMD_TITLE_SENDCMD, CMD_TITLE_SEND,
    CMD_TITLE_SETTIME, CMD_TITLE_IFC, CMD_TITLE_RENON, CMD_TITLE_RENOFF, CMD_TITLE_READ, CMD_TITLE_SPOLL,
    CMD_TITLE_PPOLL, CMD_TITLE_SPOLL_ERROR, CAPTION_IN_SCRIPT, CAPTION_OUT_SCRIPT, BOARD_TITLE_MISSING,
    BOARD_TITLE_BROKEN, BOARD_TITLE_INIT, START_TITLE,
};

// What the settings dialogs say when they refuse a field.
const char* const FIELD_TEXTS[] = {
    WARN_PRIMARY_ADDRESS, WARN_TIMEOUT, WARN_HEADER_SIZE, WARN_BLOCK_LENGTH, WARN_INVALID_HEAD,
    WARN_INVALID_TAIL, WARN_MASK, WARN_BUFFER, WARN_INTERVAL, WARN_INTERVAL_FAST, WARN_READY_BIT,
    WARN_ERROR_BIT, WARN_PPOLL_LINE, WARN_MY_ADDRESS,
};

// What a start or a run says.
const char* const RUN_TEXTS[] = {
    CMD_TEXT_SYNTAX, CMD_TEXT_SENDCMD, CMD_TEXT_READ_NOTHING, CMD_TEXT_RING_OVERFLOW,
    CMD_TEXT_READ_NO_BUFFER, CMD_TEXT_READ_IN_OUTPUT, CMD_TEXT_BUS_INIT, CMD_TEXT_BUS_DEVICE,
    CMD_TEXT_BUS_DRIVER_VERSION, CMD_TEXT_BUS_IRQ, CMD_TEXT_BUS_MODE, CMD_TEXT_BUS_PARAM,
    CMD_TEXT_BUS_TIMEOUT, CMD_TEXT_BUS_NO_LISTENER, CMD_TEXT_BUS_UNKNOWN_COMMAND,
    CMD_TEXT_BUS_ADDRESS_STATUS, START_TEXT_OWN_ADDRESS, START_TEXT_PRIMARY, START_TEXT_BUFFER,
    START_TEXT_INTERVAL,
};

template <size_t N>
bool MatchesOne(const char* const (&formats)[N], const std::string& text)
{
    for (const char* f : formats)
        if (MatchesFormat(f, text.c_str())) return true;
    return false;
}

// The serial poll's error message is the channel's own stored text, cut at its field.
bool IsStoredErrorText(const GpibModuleParams& stored, const std::string& text)
{
    for (const auto& field : stored.spollErrorText)
        if (text == std::string(field, strnlen(field, sizeof field - 1))) return true;
    return false;
}

// ---- hostile blocks ----

struct HostileBlock {
    std::string name;
    GpibModuleParams params;
};

void FillRandom(GpibModuleParams* p, std::mt19937* random)
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(p);
    for (size_t i = 0; i < sizeof *p; i++) bytes[i] = uint8_t((*random)());
}

// One stored field set on every channel (or the module-wide field) to one value.
struct FieldRow {
    const char* name;
    void (*set)(GpibModuleParams* p, double value);
    std::vector<double> values;
};

#define PER_CHANNEL(member, type) \
    [](GpibModuleParams* p, double v) { for (auto& x : p->member) x = type(v); }
#define MODULE_WIDE(member, type) [](GpibModuleParams* p, double v) { p->member = type(v); }

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

const FieldRow FIELD_ROWS[] = {
    {"primaryAddress", [](GpibModuleParams* p, double v) { for (auto& a : p->addr) a.primaryAddress = int16_t(v); },
     {-1, 0, 30, 31, 32, 32767, -32768}},
    {"secondaryAddress", [](GpibModuleParams* p, double v) { for (auto& a : p->addr) a.secondaryAddress = int16_t(v); },
     {-1, 0, 31, 32, 32767}},
    {"requestMode", PER_CHANNEL(requestMode, int32_t), {0, 1015, 1016, 1017, 1018, 1019, -1}},
    {"spollReadyBit", PER_CHANNEL(spollReadyBit, int32_t), {-1, 0, 7, 8, 31, 32, 2147483647.0}},
    {"spollErrorBit", PER_CHANNEL(spollErrorBit, int32_t), {-1, 0, 7, 8, 32, -2147483648.0}},
    {"spollStopOnError", PER_CHANNEL(spollStopOnError, int32_t), {-1, 0, 1, 2}},
    {"ppollLine", PER_CHANNEL(ppollLine, int16_t), {-1, 0, 7, 8, 32767}},
    {"ppollSense", PER_CHANNEL(ppollSense, int16_t), {0, 1021, 1022, 1023, 1024}},
    {"headerSize", PER_CHANNEL(headerSize, uint32_t), {0, 65535, 65536, 4294967295.0}},
    {"recvBlockLength", PER_CHANNEL(recvBlockLength, uint32_t), {0, 1, 8192, 8193, 4294967295.0}},
    {"dataType", PER_CHANNEL(dataType, int32_t), {0, 1035, 1036, 1042, 1043, -1}},
    {"invalidHead", [](GpibModuleParams* p, double v) { for (auto& i : p->invalid) i.invalidHead = uint32_t(v); },
     {0, 65535, 65536, 4294967295.0}},
    {"invalidTail", [](GpibModuleParams* p, double v) { for (auto& i : p->invalid) i.invalidTail = uint32_t(v); },
     {0, 65535, 65536, 4294967295.0}},
    {"terminator", PER_CHANNEL(terminator, int32_t), {0, 1031, 1032, 1035, 1036}},
    {"recvBufferKB", PER_CHANNEL(recvBufferKB, uint32_t), {0, 3, 4, 16384, 16385, 4294967295.0}},
    {"requestInterval", PER_CHANNEL(requestInterval, double), {0.0099, 0.01, 60000, 60000.5, 0, -1, NaN, INF, -INF, 1e300}},
    {"stopOnTimeout", PER_CHANNEL(stopOnTimeout, int32_t), {-1, 0, 1, 2}},
    {"busTimeout", MODULE_WIDE(busTimeout, int32_t), {-1, 0, 60, 61, 2147483647.0}},
    {"initCommandMode", MODULE_WIDE(initCommandMode, int32_t), {-1, 0, 1, 2}},
    {"myAddress", MODULE_WIDE(myAddress, int16_t), {-1, 0, 30, 31, 32767, -32768}},
    {"outHasInputs", MODULE_WIDE(outHasInputs, int32_t), {-1, 0, 1, 2}},
    {"outInputsWhenOff", MODULE_WIDE(outInputsWhenOff, int32_t), {-1, 0, 1, 2}},
    {"outChannelCount", MODULE_WIDE(outChannelCount, int32_t), {-1, 0, 1, 16, 17, 2147483647.0}},
    {"outMode", MODULE_WIDE(outMode, int32_t), {0, 1029, 1030, 1031, 1032, 1049, 1050, 1051}},
};

// Every text field filled to its last byte, without a terminating zero.
const struct TextRow {
    const char* name;
    void (*fill)(GpibModuleParams* p);
} TEXT_ROWS[] = {
    {"channelName", [](GpibModuleParams* p) { memset(p->channelName, 'N', sizeof p->channelName); }},
    {"commandText", [](GpibModuleParams* p) {
         for (auto& text : p->commandText)
             for (size_t i = 0; i < sizeof text; i++) text[i] = "SEND \"*IDN?\"\r\n"[i % 14];
     }},
    {"spollErrorText", [](GpibModuleParams* p) { memset(p->spollErrorText, 'E', sizeof p->spollErrorText); }},
    {"maskText", [](GpibModuleParams* p) { memset(p->maskText, 'F', sizeof p->maskText); }},
    {"maskTextNotHex", [](GpibModuleParams* p) { memset(p->maskText, 'Z', sizeof p->maskText); }},
};

// ---- the bench ----

class Hostile : public PluginBench {
protected:
    std::set<std::pair<std::string, std::string>> seen;   // distinct (caption, text) in UTF-8
    GpibModuleParams defaultIn = {}, defaultOut = {};
    size_t baselineBlocks = 0;
    ModuleRecord* reader = nullptr;   // the modules that get the hostile blocks
    ModuleRecord* writer = nullptr;

    void SetUp() override
    {
        OpenBench("default", [&] { ASSERT_TRUE(labbench::ResetBench(sim, GPIB_CHANNELS)) << sim.SimLastMessage(); });
        ASSERT_EQ(setupResult, 1);
        standin::SetSamplePeriodMs(1.0);
        standin::SetBlockSize(4);
        // What a worksheet stores for modules that work on this bench: the starting point of
        // the single-field cases.
        labbench::Lab lab;
        lab.starter = CreateOut();
        lab.query = CreateOut();
        lab.reader = CreateIn();
        lab.finisher = CreateOut();
        labbench::Configure(lab, sim, GPIB_CHANNELS);
        defaultIn = *standin::Params(lab.reader);
        defaultOut = *standin::Params(lab.query);
        for (int ch = 0; ch < GPIB_CHANNELS; ch++) defaultIn.requestInterval[ch] = 0.01;
        // The at-start module stays: its pass gives every device its first output turn.
        standin::RemoveModule(lab.query);
        standin::RemoveModule(lab.reader);
        standin::RemoveModule(lab.finisher);
        baselineBlocks = standin::LiveBlockCount();
    }
    void TearDown() override
    {
        for (const auto& w : seen) printf("  seen: %s: %s\n", w.first.c_str(), w.second.c_str());
        standin::RemoveAllModules();
        EXPECT_EQ(standin::LiveBlockCount(), 0u) << "left on the heap after removal";
        ExpectCleanHeap("after removal");
        PluginBench::TearDown();
    }

    // OK; when a field check keeps the dialog up, Cancel, and the newest warning names a field.
    std::vector<dd::Action> AcceptOrCancel(const std::string& what)
    {
        return {dd::Command(IDC_OK), dd::Call([what](HWND dialog) {
                    if (!IsWindowVisible(dialog)) return;
                    const auto& w = standin::Warnings();
                    if (w.empty() || !MatchesOne(FIELD_TEXTS, w.back().text))
                        ADD_FAILURE() << what << ": OK refused without a field warning " << standin::WarningsAsUtf8();
                    SendMessageA(dialog, WM_COMMAND, IDC_CANCEL, 0);
                })};
    }

    void Configure(ModuleRecord* m, bool output, const std::string& what)
    {
        std::vector<dd::Action> actions;
        if (!output) {
            for (int id : {IDC_RECV_SETTINGS, IDC_SPOLL_SETTINGS, IDC_PPOLL_SETTINGS})
                actions.push_back(dd::Nested(id, "", AcceptOrCancel(what + " nested " + std::to_string(id))));
        }
        for (const dd::Action& a : AcceptOrCancel(what)) actions.push_back(a);
        dd::Queue("", actions);
        standin::OpenSettings(m);
        EXPECT_EQ(dd::PendingSteps(), 0u) << what;
        EXPECT_TRUE(dd::LeftOpenDialogs().empty()) << what;
        EXPECT_TRUE(dd::UnexpectedDialogs().empty()) << what << ": " << standin::ToUtf8(dd::UnexpectedDialogs()[0]);
        EXPECT_TRUE(dd::MissedDialogs().empty()) << what;
        for (const standin::WarningRecord& w : standin::Warnings())
            EXPECT_TRUE(MatchesOne(FIELD_TEXTS, w.text)) << what << ": dialog said " << standin::ToUtf8(w.caption)
                                                         << ": " << standin::ToUtf8(w.text);
        Collect();
        dd::ClearHistory();
    }

    void Collect()
    {
        for (const standin::WarningRecord& w : standin::Warnings())
            seen.insert({standin::ToUtf8(w.caption), standin::ToUtf8(w.text)});
        standin::ClearRecords();
    }

    void ExpectKnownRunWarnings(const GpibModuleParams& stored, const std::string& what)
    {
        for (const standin::WarningRecord& w : standin::Warnings()) {
            EXPECT_TRUE(MatchesOne(KNOWN_CAPTIONS, w.caption)) << what << ": caption " << standin::ToUtf8(w.caption);
            bool known = w.caption == CMD_TITLE_SPOLL_ERROR ? IsStoredErrorText(stored, w.text) : MatchesOne(RUN_TEXTS, w.text);
            EXPECT_TRUE(known) << what << ": " << standin::ToUtf8(w.caption) << ": " << standin::ToUtf8(w.text)
                               << " (" << w.text.size() << " bytes)";
        }
        for (const standin::InternalErrorRecord& e : standin::InternalErrors())
            ADD_FAILURE() << what << ": internal error " << e.text << " at " << e.source << ":" << e.line;
    }

    void ExpectCleanHeap(const std::string& what)
    {
        EXPECT_EQ(standin::CheckHeap(), 0) << what;
        for (const std::string& e : standin::HeapErrors()) ADD_FAILURE() << what << ": " << e;
        for (const std::string& e : standin::HostErrors()) ADD_FAILURE() << what << ": host: " << e;
        standin::ClearHeapErrors();
        standin::ClearHostErrors();
    }

    // Store the blocks in the two modules, configure them, run a few cycles with host actions,
    // stop. The modules are created once per test, as a worksheet keeps its modules across runs.
    void Exercise(const HostileBlock& in, const HostileBlock& out, bool throughDialogs = true, uint32_t cycles = 6)
    {
        ASSERT_TRUE(labbench::ResetBench(sim, GPIB_CHANNELS));
        if (!reader) reader = CreateIn();
        if (!writer) writer = CreateOut();
        ASSERT_TRUE(reader && writer) << in.name;
        standin::ClearRecords();
        standin::WriteParams(reader, in.params);
        standin::WriteParams(writer, out.params);
        reader->outputCount = GPIB_CHANNELS;
        if (throughDialogs) {
            Configure(reader, false, "GPIB-IN " + in.name);
            Configure(writer, true, "GPIB-OUT " + out.name);
        }
        // The block as the run sees it (the dialogs keep what they did not read).
        GpibModuleParams storedIn = *standin::Params(reader);

        standin::RunOptions run;
        run.cycles = cycles;
        run.messages = {
            {1, reader, MM_ACTION_ARM, 0x0003, ACTION_KIND_RECV_COMMAND},
            {2, reader, MM_ACTION_RUN, 0xFFFF, ACTION_KIND_RECV_COMMAND},
            {3, writer, MM_ACTION_RUN, 0xFFFF, ACTION_KIND_REQUEST_COMMAND},
            {4, nullptr, MM_ACTION_RESET, 0, 0},
        };
        standin::RunResult result = standin::RunExperiment(run);
        // A refused start leaves what the modules before took until the stop that ends the
        // experiment the host began.
        if (!result.started)
            for (ModuleRecord* m : standin::Modules()) standin::SendToModule(m, MM_STOP);
        // The host may send its action messages and the bus-settings message at any time.
        MessagesWhileStopped(reader, ACTION_KIND_RECV_COMMAND);
        MessagesWhileStopped(writer, ACTION_KIND_REQUEST_COMMAND);
        ExpectKnownRunWarnings(storedIn, in.name);
        EXPECT_EQ(standin::LiveBlockCount(), baselineBlocks) << in.name << ": left on the heap after stop";
        ExpectCleanHeap(in.name);
        Collect();
        standin::ClearReleasedBlocks();
    }

    static void MessagesWhileStopped(ModuleRecord* m, int32_t kind)
    {
        ActionDescription desc = {};
        desc.kind = kind;
        standin::ArmAction(m, 0xFFFF, kind);
        standin::RunAction(m, 0x8001, kind);
        standin::DescribeAction(m, 0xFFFF, &desc);
        standin::ResetActions(m);
        standin::SendToModule(m, MM_TAKE_BUS_SETTINGS);
    }

    void ExerciseBoth(const std::string& name, void (*change)(GpibModuleParams*, double), double value)
    {
        HostileBlock in = {name, defaultIn}, out = {name, defaultOut};
        change(&in.params, value);
        change(&out.params, value);
        Exercise(in, out);
    }
};

// Blocks of random bytes: rarely a valid field among them, so nearly everything is refused.
TEST_F(Hostile, RandomBlocks)
{
    std::mt19937 random(0x5eed1234);
    for (int n = 0; n < 60; n++) {
        HostileBlock block = {"random block " + std::to_string(n), {}};
        FillRandom(&block.params, &random);
        Exercise(block, block);
        if (HasFatalFailure()) return;
    }
}

// Random bytes in one field family at a time, the rest a block that works: each field's checks are
// reached instead of the first refusal hiding them.
TEST_F(Hostile, RandomFieldOnWorkingBlock)
{
    std::mt19937 random(0x5eed5678);
    for (int n = 0; n < int(sizeof FIELD_ROWS / sizeof FIELD_ROWS[0]); n++) {
        const FieldRow& row = FIELD_ROWS[n];
        HostileBlock in = {std::string(row.name) + " random " + std::to_string(n), defaultIn};
        HostileBlock out = {in.name, defaultOut};
        for (HostileBlock* b : {&in, &out}) {
            // Random integers spread over the field's own type; the setter truncates.
            double value = double(int32_t(random()));
            row.set(&b->params, value);
            uint8_t* bytes = reinterpret_cast<uint8_t*>(&b->params);
            // And a few random bytes anywhere in the texts.
            for (int k = 0; k < 8; k++) bytes[random() % offsetof(GpibModuleParams, addr)] = uint8_t(random());
        }
        Exercise(in, out);
        if (HasFatalFailure()) return;
    }
}

TEST_F(Hostile, FieldsAtAndBeyondTheirRanges)
{
    for (const FieldRow& row : FIELD_ROWS) {
        for (double value : row.values) {
            char name[96];
            snprintf(name, sizeof name, "%s = %g", row.name, value);
            ExerciseBoth(name, row.set, value);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(Hostile, TextsWithoutTerminator)
{
    for (const TextRow& row : TEXT_ROWS) {
        HostileBlock in = {std::string(row.name) + " unterminated", defaultIn};
        HostileBlock out = {in.name, defaultOut};
        row.fill(&in.params);
        row.fill(&out.params);
        Exercise(in, out);
        if (HasFatalFailure()) return;
    }
}

// A serial-polled device that reports an error: the message shown is the channel's stored text,
// cut at the end of its field when the stored text runs on.
TEST_F(Hostile, SerialPollErrorTextRunsOn)
{
    const int spollChannel = 7;   // the bench's serial-polled multimeter
    ASSERT_EQ(labbench::SOURCES[spollChannel].requestMode, REQUEST_SPOLL);
    HostileBlock in = {"serial poll error text", defaultIn}, out = {in.name, defaultOut};
    // The bus settings are shared by the modules of one own address: both say serial poll.
    out.params.requestMode[spollChannel] = in.params.requestMode[spollChannel] = REQUEST_SPOLL;
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        in.params.spollErrorBit[ch] = labbench::SPOLL_READY_BIT;
        in.params.spollStopOnError[ch] = 1;
    }
    memset(in.params.spollErrorText, 'E', sizeof in.params.spollErrorText);
    // The dialogs would take the bus settings the modules published before.
    Exercise(in, out, false);
    bool shown = false;
    for (const auto& w : seen)
        shown |= w.first == standin::ToUtf8(CMD_TITLE_SPOLL_ERROR) && w.second == std::string(GPIB_SPOLL_TEXT_SIZE - 1, 'E');
    EXPECT_TRUE(shown) << "the serial poll error was not shown with the stored text cut at its field";
}

}  // namespace

// A worksheet configured entirely through the dialogs, as a user would type it, delivers exactly
// the samples of the same worksheet whose settings are written into the blocks from the file.
#include <gtest/gtest.h>

#include <stdio.h>
#include <algorithm>
#include <functional>
#include <string.h>
#include <string>
#include <vector>

#include "extavik/ui/resources/resource.h"
#include "host/runner/worksheet.h"
#include "tests/dialogs/dialogtest.h"
#include "tests/tavkx/drvload.h"

namespace {

enum class Where { Main, Recv, SPoll, PPoll };
enum class How {
    Text,      // the text as it stands
    Number,    // an integer in decimal
    Decimal,   // a decimal number that reads back to the same double
    Choice,    // click the radio button whose id is the value
    Flag,      // click the box when its check mark differs from the value
};

// Where each worksheet field is typed. Id 0 is the module type's command field.
struct DialogRoute {
    const char* field;
    Where where;
    How how;
    int id;
};

const DialogRoute ROUTES[] = {
    {"moduleComment", Where::Main, How::Text, IDC_MODULE_COMMENT},
    {"busTimeout", Where::Main, How::Number, IDC_TIMEOUT},
    {"outMode", Where::Main, How::Choice, 0},
    {"outHasInputs", Where::Main, How::Flag, IDC_OUT_HAS_INPUTS},
    {"channelName", Where::Main, How::Text, IDC_CHANNEL_NAME},
    {"commandText", Where::Main, How::Text, 0},
    {"primaryAddress", Where::Main, How::Number, IDC_PRIMARY},
    {"secondaryAddress", Where::Main, How::Number, IDC_SECONDARY},
    {"requestMode", Where::Main, How::Choice, 0},
    {"headerSize", Where::Recv, How::Number, IDC_RECV_HEADER},
    {"recvBlockLength", Where::Recv, How::Number, IDC_RECV_BLOCKLEN},
    {"dataType", Where::Recv, How::Choice, 0},
    {"invalidHead", Where::Recv, How::Number, IDC_RECV_INV_HEAD},
    {"invalidTail", Where::Recv, How::Number, IDC_RECV_INV_TAIL},
    {"terminator", Where::Recv, How::Choice, 0},
    {"maskText", Where::Recv, How::Text, IDC_RECV_MASK},
    {"recvBufferKB", Where::Recv, How::Number, IDC_RECV_BUFFER},
    {"requestInterval", Where::Recv, How::Decimal, IDC_RECV_INTERVAL},
    {"stopOnTimeout", Where::Recv, How::Flag, IDC_RECV_STOP_TIMEOUT},
    {"spollReadyBit", Where::SPoll, How::Number, IDC_SPOLL_READY},
    {"spollErrorBit", Where::SPoll, How::Number, IDC_SPOLL_ERROR},
    {"spollStopOnError", Where::SPoll, How::Flag, IDC_SPOLL_STOP},
    {"spollErrorText", Where::SPoll, How::Text, IDC_SPOLL_TEXT},
    {"ppollLine", Where::PPoll, How::Number, IDC_PPOLL_LINE},
    {"ppollSense", Where::PPoll, How::Choice, 0},
};

const DialogRoute* RouteOf(const char* field)
{
    for (const DialogRoute& r : ROUTES)
        if (strcmp(r.field, field) == 0) return &r;
    return nullptr;
}

// The shortest decimal text that the dialog reads back as the same double.
std::string DecimalText(double value)
{
    char text[32];
    for (int digits = 1; digits <= 17; ++digits) {
        snprintf(text, sizeof text, "%.*g", digits, value);
        if (strtod(text, nullptr) == value) break;
    }
    return text;
}

dd::Action Typing(const DialogRoute& route, const FieldAssignment& a, bool output)
{
    int id = route.id ? route.id : (output ? IDC_OUT_COMMAND : IDC_IN_COMMAND);
    switch (route.how) {
    case How::Text: return dd::SetText(id, a.text);
    case How::Number: return dd::SetText(id, std::to_string(static_cast<long long>(a.number)));
    case How::Decimal: return dd::SetText(id, DecimalText(a.number));
    case How::Choice: return dd::Click(static_cast<int>(a.number));
    case How::Flag: break;
    }
    const int want = a.number ? BST_CHECKED : BST_UNCHECKED;
    return dd::Call([id, want](HWND d) {
        if (IsDlgButtonChecked(d, id) != static_cast<UINT>(want)) SendDlgItemMessageA(d, id, BM_CLICK, 0, 0);
    });
}

// The typing of one module, in the order a user would go: the module's own fields, then each
// channel in turn with its receive and poll dialogs.
struct ModuleTyping {
    std::vector<dd::Action> main;
    std::vector<std::string> unrouted;   // worksheet fields no dialog offers
};

ModuleTyping TypeModule(const WorksheetModule& m)
{
    const bool output = m.type == ModuleType::Out;
    ModuleTyping t;
    t.main.push_back(dd::SetText(IDC_MODULE_NAME, Utf8ToCp932(m.name)));
    for (int n = 1; n < m.channels; ++n) t.main.push_back(dd::Press(IDC_CH_ADD));
    for (const FieldAssignment& a : m.assignments) {
        if (a.channel >= 0) continue;
        const DialogRoute* r = RouteOf(a.field->name);
        if (r && r->where == Where::Main) t.main.push_back(Typing(*r, a, output));
        else t.unrouted.push_back(a.field->name);
    }
    for (int ch = 0; ch < m.channels; ++ch) {
        std::vector<dd::Action> sub[4];
        for (const FieldAssignment& a : m.assignments) {
            if (a.channel != ch) continue;
            const DialogRoute* r = RouteOf(a.field->name);
            if (!r || (output && r->where != Where::Main)) { t.unrouted.push_back(a.field->name); continue; }
            sub[static_cast<int>(r->where)].push_back(Typing(*r, a, output));
        }
        t.main.push_back(dd::Press(IDC_CH_FIRST + ch));
        t.main.insert(t.main.end(), sub[0].begin(), sub[0].end());
        const struct { Where where; int button; const char* title; } subDialogs[] = {
            {Where::Recv, IDC_RECV_SETTINGS, TITLE_RECV},
            {Where::SPoll, IDC_SPOLL_SETTINGS, TITLE_SPOLL},
            {Where::PPoll, IDC_PPOLL_SETTINGS, TITLE_PPOLL},
        };
        for (const auto& s : subDialogs) {
            std::vector<dd::Action>& typed = sub[static_cast<int>(s.where)];
            if (typed.empty()) continue;
            typed.push_back(dd::Command(IDC_OK));
            t.main.push_back(dd::Nested(s.button, s.title, typed));
        }
    }
    t.main.push_back(dd::Command(IDC_OK));
    return t;
}

struct Delivered {
    std::vector<std::string> outputs;              // module name / output
    std::vector<standin::ReleasedBlock> blocks;    // of all outputs, in that order
    std::vector<size_t> blockCounts;
    std::vector<std::string> warnings;
};

class ConfiguredByDialogs : public DialogTest {
protected:
    SimControl sim;
    Worksheet sheet;

    void SetUp() override
    {
        DialogTest::SetUp();
        ASSERT_TRUE(sim.Bind(GetModuleHandleA("tavk.dll"))) << "the simulated driver's controls";
        ASSERT_TRUE(standin::EnableSimulatedTicks(standin::PluginModule()));
        std::string error;
        ASSERT_TRUE(LoadWorksheet(EXTAVIK_EXAMPLES "/dmm_query.json", sheet, error)) << error;
    }

    // Creates the modules as the host does, then lets configure write their settings.
    std::vector<ModuleRecord*> CreateModules(const std::function<void(const WorksheetModule&, ModuleRecord*)>& configure)
    {
        std::vector<ModuleRecord*> records;
        for (const WorksheetModule& m : sheet.modules) {
            SCOPED_TRACE(m.name);
            ModuleRecord* r = Create(m.type == ModuleType::Out, m.myAddress);
            if (!r) return {};
            configure(m, r);
            records.push_back(r);
        }
        return records;
    }

    // Runs the worksheet's cycles on a freshly reset bench, with the board's clock moved
    // along with the host's as the runner does, and collects what the GPIB-IN outputs delivered.
    Delivered Run(const std::vector<ModuleRecord*>& records)
    {
        Delivered d;
        EXPECT_EQ(1, sim.SimReset()) << sim.SimLastMessage();
        sim.SimSetOpCost(0);
        standin::ClearRecords();
        standin::ClearReleasedBlocks();
        standin::SetTicks(sheet.startTicks ? sheet.startTicks : 100000);
        standin::SetSamplePeriodMs(sheet.samplePeriodMs);
        standin::SetBlockSize(sheet.blockSize);
        standin::RunOptions run;
        run.cycles = sheet.cycles;
        const uint32_t cycleMs = static_cast<uint32_t>(sheet.samplePeriodMs * sheet.blockSize + 0.5);
        SimAdvanceTimeFn advance = sim.SimAdvanceTime;
        run.beforeCycle = [advance, cycleMs](uint32_t cycle) { if (cycle) advance(cycleMs); };
        standin::RunResult result = standin::RunExperiment(run);
        EXPECT_TRUE(result.started);
        EXPECT_EQ(sheet.cycles, result.cycles);
        for (size_t i = 0; i < records.size(); ++i) {
            if (sheet.modules[i].type != ModuleType::In) continue;
            for (int out = 0; out < records[i]->outputCount; ++out) {
                const auto& blocks = standin::ReleasedBlocks(records[i], out);
                d.outputs.push_back(sheet.modules[i].name + "/" + std::to_string(out));
                d.blocks.insert(d.blocks.end(), blocks.begin(), blocks.end());
                d.blockCounts.push_back(blocks.size());
            }
        }
        for (const standin::WarningRecord& w : standin::Warnings()) d.warnings.push_back(standin::ToUtf8(w.text));
        for (ModuleRecord* r : records) standin::RemoveModule(r);
        return d;
    }
};

// Byte offsets at which two parameter blocks differ, for a readable failure.
std::string Differences(const GpibModuleParams& a, const GpibModuleParams& b)
{
    std::string out;
    const uint8_t* pa = reinterpret_cast<const uint8_t*>(&a);
    const uint8_t* pb = reinterpret_cast<const uint8_t*>(&b);
    for (size_t i = 0; i < sizeof a && out.size() < 200; ++i)
        if (pa[i] != pb[i]) out += std::to_string(i) + " ";
    return out;
}

TEST_F(ConfiguredByDialogs, DeliversTheSamplesOfTheFileDrivenRun)
{
    ASSERT_EQ(3u, sheet.modules.size());
    std::vector<GpibModuleParams> typedBlocks;
    std::vector<ModuleRecord*> typed = CreateModules([&](const WorksheetModule& m, ModuleRecord* r) {
        ModuleTyping t = TypeModule(m);
        EXPECT_TRUE(t.unrouted.empty()) << "no dialog offers " << t.unrouted[0];
        Settings(r, t.main);
        EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
        typedBlocks.push_back(*standin::Params(r));
    });
    ASSERT_EQ(3u, typed.size());
    Delivered byDialogs = Run(typed);

    std::vector<ModuleRecord*> written = CreateModules([](const WorksheetModule& m, ModuleRecord* r) {
        std::string name = Utf8ToCp932(m.name);
        memset(r->moduleName, 0, sizeof r->moduleName);
        memcpy(r->moduleName, name.data(), std::min(name.size(), sizeof r->moduleName - 1));
        ApplyAssignments(m, r);
        if (m.type == ModuleType::In) r->outputCount = m.channels;
        else standin::Params(r)->outChannelCount = m.channels;
    });
    ASSERT_EQ(3u, written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(sheet.modules[i].name);
        EXPECT_EQ(0, memcmp(&typedBlocks[i], standin::Params(written[i]), sizeof(GpibModuleParams)))
            << "blocks differ at bytes " << Differences(typedBlocks[i], *standin::Params(written[i]));
    }
    Delivered fromFile = Run(written);

    EXPECT_TRUE(byDialogs.warnings.empty()) << byDialogs.warnings[0];
    EXPECT_TRUE(fromFile.warnings.empty()) << fromFile.warnings[0];
    EXPECT_EQ(fromFile.outputs, byDialogs.outputs);
    EXPECT_EQ(fromFile.blockCounts, byDialogs.blockCounts);
    ASSERT_FALSE(fromFile.blocks.empty()) << "the file-driven run delivered nothing";
    size_t samples = 0;
    for (const standin::ReleasedBlock& b : byDialogs.blocks) samples += b.samples.size();
    EXPECT_EQ(sheet.cycles, samples) << "one reading per cycle";
    ASSERT_EQ(fromFile.blocks.size(), byDialogs.blocks.size());
    for (size_t i = 0; i < fromFile.blocks.size(); ++i) {
        SCOPED_TRACE("block " + std::to_string(i));
        EXPECT_EQ(fromFile.blocks[i].startTime, byDialogs.blocks[i].startTime);
        EXPECT_EQ(fromFile.blocks[i].sampleDistance, byDialogs.blocks[i].sampleDistance);
        EXPECT_EQ(fromFile.blocks[i].samples, byDialogs.blocks[i].samples);
    }
}

}  // namespace

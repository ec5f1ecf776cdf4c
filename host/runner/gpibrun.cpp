// gpibrun: runs a worksheet in the stand-in host against the simulated bench.
//
//   gpibrun WORKSHEET [--csv FILE] [--plot FILE] [--bench FILE] [--trace FILE] [--bus-record FILE] [--cycles N] [--driver sim|ni4882|adapter] [--live [--duration S]] [--quiet]
//   gpibrun --version
//
// The worksheet is checked completely before anything runs. The plug-in is loaded from the
// program's own directory, each module is created as the host creates it (the own-address dialog
// answered with the worksheet's address), the worksheet's settings are written into its parameter
// block, and the experiment runs on the host's simulated clock, as fast as it goes (--live: on the
// wall clock, see liverun.h). Every warning the plug-in shows is printed; the delivered samples go
// to a CSV file (time, output, value) and a plot picture.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "extavik/host/entry.h"
#include "extavik_version.h"
#include "host/dialogdriver.h"
#include "host/driverconfig.h"
#include "host/modulefiles.h"
#include "host/runner/csvlog.h"
#include "host/runner/fileversion.h"
#include "host/runner/liverun.h"
#include "host/runner/plot.h"
#include "host/runner/worksheet.h"
#include "host/standin_host.h"

namespace {

const char* const CLASS_IN = CLASS_GPIB_IN;
const char* const CLASS_OUT = CLASS_GPIB_OUT;

struct Options {
    std::string worksheet, csv, plot, bench, trace;
    std::string busRecord;        // what went over the simulated bus, line by line, whichever driver
    const driverconfig::Configuration* driver = &driverconfig::Default();   // host/driverconfig.h
    uint32_t cycles = 0;
    bool live = false;            // on the wall clock, with the system's tick count
    double durationS = 0;         // a live run's length; 0 = the cycle count
    bool quiet = false;
    bool version = false;
};

void Usage()
{
    fprintf(stderr, "usage: gpibrun WORKSHEET [--csv FILE] [--plot FILE] [--bench FILE] [--trace FILE] [--bus-record FILE] [--cycles N] [--driver %s] [--live [--duration S]] [--quiet]\n"
                    "       gpibrun --version\n", driverconfig::OfferedNames().c_str());
}

bool ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string cycles, duration, driver;
        if (a == "--csv") { if (!value(o.csv)) return false; }
        else if (a == "--plot") { if (!value(o.plot)) return false; }
        else if (a == "--bench") { if (!value(o.bench)) return false; }
        else if (a == "--trace") { if (!value(o.trace)) return false; }
        else if (a == "--bus-record") { if (!value(o.busRecord)) return false; }
        else if (a == "--cycles") { if (!value(cycles)) return false; o.cycles = strtoul(cycles.c_str(), nullptr, 10); }
        else if (a == "--driver") {
            if (!value(driver) || !(o.driver = driverconfig::Find(driver)) || o.driver->testsOnly) return false;
        }
        else if (a == "--live") o.live = true;
        else if (a == "--duration") {
            char* end = nullptr;
            if (!value(duration)) return false;
            o.durationS = strtod(duration.c_str(), &end);
            if (end == duration.c_str() || *end || !(o.durationS > 0) || o.durationS > 1e7) return false;
        }
        else if (a == "--quiet") o.quiet = true;
        else if (a == "--version") o.version = true;
        else if (!a.empty() && a[0] == '-') return false;
        else if (o.worksheet.empty()) o.worksheet = a;
        else return false;
    }
    if (o.version) return o.worksheet.empty();
    return !o.worksheet.empty() && (o.live || o.durationS == 0);
}

// The host's own folder: the plug-in and TavkX beside gpibrun; the driver files of every
// configuration follow them in --version.
const driverconfig::PlacedFile HOST_FOLDER[] = {{"EXTAVIK.dll", {"EXTAVIK.dll", nullptr}}, {"TavkX.dll", {"TavkX.dll", nullptr}}};

std::string Locate(const driverconfig::PlacedFile& f) { return driverconfig::Locate(f, modulefiles::ProgramDirectory()); }

// gpibrun's version, and the version resource of every library it would load.
int PrintVersion()
{
    printf("gpibrun %s\n", EXTAVIK_VERSION);
    std::vector<const driverconfig::PlacedFile*> files;
    for (const driverconfig::PlacedFile& f : HOST_FOLDER) files.push_back(&f);
    auto add = [&](const driverconfig::PlacedFile& f) {
        for (const driverconfig::PlacedFile* known : files)
            if (!f.name || strcmp(known->name, f.name) == 0) return;
        files.push_back(&f);
    };
    for (const driverconfig::Configuration& c : driverconfig::CONFIGURATIONS) {
        add(c.driver);
        add(c.simulator);
    }
    std::string bin = modulefiles::ProgramDirectory();
    for (const driverconfig::PlacedFile* f : files) {
        std::string path = Locate(*f), version = FileVersionOf(path);
        printf("  %-24s %-10s %s\n", f->name, version.empty() ? "-" : version.c_str(),
               GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "(not found)" : path.substr(bin.size()).c_str());
    }
    return 0;
}

std::string WithoutExtension(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    return (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
}

std::string CsvPath(const Options& o) { return o.csv.empty() ? WithoutExtension(o.worksheet) + ".csv" : o.csv; }

size_t g_warningsShown = 0;

// Prints the plug-in's warnings that have not been printed yet.
void PrintNewWarnings()
{
    const auto& warnings = standin::Warnings();
    for (; g_warningsShown < warnings.size(); ++g_warningsShown) {
        const auto& w = warnings[g_warningsShown];
        printf("warning [%s] %s\n", standin::ToUtf8(w.caption).c_str(), standin::ToUtf8(w.text).c_str());
    }
    for (const auto& e : standin::InternalErrors())
        printf("internal error: %s (%s, line %d)\n", e.text.c_str(), e.source.c_str(), e.line);
}

ModuleRecord* CreateWorksheetModule(const WorksheetModule& m)
{
    dialogdriver::AnswerSelect(m.myAddress);
    int32_t result = 0;
    ModuleRecord* record = standin::CreateModule(m.type == ModuleType::In ? CLASS_IN : CLASS_OUT, &result);
    if (!record) return nullptr;
    std::string name = Utf8ToCp932(m.name);
    memset(record->moduleName, 0, sizeof record->moduleName);
    memcpy(record->moduleName, name.data(), std::min(name.size(), sizeof record->moduleName - 1));
    ApplyAssignments(m, record);
    if (m.type == ModuleType::In) {
        record->outputCount = m.channels;
        record->inputCount = 0;
    } else {
        record->params->outChannelCount = m.channels;
        record->inputCount = record->params->outHasInputs ? m.channels : 0;
    }
    return record;
}

// The simulated board keeps its own clock; the runner moves it with the host's, one cycle at a time,
// so instruments that answer some time after a trigger see the worksheet's time.
typedef void (GPIB_CALL *SimAdvanceTimeFn)(uint32_t ms);
typedef void (GPIB_CALL *SimSetOpCostFn)(uint32_t ms);

// The run's driver configuration, loaded by LoadRun.
driverconfig::Loaded g_driver;

SimAdvanceTimeFn BoardClock()
{
    HMODULE bench = g_driver.Control();
    if (!bench) return nullptr;
    SimSetOpCostFn cost;
    if (modulefiles::Resolve(bench, "SimSetOpCost", cost)) cost(0);
    SimAdvanceTimeFn advance;
    modulefiles::Resolve(bench, "SimAdvanceTime", advance);
    return advance;
}

uint32_t ActionMessage(ActionVerb verb)
{
    switch (verb) {
    case ActionVerb::Arm: return MM_ACTION_ARM;
    case ActionVerb::Run: return MM_ACTION_RUN;
    case ActionVerb::Reset: return MM_ACTION_RESET;
    case ActionVerb::Describe: return MM_ACTION_DESCRIBE;
    }
    return MM_ACTION_RUN;
}

struct OutputTrace {
    std::string label;       // module/channel, UTF-8
    std::vector<standin::ReleasedBlock> blocks;
};

std::vector<OutputTrace> CollectOutputs(const Worksheet& sheet, const std::vector<ModuleRecord*>& records)
{
    std::vector<OutputTrace> outputs;
    for (size_t i = 0; i < sheet.modules.size(); ++i) {
        if (sheet.modules[i].type != ModuleType::In) continue;
        for (int ch = 0; ch < records[i]->outputCount && ch < GPIB_CHANNELS; ++ch) {
            OutputTrace t;
            t.label = sheet.modules[i].name + "/" + standin::ToUtf8(records[i]->params->channelName[ch]);
            t.blocks = standin::ReleasedBlocks(records[i], ch);
            outputs.push_back(t);
        }
    }
    return outputs;
}

// Every GPIB-IN output of the worksheet, in the order of the table and the plot.
void AddOutputs(CsvLog& csv, const Worksheet& sheet, const std::vector<ModuleRecord*>& records)
{
    for (size_t i = 0; i < sheet.modules.size(); ++i) {
        if (sheet.modules[i].type != ModuleType::In) continue;
        for (int ch = 0; ch < records[i]->outputCount && ch < GPIB_CHANNELS; ++ch)
            csv.AddOutput(records[i], ch, sheet.modules[i].name + "/" + standin::ToUtf8(records[i]->params->channelName[ch]));
    }
}

std::vector<PlotSeries> ToSeries(const std::vector<OutputTrace>& outputs)
{
    std::vector<PlotSeries> series;
    for (const OutputTrace& t : outputs) {
        PlotSeries s;
        s.label = t.label;
        for (const auto& b : t.blocks)
            for (int k = 0; k < b.sampleCount && k < static_cast<int>(b.samples.size()); ++k) {
                s.times.push_back(b.startTime + k * b.sampleDistance);
                s.values.push_back(b.samples[k]);
            }
        series.push_back(s);
    }
    return series;
}

void PrintTable(const std::vector<OutputTrace>& outputs)
{
    const int shown = 8;
    printf("\n%-28s %8s  %s\n", "output", "samples", "first values (time s: value)");
    for (const OutputTrace& t : outputs) {
        size_t count = 0;
        for (const auto& b : t.blocks) count += b.sampleCount;
        printf("%-28s %8u ", t.label.c_str(), static_cast<unsigned>(count));
        int printed = 0;
        for (const auto& b : t.blocks)
            for (int k = 0; k < b.sampleCount && printed < shown; ++k, ++printed)
                printf(" %.3f: %.6g", b.startTime + k * b.sampleDistance, b.samples[k]);
        printf("%s\n", count > static_cast<size_t>(shown) ? " ..." : "");
    }
    printf("\n");
}

// Over LAN every address is an instrument behind the simulated gateway but the modules' own (the
// driver refuses its board's own address), 0 and 30.
bool LeaveOwnAddressesOut(const Worksheet& sheet)
{
    std::vector<int> own = {0, 30};
    for (const WorksheetModule& m : sheet.modules) own.push_back(m.myAddress);
    if (lanstart::WriteGatewaySettings(own, {})) return true;
    fprintf(stderr, "gpibrun: the LAN driver's settings cannot be written to the temporary folder\n");
    return false;
}

// Load: the worksheet, checked completely, with the command line's overrides; the simulated board
// takes its bench and trace from the environment. False when nothing may run.
bool LoadRun(const Options& o, Worksheet& sheet, std::string& trace)
{
    std::string error;
    if (!LoadWorksheet(o.worksheet, sheet, error)) {
        fprintf(stderr, "gpibrun: %s\nnothing was run.\n", error.c_str());
        return false;
    }
    if (o.cycles) sheet.cycles = o.cycles;
    std::string bench = o.bench.empty() ? sheet.benchFile : o.bench;
    trace = o.trace.empty() ? sheet.traceFile : o.trace;
    if (!bench.empty()) SetEnvironmentVariableA("TAVK_SIM_BENCH", bench.c_str());
    if (!o.busRecord.empty()) SetEnvironmentVariableA("TAVK_SIM_BUS_RECORD", o.busRecord.c_str());
    if (!trace.empty()) SetEnvironmentVariableA(o.driver->traceVariable, trace.c_str());
    std::string problem;
    if (!driverconfig::LoadFromBin(*o.driver, modulefiles::ProgramDirectory(), g_driver, problem)) {
        fprintf(stderr, "gpibrun: %s\n", problem.c_str());
        return false;
    }
    return o.driver->start != lanstart::StartVxi11 || LeaveOwnAddressesOut(sheet);
}

// Create: the host window, the plug-in with its module classes, and every module of the worksheet
// as the host creates it. False after the reason was printed.
bool CreateRun(const Options& o, const Worksheet& sheet, std::vector<ModuleRecord*>& records)
{
    if (!standin::Start()) { fprintf(stderr, "gpibrun: the host window could not be created\n"); return false; }
    dialogdriver::Install();
    std::string plugin = modulefiles::ProgramDirectory() + "EXTAVIK.dll";
    if (!standin::LoadPlugin(plugin.c_str())) {
        fprintf(stderr, "gpibrun: cannot load %s (error %lu)\n", plugin.c_str(), GetLastError());
        return false;
    }
    if (o.live) {
        standin::UseRealTicks();
    } else {
        standin::EnableSimulatedTicks();
        if (sheet.startTicks) standin::SetTicks(sheet.startTicks);
    }
    int setup = standin::SetupPlugin();
    PrintNewWarnings();
    if (setup != 1 || !standin::FindClass(CLASS_IN) || !standin::FindClass(CLASS_OUT)) {
        fprintf(stderr, "gpibrun: the plug-in offers no GPIB modules (setup result %d)\n", setup);
        return false;
    }
    standin::SetSamplePeriodMs(sheet.samplePeriodMs);
    standin::SetBlockSize(sheet.blockSize);

    for (const WorksheetModule& m : sheet.modules) {
        ModuleRecord* record = CreateWorksheetModule(m);
        PrintNewWarnings();
        if (!record) {
            fprintf(stderr, "gpibrun: module '%s' could not be created\n", m.name.c_str());
            return false;
        }
        records.push_back(record);
    }
    return true;
}

// An offline run: the board's clock moved with the host's simulated one, cycle by cycle.
void RunOffline(const Options& o, const Worksheet& sheet, standin::RunOptions& run)
{
    if (SimAdvanceTimeFn advance = BoardClock()) {
        uint32_t cycleMs = static_cast<uint32_t>(sheet.samplePeriodMs * sheet.blockSize + 0.5);
        run.beforeCycle = [advance, cycleMs](uint32_t cycle) { if (cycle) advance(cycleMs); };
    }
    if (!o.quiet && sheet.cycles >= 20000) {
        run.progressEvery = sheet.cycles / 10;
        run.progress = [&](uint32_t cycle) {
            fprintf(stderr, "  %3u%%  cycle %u of %u\n", static_cast<unsigned>(100ull * cycle / sheet.cycles), cycle, sheet.cycles);
        };
    }
}

// A live run on the wall clock; the CSV is written as it goes.
standin::RunResult RunLiveSheet(const Options& o, const Worksheet& sheet, standin::RunOptions run, CsvLog& csv)
{
    LiveOptions live;
    live.periodMs = sheet.samplePeriodMs * sheet.blockSize;
    live.durationMs = o.durationS * 1000;
    live.quiet = o.quiet;
    live.printWarnings = PrintNewWarnings;
    if (SimAdvanceTimeFn advance = BoardClock()) live.advanceBoardClock = advance;
    if (o.durationS > 0)
        printf("live: until %.1f s have passed or Ctrl+C, one cycle every %.3f ms\n", o.durationS, live.periodMs);
    else
        printf("live: %u cycles, one every %.3f ms (Ctrl+C stops)\n", run.cycles, live.periodMs);
    fflush(stdout);
    LiveResult r = RunLive(run, live, csv);
    printf("live: %u cycles in %.2f s, %u late", r.run.cycles, r.elapsedMs / 1000.0, r.late);
    if (r.late) printf(" (worst %u ms after its time)", r.worstLateMs);
    printf("%s\n", r.interrupted ? "; stopped by Ctrl+C (at-end pass done, modules stopped)" : "");
    if (!r.csvWritten) fprintf(stderr, "gpibrun: the CSV file could not be written completely\n");
    return r.run;
}

// Run: the experiment with the worksheet's host actions, the board's clock moved with the host's.
standin::RunResult RunSheet(const Options& o, const Worksheet& sheet, const std::vector<ModuleRecord*>& records, CsvLog& csv)
{
    standin::RunOptions run;
    run.cycles = sheet.cycles;
    for (const WorksheetAction& a : sheet.actions) {
        bool in = sheet.modules[a.module].type == ModuleType::In;
        run.messages.push_back({a.cycle, records[a.module], ActionMessage(a.verb), static_cast<int32_t>(a.mask),
                                in ? ACTION_KIND_RECV_COMMAND : ACTION_KIND_REQUEST_COMMAND});
    }
    std::string length = o.live && o.durationS > 0 ? "cycles" : std::to_string(sheet.cycles) + " cycles";
    printf("running %s: %s of %u samples at %.3f ms per sample, %u modules\n", o.worksheet.c_str(), length.c_str(),
           sheet.blockSize, sheet.samplePeriodMs, static_cast<unsigned>(records.size()));
    standin::RunResult result;
    if (o.live) {
        result = RunLiveSheet(o, sheet, run, csv);
    } else {
        RunOffline(o, sheet, run);
        result = standin::RunExperiment(run);
    }
    PrintNewWarnings();
    if (!result.started) {
        fprintf(stderr, "gpibrun: the experiment did not start: a module answered 0 to message %u\n", result.refusedMessage);
    } else if (result.stoppedByPlugin) {
        printf("the plug-in stopped the experiment after %u cycles\n", result.cycles);
    }
    for (const std::string& line : result.messageResults)
        if (!o.quiet) printf("action %s\n", line.c_str());
    return result;
}

// Report: the table of values read, the CSV file, the plot and where the trace went.
void Report(const Options& o, const Worksheet& sheet, const std::vector<ModuleRecord*>& records, const std::string& trace,
            CsvLog& csv)
{
    std::vector<OutputTrace> outputs = CollectOutputs(sheet, records);
    PrintTable(outputs);
    std::string picture = o.plot.empty() ? WithoutExtension(o.worksheet) + ".png" : o.plot;
    bool written = csv.Append();
    if (csv.Close() && written) printf("samples: %s\n", CsvPath(o).c_str());
    else fprintf(stderr, "gpibrun: cannot write %s\n", CsvPath(o).c_str());
    if (WritePlotPng(picture, o.worksheet, ToSeries(outputs))) printf("plot:    %s\n", picture.c_str());
    else fprintf(stderr, "gpibrun: cannot write %s\n", picture.c_str());
    if (!trace.empty()) printf("trace:   %s\n", trace.c_str());
}

// The modules removed and the plug-in finished as the host does at exit; leaks are named.
void Finish(const std::vector<ModuleRecord*>& records)
{
    for (ModuleRecord* r : records) standin::RemoveModule(r);
    standin::FinishPlugin();
    size_t live = standin::LiveBlockCount();
    if (live) printf("host heap: %u blocks still allocated\n", static_cast<unsigned>(live));
    dialogdriver::Uninstall();
}

int Run(const Options& o)
{
    Worksheet sheet;
    std::string trace;
    if (!LoadRun(o, sheet, trace)) return 2;
    std::vector<ModuleRecord*> records;
    if (!CreateRun(o, sheet, records)) return 1;
    // Opened before the run: a live run writes it as it goes, and a file that cannot be written
    // stops the run before it starts.
    CsvLog csv;
    if (!csv.Open(CsvPath(o))) {
        fprintf(stderr, "gpibrun: cannot write %s\nnothing was run.\n", CsvPath(o).c_str());
        Finish(records);
        return 2;
    }
    AddOutputs(csv, sheet, records);
    standin::RunResult result = RunSheet(o, sheet, records, csv);
    Report(o, sheet, records, trace, csv);
    Finish(records);
    return result.started ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseArgs(argc, argv, o)) {
        Usage();
        return 2;
    }
    int status = o.version ? PrintVersion() : Run(o);
    fflush(stdout);
    return status;
}

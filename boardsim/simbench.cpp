// The bench: instruments described in JSON (a file the user names, or the built-in bench),
// checked field by field; a problem names the file, the line and the field.
#include <windows.h>
#include <map>
#include <set>
#include "boardsim/simbench.h"
#include "boardsim/simbus.h"
#include "boardsim/simlog.h"
#include "boards/common/drvfiles.h"
#include "common/jsonfields.h"
#include "interfaces/tavkdrv.h"

// The built-in bench, used when no file is named.
static const char defaultBench[] = R"({
  "instruments": [
    {"address": 22, "type": "multimeter", "name": "DMM", "idn": "TAVIK-SIM,DMM-22,0,1.0",
     "signal": {"shape": "sine", "offset": 1.0, "amplitude": 0.5, "period": 50}},
    {"address": 5, "type": "binary", "name": "SOURCE", "idn": "TAVIK-SIM,BIN-5,0,1.0",
     "width": 2, "format": "signed", "count": 4, "signal": {"shape": "ramp", "offset": 0, "step": 1}},
    {"address": 9, "type": "srq", "name": "TRIGGERED", "idn": "TAVIK-SIM,SRQ-9,0,1.0",
     "readyBit": 4, "delayMs": 100, "signal": {"shape": "noise", "offset": 5.0, "amplitude": 0.1, "seed": 7}},
    {"address": 12, "type": "silent", "name": "SILENT"}
  ]
})";

// One row per setting the adapter keeps in its EPROM: the name of its "++" command and its range.
const SimAdapterSettingRow simAdapterSettingRows[] = {
    {"addr", &SimAdapterSettings::address, 0, TAVK_ADDRESS_MAX},       {"auto", &SimAdapterSettings::autoRead, 0, 3},
    {"eoi", &SimAdapterSettings::eoi, 0, 1},             {"eos", &SimAdapterSettings::eos, 0, 3},
    {"eot_enable", &SimAdapterSettings::eotEnable, 0, 1}, {"eot_char", &SimAdapterSettings::eotChar, 0, 255},
    {"mode", &SimAdapterSettings::mode, 0, 1},           {"read_tmo_ms", &SimAdapterSettings::readTmoMs, 1, 3000},
};
const size_t simAdapterSettingCount = sizeof simAdapterSettingRows / sizeof simAdapterSettingRows[0];

namespace {

const std::pair<const char*, SimKind> kindNames[] = {
    {"multimeter", KIND_MULTIMETER}, {"binary", KIND_BINARY}, {"srq", KIND_SRQ}, {"silent", KIND_SILENT}};
const std::pair<const char*, SimShape> shapeNames[] = {
    {"constant", SHAPE_CONSTANT}, {"ramp", SHAPE_RAMP}, {"sine", SHAPE_SINE}, {"noise", SHAPE_NOISE}};
const std::pair<const char*, SimFormat> formatNames[] = {
    {"signed", FORMAT_SIGNED}, {"unsigned", FORMAT_UNSIGNED}, {"float", FORMAT_FLOAT}};

bool ReadSignal(JsonReader& r, const json& j, const std::string& path, SimSignal& s)
{
    if (!j.is_object()) return r.Fail(path, "must be an object");
    JsonField f{r, j, path};
    long long seed = s.seed;
    return f.OnlyKnown({"shape", "offset", "amplitude", "period", "step", "seed"}) &&
           f.Choice("shape", shapeNames, s.shape) && f.Number("offset", s.offset) &&
           f.Number("amplitude", s.amplitude) && f.Number("period", s.period) && f.Number("step", s.step) &&
           f.Int("seed", 0, 0xFFFFFFFFll, seed) && ((s.seed = static_cast<uint32_t>(seed)), true);
}

bool ReadInstrument(JsonReader& r, const json& j, const std::string& path, SimInstrument& d)
{
    if (!j.is_object()) return r.Fail(path, "must be an object");
    JsonField f{r, j, path};
    long long address = 0, width = d.width, count = d.count, readyBit = d.readyBit, delay = d.delayMs;
    if (!f.OnlyKnown({"address", "type", "name", "idn", "signal", "width", "format", "count", "header",
                      "appendEos", "talkOnly", "readyBit", "delayMs"}) ||
        !f.Int("address", 0, TAVK_ADDRESS_MAX, address, true) || !f.Choice("type", kindNames, d.kind, true))
        return false;
    d.address = static_cast<int>(address);
    d.talkOnly = d.kind == KIND_BINARY;
    d.idn = "TAVIK-SIM," + std::string(kindNames[d.kind].first) + "," + std::to_string(address) + ",1.0";
    if (!f.Text("name", d.name) || !f.Text("idn", d.idn) || !f.Int("width", 2, 8, width) ||
        !f.Choice("format", formatNames, d.format) || !f.Int("count", 1, 4096, count) || !f.Text("header", d.header) ||
        !f.Bool("appendEos", d.appendEos) || !f.Bool("talkOnly", d.talkOnly) || !f.Int("readyBit", 0, 7, readyBit) ||
        !f.Int("delayMs", 0, 3600000, delay))
        return false;
    if (width != 2 && width != 4 && width != 8) return r.Fail(f.PathOf("width"), "must be 2, 4 or 8");
    if (d.format == FORMAT_FLOAT && width == 2) return r.Fail(f.PathOf("width"), "must be 4 or 8 for float values");
    d.width = static_cast<int>(width);
    d.count = static_cast<int>(count);
    d.readyBit = static_cast<int>(readyBit);
    d.delayMs = static_cast<uint32_t>(delay);
    return !f.Has("signal") || ReadSignal(r, j["signal"], f.PathOf("signal"), d.signal);
}

const std::pair<const char*, SimAdapterKind> adapterKindNames[] = {{"prologix", ADAPTER_KIND_PROLOGIX}, {"ar488", ADAPTER_KIND_AR488}};

bool ReadAdapter(JsonReader& r, const json& j, const std::string& path, SimAdapterBench& a)
{
    if (!j.is_object()) return r.Fail(path, "must be an object");
    JsonField f{r, j, path};
    long long boot = a.bootMs;
    if (!f.OnlyKnown({"kind", "bootMs", "savedState"}) || !f.Choice("kind", adapterKindNames, a.kind) ||
        !f.Int("bootMs", 0, 60000, boot))
        return false;
    a.bootMs = static_cast<uint32_t>(boot);
    if (!f.Has("savedState")) return true;
    const json& saved = j["savedState"];
    std::string at = f.PathOf("savedState");
    if (!saved.is_object()) return r.Fail(at, "must be an object");
    JsonField g{r, saved, at};
    for (auto it = saved.begin(); it != saved.end(); ++it) {
        const SimAdapterSettingRow* row = nullptr;
        for (const SimAdapterSettingRow& s : simAdapterSettingRows)
            if (it.key() == s.name) row = &s;
        if (!row) return r.Fail(at + "/" + it.key(), "is not a setting the adapter saves");
        long long v = 0;
        if (!g.Int(row->name, row->lo, row->hi, v)) return false;
        a.saved.*(row->field) = static_cast<int>(v);
    }
    return true;
}

bool ReadBench(JsonReader& r, const json& j, std::vector<SimInstrument>& out, uint32_t& opCost, std::string& trace,
               SimAdapterBench& adapter)
{
    if (!j.is_object()) return r.Fail("", "the bench must be a JSON object");
    JsonField f{r, j, ""};
    long long cost = opCost;
    if (!f.OnlyKnown({"instruments", "opCostMs", "trace", "adapter"}) || !f.Int("opCostMs", 0, 60000, cost) ||
        !f.Text("trace", trace) || (f.Has("adapter") && !ReadAdapter(r, j["adapter"], f.PathOf("adapter"), adapter)))
        return false;
    opCost = static_cast<uint32_t>(cost);
    if (!j.contains("instruments")) return r.Fail("/instruments", "is missing");
    if (!j["instruments"].is_array()) return r.Fail("/instruments", "must be a list");
    std::set<int> taken;
    for (size_t i = 0; i < j["instruments"].size(); i++) {
        std::string path = "/instruments/" + std::to_string(i);
        SimInstrument d;
        if (!ReadInstrument(r, j["instruments"][i], path, d)) return false;
        if (!taken.insert(d.address).second)
            return r.Fail(path + "/address", "address " + std::to_string(d.address) + " is taken by another instrument");
        out.push_back(d);
    }
    return true;
}

}  // namespace

void SimReportProblem(const std::string& message)
{
    Sim().message = message;
    fprintf(stderr, "tavk: %s\n", message.c_str());
    fflush(stderr);
    SimTraceLine("problem: " + message);
}

bool SimLoadBenchText(const std::string& text, const std::string& sourceName)
{
    SimState& s = Sim();
    JsonReader reader;
    reader.source = sourceName;
    json j;
    std::vector<SimInstrument> instruments;
    uint32_t opCost = 1;
    std::string trace;
    SimAdapterBench adapter;
    s.instruments.clear();
    s.benchOk = false;
    if (!JsonParseTracked(text, reader, j) || !ReadBench(reader, j, instruments, opCost, trace, adapter)) {
        SimReportProblem(reader.error);
        return false;
    }
    s.instruments = instruments;
    s.adapter = adapter;
    s.opCostMs = opCost;
    s.benchTrace = trace;
    s.benchOk = true;
    s.message.clear();
    return true;
}

bool SimLoadConfiguredBench()
{
    char named[MAX_PATH] = "";
    std::string file;
    if (GetEnvironmentVariableA("TAVK_SIM_BENCH", named, sizeof named) > 0) file = named;
    else if (GetFileAttributesA((DriverFileDirectory() + "tavk_bench.json").c_str()) != INVALID_FILE_ATTRIBUTES)
        file = DriverFileDirectory() + "tavk_bench.json";
    // The trace named in the environment is opened first, so that it shows a bad bench too.
    char trace[MAX_PATH] = "";
    bool envTrace = GetEnvironmentVariableA("TAVK_SIM_TRACE", trace, sizeof trace) > 0;
    if (envTrace) SimOpenTrace(trace);
    char record[MAX_PATH] = "";
    if (!Sim().busRecord && GetEnvironmentVariableA("TAVK_SIM_BUS_RECORD", record, sizeof record) > 0) BusOpenRecord(record);
    bool ok;
    if (file.empty()) {
        ok = SimLoadBenchText(defaultBench, "(built-in bench)");
    } else {
        std::string text;
        if (!DriverReadFile(file, text)) {
            Sim().instruments.clear();
            Sim().benchOk = false;
            SimReportProblem(file + ": line 0: the bench file cannot be read");
            return false;
        }
        ok = SimLoadBenchText(text, file);
    }
    if (!envTrace && !Sim().benchTrace.empty()) SimOpenTrace(Sim().benchTrace);
    return ok;
}

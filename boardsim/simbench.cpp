// The bench: instruments described in JSON (a file the user names, or the built-in bench),
// checked field by field; a problem names the file, the line and the field.
#include <windows.h>
#include <map>
#include <set>
#include <nlohmann/json.hpp>
#include "boardsim/simbus.h"

using nlohmann::json;

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

namespace {

// Line of every value by its JSON pointer, noted while parsing.
struct LineTracker {
    int line = 1;
};

struct CountingIterator {
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;
    const char* p;
    LineTracker* lines;
    reference operator*() const { return *p; }
    CountingIterator& operator++()
    {
        if (*p == '\n') lines->line++;
        ++p;
        return *this;
    }
    CountingIterator operator++(int) { CountingIterator old = *this; ++*this; return old; }
    bool operator==(const CountingIterator& o) const { return p == o.p; }
    bool operator!=(const CountingIterator& o) const { return p != o.p; }
};

struct Frame {
    bool array;
    size_t index;
    std::string key;
};

struct BenchReader {
    std::string source;
    std::map<std::string, int> lineOf;
    std::string error;

    int LineOf(std::string path) const
    {
        for (;;) {
            auto it = lineOf.find(path);
            if (it != lineOf.end()) return it->second;
            size_t slash = path.rfind('/');
            if (slash == std::string::npos) return 1;
            path.erase(slash);
        }
    }

    // "/instruments/2/type" is shown as instruments[2].type
    static std::string FieldName(const std::string& path)
    {
        std::string name;
        size_t at = 1;
        while (at <= path.size() && at > 0) {
            size_t next = path.find('/', at);
            std::string part = path.substr(at, next == std::string::npos ? std::string::npos : next - at);
            bool index = !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
            name += index ? "[" + part + "]" : (name.empty() ? part : "." + part);
            if (next == std::string::npos) break;
            at = next + 1;
        }
        return name;
    }

    bool Fail(const std::string& path, const std::string& problem)
    {
        error = source + ": line " + std::to_string(LineOf(path)) + ": " + FieldName(path) + ": " + problem;
        return false;
    }
};

bool ParseTracked(const std::string& text, BenchReader& reader, json& out)
{
    LineTracker lines;
    std::vector<Frame> frames;
    auto pathNow = [&frames]() {
        std::string p;
        for (const Frame& f : frames) p += "/" + (f.array ? std::to_string(f.index) : f.key);
        return p;
    };
    auto elementDone = [&frames]() {
        if (!frames.empty() && frames.back().array) frames.back().index++;
    };
    json::parser_callback_t cb = [&](int, json::parse_event_t event, json& parsed) {
        switch (event) {
        case json::parse_event_t::object_start:
        case json::parse_event_t::array_start:
            reader.lineOf.emplace(pathNow(), lines.line);
            frames.push_back({event == json::parse_event_t::array_start, 0, std::string()});
            break;
        case json::parse_event_t::key:
            frames.back().key = parsed.get<std::string>();
            reader.lineOf[pathNow()] = lines.line;
            break;
        case json::parse_event_t::value:
            if (!frames.empty() && frames.back().array) reader.lineOf.emplace(pathNow(), lines.line);
            elementDone();
            break;
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            frames.pop_back();
            elementDone();
            break;
        }
        return true;
    };
    try {
        CountingIterator first{text.data(), &lines}, last{text.data() + text.size(), &lines};
        out = json::parse(first, last, cb);
    } catch (const json::parse_error& e) {
        std::string what = e.what();
        size_t at = what.find("line ");
        reader.error = reader.source + ": " + (at == std::string::npos ? what : what.substr(at));
        return false;
    }
    return true;
}

// ---- field checks --------------------------------------------------------------------------

struct Field {
    BenchReader& reader;
    const json& object;
    std::string path;

    bool Has(const char* key) const { return object.contains(key); }
    std::string PathOf(const char* key) const { return path + "/" + key; }

    bool Int(const char* key, long long lo, long long hi, long long& value, bool required = false)
    {
        if (!Has(key)) return !required || reader.Fail(PathOf(key), "is missing");
        const json& v = object[key];
        if (!v.is_number_integer()) return reader.Fail(PathOf(key), "must be a whole number");
        long long n = v.get<long long>();
        if (n < lo || n > hi)
            return reader.Fail(PathOf(key), "is " + std::to_string(n) + ", outside " + std::to_string(lo) + ".." + std::to_string(hi));
        value = n;
        return true;
    }
    bool Number(const char* key, double& value)
    {
        if (!Has(key)) return true;
        if (!object[key].is_number()) return reader.Fail(PathOf(key), "must be a number");
        value = object[key].get<double>();
        return true;
    }
    bool Text(const char* key, std::string& value, bool required = false)
    {
        if (!Has(key)) return !required || reader.Fail(PathOf(key), "is missing");
        if (!object[key].is_string()) return reader.Fail(PathOf(key), "must be a text");
        value = object[key].get<std::string>();
        return true;
    }
    bool Bool(const char* key, bool& value)
    {
        if (!Has(key)) return true;
        if (!object[key].is_boolean()) return reader.Fail(PathOf(key), "must be true or false");
        value = object[key].get<bool>();
        return true;
    }
    template <typename E, size_t N>
    bool Choice(const char* key, const std::pair<const char*, E> (&names)[N], E& value, bool required = false)
    {
        std::string text;
        if (!Text(key, text, required)) return false;
        if (!Has(key)) return true;
        std::string known;
        for (const auto& n : names) {
            if (text == n.first) { value = n.second; return true; }
            known += known.empty() ? n.first : std::string(", ") + n.first;
        }
        return reader.Fail(PathOf(key), "has the unknown value '" + text + "' (known: " + known + ")");
    }
    bool OnlyKnown(std::initializer_list<const char*> keys)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool known = false;
            for (const char* k : keys) known = known || it.key() == k;
            if (!known) return reader.Fail(path + "/" + it.key(), "is not a known field");
        }
        return true;
    }
};

const std::pair<const char*, SimKind> kindNames[] = {
    {"multimeter", KIND_MULTIMETER}, {"binary", KIND_BINARY}, {"srq", KIND_SRQ}, {"silent", KIND_SILENT}};
const std::pair<const char*, SimShape> shapeNames[] = {
    {"constant", SHAPE_CONSTANT}, {"ramp", SHAPE_RAMP}, {"sine", SHAPE_SINE}, {"noise", SHAPE_NOISE}};
const std::pair<const char*, SimFormat> formatNames[] = {
    {"signed", FORMAT_SIGNED}, {"unsigned", FORMAT_UNSIGNED}, {"float", FORMAT_FLOAT}};

bool ReadSignal(BenchReader& r, const json& j, const std::string& path, SimSignal& s)
{
    if (!j.is_object()) return r.Fail(path, "must be an object");
    Field f{r, j, path};
    long long seed = s.seed;
    return f.OnlyKnown({"shape", "offset", "amplitude", "period", "step", "seed"}) &&
           f.Choice("shape", shapeNames, s.shape) && f.Number("offset", s.offset) &&
           f.Number("amplitude", s.amplitude) && f.Number("period", s.period) && f.Number("step", s.step) &&
           f.Int("seed", 0, 0xFFFFFFFFll, seed) && ((s.seed = static_cast<uint32_t>(seed)), true);
}

bool ReadInstrument(BenchReader& r, const json& j, const std::string& path, SimInstrument& d)
{
    if (!j.is_object()) return r.Fail(path, "must be an object");
    Field f{r, j, path};
    long long address = 0, width = d.width, count = d.count, readyBit = d.readyBit, delay = d.delayMs;
    if (!f.OnlyKnown({"address", "type", "name", "idn", "signal", "width", "format", "count", "header",
                      "appendEos", "talkOnly", "readyBit", "delayMs"}) ||
        !f.Int("address", 0, SIM_ADDRESS_MAX, address, true) || !f.Choice("type", kindNames, d.kind, true))
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

bool ReadBench(BenchReader& r, const json& j, std::vector<SimInstrument>& out, uint32_t& opCost, std::string& trace)
{
    if (!j.is_object()) return r.Fail("", "the bench must be a JSON object");
    Field f{r, j, ""};
    long long cost = opCost;
    if (!f.OnlyKnown({"instruments", "opCostMs", "trace"}) || !f.Int("opCostMs", 0, 60000, cost) || !f.Text("trace", trace))
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
    BenchReader reader;
    reader.source = sourceName;
    json j;
    std::vector<SimInstrument> instruments;
    uint32_t opCost = 1;
    std::string trace;
    s.instruments.clear();
    s.benchOk = false;
    if (!ParseTracked(text, reader, j) || !ReadBench(reader, j, instruments, opCost, trace)) {
        SimReportProblem(reader.error);
        return false;
    }
    s.instruments = instruments;
    s.opCostMs = opCost;
    s.benchTrace = trace;
    s.benchOk = true;
    s.message.clear();
    return true;
}

static std::string DriverDirectory()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&DriverDirectory), &self);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, sizeof path);
    std::string dir = path;
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

static bool ReadFileText(const std::string& name, std::string& text)
{
    FILE* f = fopen(name.c_str(), "rb");
    if (!f) return false;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    fclose(f);
    return true;
}

bool SimLoadConfiguredBench()
{
    char named[MAX_PATH] = "";
    std::string file;
    if (GetEnvironmentVariableA("TAVK_SIM_BENCH", named, sizeof named) > 0) file = named;
    else if (GetFileAttributesA((DriverDirectory() + "tavk_bench.json").c_str()) != INVALID_FILE_ATTRIBUTES)
        file = DriverDirectory() + "tavk_bench.json";
    // The trace named in the environment is opened first, so that it shows a bad bench too.
    char trace[MAX_PATH] = "";
    bool envTrace = GetEnvironmentVariableA("TAVK_SIM_TRACE", trace, sizeof trace) > 0;
    if (envTrace) SimOpenTrace(trace);
    bool ok;
    if (file.empty()) {
        ok = SimLoadBenchText(defaultBench, "(built-in bench)");
    } else {
        std::string text;
        if (!ReadFileText(file, text)) {
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

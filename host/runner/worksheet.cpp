// Worksheet loading: JSON text to checked field assignments.
#include "host/runner/worksheet.h"

#include <windows.h>
#include <fstream>
#include <sstream>
#include <cmath>
#include <nlohmann/json.hpp>
#include "common/jsonfields.h"
#include "extavik/data/gpibfields.h"
#include "extavik/texts/modtexts.h"

using nlohmann::json;

namespace {

// The module comment lives in the module record, not in the parameter block.
const GpibField MODULE_COMMENT = {"moduleComment", FIELD_TEXT, offsetof(ModuleRecord, moduleComment), 0, 0,
                                  sizeof(((ModuleRecord*)0)->moduleComment) - 1, nullptr, 0, nullptr, 0,
                                  {0, 0, 0, 0, 0}, {0, 0}};

// The own address is asked when a module is created, so a worksheet gives it beside the
// module's type and name rather than as a field.
bool IsStructural(const GpibField& f) { return &f == &GPIB_FIELDS[GF_MY_ADDRESS]; }

// Per-channel or module-wide fields, with the ranges the settings dialogs accept.
std::vector<FieldDesc> TableFields(bool perChannel)
{
    std::vector<FieldDesc> fields;
    for (const GpibField& f : GPIB_FIELDS)
        if ((f.stride != 0) == perChannel && !IsStructural(f)) fields.push_back({f.name, &f, false});
    if (!perChannel) fields.push_back({MODULE_COMMENT.name, &MODULE_COMMENT, true});
    return fields;
}

const std::vector<FieldDesc> CHANNEL_FIELDS = TableFields(true);
const std::vector<FieldDesc> MODULE_FIELDS = TableFields(false);

std::string ChoiceNames(const GpibFieldChoice* choices)
{
    std::string names;
    for (const GpibFieldChoice* c = choices; c->name; ++c)
        names += (names.empty() ? "" : ", ") + std::string(c->name);
    return names;
}

bool IsHexDigits(const std::string& text)
{
    for (char ch : text)
        if (!isxdigit(static_cast<unsigned char>(ch))) return false;
    return true;
}

// Turns one JSON value into a checked assignment; returns "" or what is wrong with it.
std::string ReadField(const FieldDesc& desc, const json& value, FieldAssignment& out)
{
    out.field = &desc;
    const GpibField& field = *desc.def;
    switch (field.kind) {
    case FIELD_TEXT: {
        if (!value.is_string()) return "must be a text";
        out.text = Utf8ToCp932(value.get<std::string>());
        if (out.text.size() > field.max)
            return "is longer than " + std::to_string(static_cast<int>(field.max)) + " bytes";
        if (field.hexDigits && !IsHexDigits(out.text)) return "must hold hexadecimal digits only";
        return "";
    }
    case FIELD_CHOICE:
    case FIELD_CHOICE16: {
        std::string name = value.is_string() ? value.get<std::string>() : value.dump();
        for (const GpibFieldChoice* c = field.choices; c->name; ++c) {
            if (name == c->name || (value.is_number_integer() && value.get<int64_t>() == c->value)) {
                out.number = c->value;
                return "";
            }
        }
        return "has the unknown value " + name + " (expected " + ChoiceNames(field.choices) + ")";
    }
    case FIELD_FLAG:
        if (value.is_boolean()) { out.number = value.get<bool>() ? 1 : 0; return ""; }
        [[fallthrough]];
    default: {
        if (!value.is_number()) return "must be a number";
        double number = value.get<double>();
        if (field.kind != FIELD_DOUBLE && number != std::floor(number)) return "must be a whole number";
        if (number < field.min || number > field.max) {
            std::ostringstream range;
            range << "is " << value.dump() << ", outside " << field.min << ".." << field.max;
            return range.str();
        }
        out.number = number;
        return "";
    }
    }
}

// Where a refusal is: the file, the line of the value at pointer, the module (or action or
// experiment) and the field.
struct Context {
    const JsonReader* reader;
    std::string path;
    std::string module;   // "module 'name'", "action #N", "experiment" or ""
    std::string Where(const std::string& pointer, const std::string& field) const
    {
        std::string where = path + ": line " + std::to_string(reader->LineOf(pointer)) + ": ";
        if (!module.empty()) where += module + ": ";
        if (!field.empty()) where += "field '" + field + "' ";
        return where;
    }
};

bool ReadObjectFields(const json& object, const std::string& pointer, const std::vector<FieldDesc>& fields,
                      int channel, const std::string& prefix, const Context& ctx,
                      const std::vector<std::string>& skip, std::vector<FieldAssignment>& out, std::string& error)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool skipped = false;
        for (const std::string& s : skip) skipped |= (it.key() == s);
        if (skipped) continue;
        const std::string at = pointer + "/" + it.key();
        const FieldDesc* field = nullptr;
        for (const FieldDesc& f : fields)
            if (it.key() == f.name) field = &f;
        if (!field) {
            error = ctx.Where(at, prefix + it.key()) + "is not a known field";
            return false;
        }
        FieldAssignment assignment;
        assignment.channel = channel;
        std::string problem = ReadField(*field, it.value(), assignment);
        if (!problem.empty()) {
            error = ctx.Where(at, prefix + it.key()) + problem;
            return false;
        }
        out.push_back(assignment);
    }
    return true;
}

bool ReadModuleIdentity(const json& m, const std::string& at, size_t index, Context& ctx,
                        WorksheetModule& module, std::string& error)
{
    if (m.contains("name")) {
        if (!m["name"].is_string()) { error = ctx.Where(at + "/name", "name") + "must be a text"; return false; }
        module.name = m["name"].get<std::string>();
        ctx.module = "module '" + module.name + "'";
        if (Utf8ToCp932(module.name).size() > 12) { error = ctx.Where(at + "/name", "name") + "is longer than 12 bytes"; return false; }
    } else {
        module.name = "GPIB" + std::to_string(index + 1);
    }
    if (!m.contains("type") || !m["type"].is_string()) {
        error = ctx.Where(at + "/type", "type") + "must be \"GPIB-IN\" or \"GPIB-OUT\"";
        return false;
    }
    std::string type = m["type"].get<std::string>();
    if (type == "GPIB-IN") module.type = ModuleType::In;
    else if (type == "GPIB-OUT") module.type = ModuleType::Out;
    else { error = ctx.Where(at + "/type", "type") + "is " + type + ", expected \"GPIB-IN\" or \"GPIB-OUT\""; return false; }

    module.myAddress = DEFAULT_MY_ADDRESS;
    if (m.contains("myAddress")) {
        const json& a = m["myAddress"];
        const GpibField& own = GPIB_FIELDS[GF_MY_ADDRESS];
        if (!a.is_number_integer() || a.get<int64_t>() < own.min || a.get<int64_t>() > own.max) {
            std::ostringstream range;
            range << "must be a whole number " << own.min << ".." << own.max;
            error = ctx.Where(at + "/myAddress", "myAddress") + range.str();
            return false;
        }
        module.myAddress = static_cast<int>(a.get<int64_t>());
    }
    return true;
}

bool ReadModule(const json& m, size_t index, Context ctx, WorksheetModule& module, std::string& error)
{
    const std::string at = "/modules/" + std::to_string(index);
    ctx.module = "module #" + std::to_string(index + 1);
    if (!m.is_object()) { error = ctx.Where(at, "") + "must be an object"; return false; }
    if (!ReadModuleIdentity(m, at, index, ctx, module, error)) return false;

    static const std::vector<std::string> structural = {"name", "type", "myAddress", "channels"};
    if (!ReadObjectFields(m, at, MODULE_FIELDS, -1, "", ctx, structural, module.assignments, error)) return false;

    module.channels = 1;
    if (m.contains("channels")) {
        const json& channels = m["channels"];
        if (!channels.is_array() || channels.empty() || channels.size() > GPIB_CHANNELS) {
            error = ctx.Where(at + "/channels", "channels") + "must be a list of 1 to 16 channels";
            return false;
        }
        module.channels = static_cast<int>(channels.size());
        for (size_t c = 0; c < channels.size(); ++c) {
            const std::string channelAt = at + "/channels/" + std::to_string(c);
            std::string prefix = "channels[" + std::to_string(c) + "].";
            if (!channels[c].is_object()) { error = ctx.Where(channelAt, prefix) + "must be an object"; return false; }
            if (!ReadObjectFields(channels[c], channelAt, CHANNEL_FIELDS, static_cast<int>(c), prefix, ctx, {},
                                  module.assignments, error))
                return false;
        }
    }
    return true;
}

bool ReadActionChannels(const json& a, const std::string& at, const Worksheet& sheet, const Context& ctx,
                        WorksheetAction& action, std::string& error)
{
    action.mask = 0;
    if (!a.contains("channels")) return true;
    if (!a["channels"].is_array()) { error = ctx.Where(at + "/channels", "channels") + "must be a list of channel numbers"; return false; }
    for (size_t i = 0; i < a["channels"].size(); ++i) {
        const json& c = a["channels"][i];
        if (!c.is_number_integer() || c.get<int64_t>() < 0 || c.get<int64_t>() >= sheet.modules[action.module].channels) {
            error = ctx.Where(at + "/channels/" + std::to_string(i), "channels") + "names a channel the module does not have";
            return false;
        }
        action.mask |= 1u << c.get<int>();
    }
    return true;
}

bool ReadAction(const json& a, size_t index, const Worksheet& sheet, Context ctx,
                WorksheetAction& action, std::string& error)
{
    const std::string at = "/actions/" + std::to_string(index);
    ctx.module = "action #" + std::to_string(index + 1);
    if (!a.is_object()) { error = ctx.Where(at, "") + "must be an object"; return false; }
    if (!a.contains("cycle") || !a["cycle"].is_number_unsigned()) { error = ctx.Where(at + "/cycle", "cycle") + "must be a whole number"; return false; }
    action.cycle = a["cycle"].get<uint32_t>();
    if (!a.contains("module") || !a["module"].is_string()) { error = ctx.Where(at + "/module", "module") + "must name a module"; return false; }
    std::string name = a["module"].get<std::string>();
    action.module = sheet.modules.size();
    for (size_t i = 0; i < sheet.modules.size(); ++i)
        if (sheet.modules[i].name == name) action.module = i;
    if (action.module == sheet.modules.size()) { error = ctx.Where(at + "/module", "") + "field 'module': no module is named '" + name + "'"; return false; }
    static const struct { const char* name; ActionVerb verb; } verbs[] = {
        {"arm", ActionVerb::Arm}, {"run", ActionVerb::Run}, {"reset", ActionVerb::Reset}, {"describe", ActionVerb::Describe}};
    std::string verb = a.value("action", std::string("run"));
    bool found = false;
    for (const auto& v : verbs)
        if (verb == v.name) { action.verb = v.verb; found = true; }
    if (!found) { error = ctx.Where(at + "/action", "action") + "is " + verb + " (expected arm, run, reset, describe)"; return false; }
    if (!ReadActionChannels(a, at, sheet, ctx, action, error)) return false;
    for (auto it = a.begin(); it != a.end(); ++it) {
        if (it.key() != "cycle" && it.key() != "module" && it.key() != "action" && it.key() != "channels") {
            error = ctx.Where(at + "/" + it.key(), it.key()) + "is not a known field";
            return false;
        }
    }
    return true;
}

// One experiment setting: its range and where it goes.
struct ExperimentSetting {
    const char* name;
    const char* refusal;
    bool (*take)(const json& v, Worksheet& sheet);   // false: out of range
};

const ExperimentSetting EXPERIMENT_SETTINGS[] = {
    {"samplePeriodMs", "must be a number above 0", [](const json& v, Worksheet& sheet) {
         if (!v.is_number() || v.get<double>() <= 0 || v.get<double>() > 3600000) return false;
         sheet.samplePeriodMs = v.get<double>();
         return true;
     }},
    {"blockSize", "must be a whole number 1..32767", [](const json& v, Worksheet& sheet) {
         if (!v.is_number_unsigned() || v.get<uint64_t>() < 1 || v.get<uint64_t>() > 32767) return false;
         sheet.blockSize = v.get<uint32_t>();
         return true;
     }},
    {"cycles", "must be a whole number 1..100000000", [](const json& v, Worksheet& sheet) {
         if (!v.is_number_unsigned() || v.get<uint64_t>() < 1 || v.get<uint64_t>() > 100000000) return false;
         sheet.cycles = v.get<uint32_t>();
         return true;
     }},
    {"startTicks", "must be a whole number 0..4294967295", [](const json& v, Worksheet& sheet) {
         if (!v.is_number_unsigned() || v.get<uint64_t>() > 0xFFFFFFFFull) return false;
         sheet.startTicks = v.get<uint32_t>();
         return true;
     }},
};

bool ReadExperiment(const json& e, Context ctx, Worksheet& sheet, std::string& error)
{
    ctx.module = "experiment";
    if (!e.is_object()) { error = ctx.Where("/experiment", "") + "must be an object"; return false; }
    for (auto it = e.begin(); it != e.end(); ++it) {
        const std::string at = "/experiment/" + it.key();
        const ExperimentSetting* setting = nullptr;
        for (const ExperimentSetting& s : EXPERIMENT_SETTINGS)
            if (it.key() == s.name) setting = &s;
        if (!setting) { error = ctx.Where(at, it.key()) + "is not a known field"; return false; }
        if (!setting->take(it.value(), sheet)) { error = ctx.Where(at, it.key()) + setting->refusal; return false; }
    }
    return true;
}

std::string Directory(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

const std::vector<FieldDesc>& ChannelFields() { return CHANNEL_FIELDS; }
const std::vector<FieldDesc>& ModuleFields() { return MODULE_FIELDS; }

const FieldDesc* FindField(const std::string& name, bool perChannel)
{
    for (const FieldDesc& f : perChannel ? CHANNEL_FIELDS : MODULE_FIELDS)
        if (name == f.name) return &f;
    return nullptr;
}

// The top-level fields but the modules and actions, which are read once all are known.
bool ReadTopLevel(const json& doc, const Context& ctx, Worksheet& sheet, std::string& error)
{
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        const std::string& key = it.key();
        if (key == "experiment") {
            if (!ReadExperiment(it.value(), ctx, sheet, error)) return false;
        } else if (key == "bench" || key == "trace") {
            if (!it.value().is_string()) { error = ctx.Where("/" + key, key) + "must name a file"; return false; }
            std::string file = it.value().get<std::string>();
            if (!file.empty() && file[0] != '/' && file.find(':') == std::string::npos) file = Directory(ctx.path) + file;
            (key == "bench" ? sheet.benchFile : sheet.traceFile) = file;
        } else if (key != "modules" && key != "actions" && key != "description") {
            error = ctx.Where("/" + key, key) + "is not a known field";
            return false;
        }
    }
    return true;
}

bool ParseWorksheetText(const std::string& text, const std::string& path, Worksheet& sheet, std::string& error)
{
    JsonReader reader;
    reader.source = path;
    json doc;
    if (!JsonParseTracked(text, reader, doc)) {
        error = reader.error;   // names the line and column
        return false;
    }
    Context ctx{&reader, path, ""};
    if (!doc.is_object()) { error = ctx.Where("", "") + "a worksheet must be a JSON object"; return false; }
    sheet = Worksheet();
    sheet.path = path;
    if (!ReadTopLevel(doc, ctx, sheet, error)) return false;
    if (!doc.contains("modules") || !doc["modules"].is_array() || doc["modules"].empty()) {
        error = ctx.Where("/modules", "modules") + "must list at least one module";
        return false;
    }
    for (size_t i = 0; i < doc["modules"].size(); ++i) {
        WorksheetModule module;
        if (!ReadModule(doc["modules"][i], i, ctx, module, error)) return false;
        for (const WorksheetModule& other : sheet.modules) {
            if (other.name != module.name) continue;
            Context named = ctx;
            named.module = "module '" + module.name + "'";
            error = named.Where("/modules/" + std::to_string(i) + "/name", "name") + "is used twice";
            return false;
        }
        sheet.modules.push_back(module);
    }
    if (doc.contains("actions")) {
        if (!doc["actions"].is_array()) { error = ctx.Where("/actions", "actions") + "must be a list"; return false; }
        for (size_t i = 0; i < doc["actions"].size(); ++i) {
            WorksheetAction action;
            if (!ReadAction(doc["actions"][i], i, sheet, ctx, action, error)) return false;
            sheet.actions.push_back(action);
        }
    }
    return true;
}

bool LoadWorksheet(const std::string& path, Worksheet& sheet, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) { error = path + ": cannot open the worksheet"; return false; }
    std::stringstream text;
    text << in.rdbuf();
    return ParseWorksheetText(text.str(), path, sheet, error);
}

void ApplyAssignments(const WorksheetModule& module, ModuleRecord* record)
{
    for (const FieldAssignment& a : module.assignments) {
        uint8_t* base = a.field->inRecord ? reinterpret_cast<uint8_t*>(record)
                                          : reinterpret_cast<uint8_t*>(record->params);
        const GpibField& f = *a.field->def;
        if (f.kind == FIELD_TEXT) StoreGpibFieldText(base, f, a.channel, a.text.data(), a.text.size());
        else StoreGpibFieldNumber(base, f, a.channel, a.number);
    }
}

namespace {
std::string Convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty()) return text;
    int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
    int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(to, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
}
}  // namespace

std::string Utf8ToCp932(const std::string& text) { return Convert(text, CP_UTF8, 932); }
std::string Cp932ToUtf8(const std::string& text) { return Convert(text, 932, CP_UTF8); }

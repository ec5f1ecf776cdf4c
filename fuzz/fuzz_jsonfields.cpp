// Fuzz target: the settings reader over any bytes. Never a crash; a file that does not parse is
// refused with the file, the line and the column; every value refused by a field check names the
// file, the line its field starts on and the field. The lines are checked against a model that
// finds where each value of an accepted text starts. The adapter driver's settings file goes
// through its real reader too.
#include "boards/adapter/adaptersettings.h"
#include "common/jsonfields.h"
#include "fuzz/fuzzcheck.h"
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <map>
#include <set>
#include <string>

namespace {

const char kSource[] = "fuzz.json";

// Reads "SOURCE: line N" at the start of a message; the rest after it goes to *rest.
bool MessageLine(const std::string& message, int* line, std::string* rest)
{
    std::string head = std::string(kSource) + ": line ";
    if (message.compare(0, head.size(), head) != 0)
        return false;
    size_t at = head.size(), end = at;
    while (end < message.size() && message[end] >= '0' && message[end] <= '9' && end - at < 9)
        ++end;
    if (end == at)
        return false;
    *line = atoi(message.substr(at, end - at).c_str());
    *rest = message.substr(end);
    return true;
}

int LineCount(const std::string& text)
{
    int n = 1;
    for (char c : text)
        n += c == '\n';
    return n;
}

// Where each value starts in a text the parser accepted, by its JSON pointer: for a member the
// line of its key, for an element the line of its first character. Paths met twice (repeated
// keys, keys with '/') are noted, their lines are not checked.
struct LineModel {
    explicit LineModel(const std::string& t) : text(t) {}
    const std::string& text;
    size_t at = 0;
    int line = 1;
    std::map<std::string, int> lineOf;
    std::set<std::string> repeated;

    void Note(const std::string& path, int where)
    {
        if (!lineOf.emplace(path, where).second)
            repeated.insert(path);
    }
    void Blank()
    {
        while (at < text.size() && strchr(" \t\r\n", text[at]) && text[at] != '\0') {
            line += text[at] == '\n';
            ++at;
        }
    }
    std::string String()
    {
        std::string raw;
        ++at;
        while (at < text.size() && text[at] != '"') {
            if (text[at] == '\\')
                raw += text[at++];
            raw += text[at++];
        }
        ++at;
        return raw;
    }
    // A key as the parser gives it: the model knows only plain keys; others are left unchecked.
    static bool Plain(const std::string& raw) { return raw.find('\\') == std::string::npos; }

    void Value(const std::string& path)
    {
        Blank();
        if (at >= text.size())
            return;
        char c = text[at];
        if (c == '{') {
            ++at;
            for (;;) {
                Blank();
                if (text[at] == '}') { ++at; return; }
                if (text[at] == ',') { ++at; Blank(); }
                int keyLine = line;
                std::string key = String();
                std::string child = Plain(key) ? path + "/" + key : path + "/\\?";
                if (!Plain(key))
                    repeated.insert(child);
                Note(child, keyLine);
                Blank();
                ++at;  // the colon
                Value(child);
            }
        } else if (c == '[') {
            ++at;
            for (size_t index = 0;; ++index) {
                Blank();
                if (text[at] == ']') { ++at; return; }
                if (text[at] == ',') { ++at; Blank(); }
                std::string child = path + "/" + std::to_string(index);
                Note(child, line);
                Value(child);
            }
        } else if (c == '"') {
            String();
        } else {
            while (at < text.size() && !strchr(" \t\r\n,]}", text[at]))
                ++at;
        }
    }
};

// Every path of the parsed value, with a field check that refuses it, as a settings reader would.
void CheckRefusals(const json& value, const std::string& path, JsonReader& reader, const LineModel& model)
{
    reader.Fail(path, "refused");
    int line;
    std::string rest;
    FUZZ_CHECK(MessageLine(reader.error, &line, &rest));
    FUZZ_CHECK(line >= 1 && line <= LineCount(model.text));
    std::string field = JsonReader::FieldName(path);
    if (path.empty()) {
        FUZZ_CHECK(rest == ": refused");
    } else {
        FUZZ_CHECK(!field.empty());
        FUZZ_CHECK(rest == ": " + field + ": refused");
    }
    bool hidden = false;
    for (const std::string& r : model.repeated)
        hidden = hidden || path.compare(0, r.size(), r) == 0;
    auto it = model.lineOf.find(path);
    if (!hidden && it != model.lineOf.end())
        FUZZ_CHECK(line == it->second);

    if (value.is_object()) {
        JsonField f{reader, value, path};
        for (auto member = value.begin(); member != value.end(); ++member) {
            long long n;
            std::string text;
            bool flag;
            double d;
            // Each check either takes the value or refuses it with a message for its field.
            bool ok = f.Int(member.key().c_str(), 0, 9, n) && f.Text(member.key().c_str(), text) &&
                      f.Bool(member.key().c_str(), flag) && f.Number(member.key().c_str(), d);
            if (!ok) {
                FUZZ_CHECK(MessageLine(reader.error, &line, &rest));
                FUZZ_CHECK(rest.size() > 2 && rest.compare(0, 2, ": ") == 0);
            }
            CheckRefusals(member.value(), path + "/" + member.key(), reader, model);
        }
    } else if (value.is_array()) {
        for (size_t i = 0; i < value.size(); ++i)
            CheckRefusals(value[i], path + "/" + std::to_string(i), reader, model);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    JsonReader reader;
    reader.source = kSource;
    json parsed;
    int line;
    std::string rest;
    if (!JsonParseTracked(text, reader, parsed)) {
        // "fuzz.json: line 3, column 7: syntax error ...", or a value the parser cannot hold
        // at its field: "fuzz.json: line 3: list[2]: number overflow ..."
        FUZZ_CHECK(MessageLine(reader.error, &line, &rest));
        FUZZ_CHECK(line >= 1 && line <= LineCount(text));
        FUZZ_CHECK(rest.compare(0, 9, ", column ") == 0 || (rest.size() > 2 && rest.compare(0, 2, ": ") == 0));
    } else {
        LineModel model(text);
        // The parser skips a UTF-8 byte order mark at the start.
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            model.at = 3;
        model.Value("");
        CheckRefusals(parsed, "", reader, model);
    }

    AdapterSettings settings;
    std::string error;
    if (AdapterReadSettings(text, kSource, settings, error)) {
        FUZZ_CHECK(error.empty());
        FUZZ_CHECK(settings.serial ? !settings.serialPort.empty() : !settings.host.empty());
        FUZZ_CHECK(settings.connectTimeoutMs >= 1 && settings.connectTimeoutMs <= ADAPTER_TIMEOUT_LIMIT_MS);
        FUZZ_CHECK(settings.replyMarginMs <= ADAPTER_TIMEOUT_LIMIT_MS);
    } else {
        FUZZ_CHECK(MessageLine(error, &line, &rest));
        FUZZ_CHECK(line >= 1 && line <= LineCount(text));
        FUZZ_CHECK(rest.size() > 2);
    }
    return 0;
}

// Settings files in JSON, checked field by field: every problem names the file, the line and the
// field ("bench.json: line 7: instruments[2].type: ..."). Shared by the simulated bench, the
// board drivers' settings files and the worksheet runner. Pure: text in, values or a message out.
#pragma once
#include <stdint.h>
#include <map>
#include <string>
#include <utility>
#include <nlohmann/json.hpp>

using nlohmann::json;

struct JsonReader {
    std::string source;     // the file name the messages start with
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
            if (part.empty()) part = "\"\"";  // an empty key is still a field the user can find
            name += index ? "[" + part + "]" : (name.empty() ? part : "." + part);
            if (next == std::string::npos) break;
            at = next + 1;
        }
        return name;
    }

    bool Fail(const std::string& path, const std::string& problem)
    {
        std::string field = FieldName(path);
        error = source + ": line " + std::to_string(LineOf(path)) + ": " + (field.empty() ? "" : field + ": ") + problem;
        return false;
    }
};

// Parses text, noting the line of every value; a syntax error sets reader.error.
bool JsonParseTracked(const std::string& text, JsonReader& reader, json& out);

// A settings file's text as its top-level object: false with reader.error set (a syntax error,
// or no object) otherwise.
inline bool JsonParseSettingsObject(const std::string& text, const std::string& source, JsonReader& reader, json& out)
{
    reader.source = source;
    if (!JsonParseTracked(text, reader, out)) return false;
    return out.is_object() || reader.Fail("", "the settings must be a JSON object");
}

// The fields of one object at path: each check takes a value into its variable, or fails with
// the field's line and name.
struct JsonField {
    JsonReader& reader;
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

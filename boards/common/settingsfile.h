// The drivers' settings files (the simulated bench, a board's settings beside its DLL): JSON read
// with the line of every field noted, checked field by field; a problem names the file, the line
// and the field ("tavk_bench.json: line 4: instruments[0].type: ...").
#pragma once
#include <stdint.h>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <nlohmann/json.hpp>

namespace settings {

using nlohmann::json;

struct Reader {
    std::string source;                 // the file's name, or what stands in for it
    std::map<std::string, int> lineOf;  // line of every value by its JSON pointer
    std::string error;                  // the first problem, ready to show

    int LineOf(std::string path) const;
    static std::string FieldName(const std::string& path);  // "/instruments/2/type" -> instruments[2].type
    bool Fail(const std::string& path, const std::string& problem);
};

// Parses text into out, noting each value's line; a syntax error fills reader.error.
bool Parse(const std::string& text, Reader& reader, json& out);

// The fields of one object at path; each check passes an absent optional field.
struct Field {
    Reader& reader;
    const json& object;
    std::string path;

    bool Has(const char* key) const { return object.contains(key); }
    std::string PathOf(const char* key) const { return path + "/" + key; }
    bool Int(const char* key, long long lo, long long hi, long long& value, bool required = false);
    bool Number(const char* key, double& value);
    bool Text(const char* key, std::string& value, bool required = false);
    bool Bool(const char* key, bool& value);
    bool OnlyKnown(std::initializer_list<const char*> keys);
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
};

// The whole file; false when it cannot be read.
bool ReadFileText(const std::string& name, std::string& text);
bool FileExists(const std::string& name);
// The folder of the DLL or program that holds address, with its trailing separator.
std::string ModuleDirectory(const void* address);

}  // namespace settings

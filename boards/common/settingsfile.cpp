#include "boards/common/settingsfile.h"
#include <windows.h>
#include <stdio.h>
#include <vector>

namespace settings {

namespace {

struct LineCount {
    int line = 1;
};

// Counts the lines as the parser reads, so that each parse event knows its line.
struct CountingIterator {
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;
    const char* p;
    LineCount* lines;
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

}  // namespace

int Reader::LineOf(std::string path) const
{
    for (;;) {
        auto it = lineOf.find(path);
        if (it != lineOf.end()) return it->second;
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) return 1;
        path.erase(slash);
    }
}

std::string Reader::FieldName(const std::string& path)
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

bool Reader::Fail(const std::string& path, const std::string& problem)
{
    std::string field = FieldName(path);
    error = source + ": line " + std::to_string(LineOf(path)) + ": " + (field.empty() ? "" : field + ": ") + problem;
    return false;
}

bool Parse(const std::string& text, Reader& reader, json& out)
{
    LineCount lines;
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

bool Field::Int(const char* key, long long lo, long long hi, long long& value, bool required)
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

bool Field::Number(const char* key, double& value)
{
    if (!Has(key)) return true;
    if (!object[key].is_number()) return reader.Fail(PathOf(key), "must be a number");
    value = object[key].get<double>();
    return true;
}

bool Field::Text(const char* key, std::string& value, bool required)
{
    if (!Has(key)) return !required || reader.Fail(PathOf(key), "is missing");
    if (!object[key].is_string()) return reader.Fail(PathOf(key), "must be a text");
    value = object[key].get<std::string>();
    return true;
}

bool Field::Bool(const char* key, bool& value)
{
    if (!Has(key)) return true;
    if (!object[key].is_boolean()) return reader.Fail(PathOf(key), "must be true or false");
    value = object[key].get<bool>();
    return true;
}

bool Field::OnlyKnown(std::initializer_list<const char*> keys)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* k : keys) known = known || it.key() == k;
        if (!known) return reader.Fail(path + "/" + it.key(), "is not a known field");
    }
    return true;
}

bool ReadFileText(const std::string& name, std::string& text)
{
    FILE* f = fopen(name.c_str(), "rb");
    if (!f) return false;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    fclose(f);
    return true;
}

bool FileExists(const std::string& name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ModuleDirectory(const void* address)
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &self);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, sizeof path);
    std::string dir = path;
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

}  // namespace settings

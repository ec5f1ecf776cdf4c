// Parsing with the line of every value noted (declared in jsonfields.h).
#include "common/jsonfields.h"
#include <iterator>
#include <vector>

namespace {

// Line of every value by its JSON pointer, noted while parsing. The parser reads one character
// past a number before it reports it, so a value's line is that of the last character it read
// that was not white space: the lookahead is then either beside the number or blank.
struct LineTracker {
    int line = 1;
    int tokenLine = 1;
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
        else if (*p != ' ' && *p != '\t' && *p != '\r') lines->tokenLine = lines->line;
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

bool JsonParseTracked(const std::string& text, JsonReader& reader, json& out)
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
            reader.lineOf.emplace(pathNow(), lines.tokenLine);
            frames.push_back({event == json::parse_event_t::array_start, 0, std::string()});
            break;
        case json::parse_event_t::key:
            frames.back().key = parsed.get<std::string>();
            reader.lineOf[pathNow()] = lines.tokenLine;
            break;
        case json::parse_event_t::value:
            if (!frames.empty() && frames.back().array) reader.lineOf.emplace(pathNow(), lines.tokenLine);
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
    } catch (const json::exception& e) {
        // A value the parser cannot hold (a number beyond a double): refused at its field.
        std::string what = e.what();
        size_t at = what.find("] ");
        std::string field = JsonReader::FieldName(pathNow());
        reader.error = reader.source + ": line " + std::to_string(lines.tokenLine) + ": " + (field.empty() ? "" : field + ": ") +
                       (at == std::string::npos ? what : what.substr(at + 2));
        return false;
    }
    return true;
}

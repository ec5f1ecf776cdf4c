// Fuzz target: the command script parser on any bytes of a script field, NUL-terminated or not.
// Every parsed argument must lie inside the field, and the result must equal a model parser
// written straight from the line grammar.
#include "extavik/script/gpibparse.h"
#include "fuzz/fuzzcheck.h"
#include <stdint.h>
#include <string.h>
#include <string>

namespace {

struct ModelCommand {
    int keyword;
    size_t argOffset;   // offset of the argument inside the field
    size_t argLength;
};

bool ModelBlank(char c) { return c == ' ' || c == '\t'; }

std::string ModelUpper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// One line: 0 valid, -1 invalid; keyword 0 for an empty or blank line.
int ModelLine(const std::string& line, int* keyword, size_t* argStart, size_t* argLength)
{
    static const struct { const char* word; bool argument; } kTable[] = {
        { "SETTIME", true }, { "IFC", false }, { "RENON", false }, { "RENOFF", false },
        { "SENDCMD", true }, { "SEND", true }, { "WAIT", true }, { "READ", false },
    };
    *keyword = 0;
    *argStart = 0;
    *argLength = 0;
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos)
        return 0;
    std::string upper = ModelUpper(line);
    for (int i = 0; i < 8; ++i) {
        std::string word = kTable[i].word;
        if (upper.compare(first, word.size(), word) != 0)
            continue;
        *keyword = i + 1;
        std::string rest = line.substr(first + word.size());
        if (!kTable[i].argument)
            return rest.find_first_not_of(" \t") == std::string::npos ? 0 : -1;
        size_t quote = rest.find_first_not_of(" \t");
        size_t last = rest.find_last_not_of(" \t");
        if (rest.size() < 2 || !ModelBlank(rest[0]) || quote == std::string::npos || rest[quote] != '"' ||
            last <= quote + 1 || rest[last] != '"') {
            *argStart = 0;
            return -1;
        }
        *argStart = first + word.size() + quote + 1;
        *argLength = last - quote - 1;
        return 0;
    }
    *keyword = 0;
    return -1;
}

// The script: lines end at CR, LF, NUL or the field's end; CR LF, a lone CR and a lone LF each
// end one line; at most 50 lines. Returns 0 or the 1-based number of the invalid line.
int ModelScript(const char* text, size_t size, ModelCommand* out, int* lines)
{
    std::string field(text, size);
    size_t nul = field.find('\0');
    if (nul != std::string::npos)
        field.resize(nul);
    size_t pos = 0;
    *lines = 0;
    for (int i = 0; i < GPIB_SCRIPT_LINES; ++i) {
        if (pos >= field.size())
            return 0;
        size_t end = field.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = field.size();
        ModelCommand& c = out[i];
        size_t argStart;
        if (ModelLine(field.substr(pos, end - pos), &c.keyword, &argStart, &c.argLength) != 0)
            return i + 1;
        c.argOffset = pos + argStart;
        *lines = i + 1;
        if (end == field.size())
            return 0;
        pos = end + ((field[end] == '\r' && end + 1 < field.size() && field[end + 1] == '\n') ? 2 : 1);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t fieldMax = GPIB_COMMAND_TEXT_SIZE;
    size_t fieldSize = size < fieldMax ? size : fieldMax;
    // Exactly the field's bytes, so that ASan sees any read past it.
    char* field = new char[fieldSize ? fieldSize : 1];
    memcpy(field, data, fieldSize);

    ScriptCommand commands[GPIB_SCRIPT_LINES];
    const ScriptCommand sentinel = { 99, 99, reinterpret_cast<const char*>(&sentinel) };
    for (ScriptCommand& c : commands)
        c = sentinel;
    int failedLine = -7;
    int result = ParseScriptLines(field, fieldSize, commands, &failedLine);

    ModelCommand model[GPIB_SCRIPT_LINES];
    int lines = 0;
    int modelFailed = ModelScript(field, fieldSize, model, &lines);

    FUZZ_CHECK(result == (modelFailed ? -1 : 0));
    FUZZ_CHECK(failedLine == modelFailed);
    int checked = modelFailed ? modelFailed - 1 : GPIB_SCRIPT_LINES;
    for (int i = 0; i < checked; ++i) {
        const ScriptCommand& c = commands[i];
        FUZZ_CHECK(c.keyword >= 0 && c.keyword <= COMMAND_COUNT);
        FUZZ_CHECK(c.argLength >= 0);
        if (i >= lines) {
            FUZZ_CHECK(c.keyword == 0 && c.argLength == 0 && c.argText == nullptr);
            continue;
        }
        FUZZ_CHECK(c.keyword == model[i].keyword);
        FUZZ_CHECK(size_t(c.argLength) == model[i].argLength);
        bool takes = c.keyword && CommandKeywords[c.keyword - 1].takesArgument;
        FUZZ_CHECK(takes == (c.argLength > 0));
        if (c.keyword == 0) {
            FUZZ_CHECK(c.argText == nullptr);
            continue;
        }
        FUZZ_CHECK(c.argText >= field && c.argText <= field + fieldSize);
        FUZZ_CHECK(size_t(c.argText - field) + size_t(c.argLength) <= fieldSize);
        if (takes) {
            FUZZ_CHECK(size_t(c.argText - field) == model[i].argOffset);
            FUZZ_CHECK(c.argText[-1] == '"' && c.argText[c.argLength] == '"');
        }
    }
    if (modelFailed) {
        const ScriptCommand& bad = commands[modelFailed - 1];
        FUZZ_CHECK(bad.keyword == 0 && bad.argLength == 0 && bad.argText == nullptr);
        for (int i = modelFailed; i < GPIB_SCRIPT_LINES; ++i)
            FUZZ_CHECK(memcmp(&commands[i], &sentinel, sizeof sentinel) == 0);
    }

    // The single-line entry on the first line as a terminated string.
    size_t n = 0;
    while (n < fieldSize && field[n] && field[n] != '\r' && field[n] != '\n')
        ++n;
    std::string line(field, n);
    int32_t keyword = -1, argStart = -1, argLength = -1;
    int lineResult = ParseCommandLine(line.c_str(), &keyword, &argStart, &argLength);
    int modelKeyword;
    size_t modelStart, modelLength;
    int modelResult = ModelLine(line, &modelKeyword, &modelStart, &modelLength);
    FUZZ_CHECK(lineResult == modelResult);
    if (lineResult == 0) {
        FUZZ_CHECK(keyword == modelKeyword);
        FUZZ_CHECK(size_t(argStart) == modelStart && size_t(argLength) == modelLength);
    } else {
        FUZZ_CHECK(argStart == 0 && argLength == 0);
    }
    delete[] field;
    return 0;
}

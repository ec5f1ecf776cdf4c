// Command script parser: splits a script into lines and checks the syntax of each line.
#include "extavik/script/gpibparse.h"
#include <string.h>

const CommandKeyword CommandKeywords[COMMAND_COUNT] = {
#define SCRIPT_COMMAND_KEYWORD(name, takes, handler, caption) {#name, takes},
    SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_KEYWORD)
#undef SCRIPT_COMMAND_KEYWORD
};

// Whether keyword a begins with keyword b.
static constexpr bool KeywordBeginsWith(const char* a, const char* b)
{
    return *b == 0 || (*a == *b && KeywordBeginsWith(a + 1, b + 1));
}

// No keyword begins with one that stands before it: else the earlier one would always match.
static constexpr bool CommandKeywordsMatchInOrder()
{
#define SCRIPT_COMMAND_NAME(name, takes, handler, caption) #name,
    constexpr const char* names[] = {SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_NAME)};
#undef SCRIPT_COMMAND_NAME
    for (int later = 0; later < COMMAND_COUNT; ++later)
        for (int earlier = 0; earlier < later; ++earlier)
            if (KeywordBeginsWith(names[later], names[earlier]))
                return false;
    return true;
}
static_assert(CommandKeywordsMatchInOrder(), "a keyword stands after a keyword it begins with");

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

static bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

static char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// Whether the keyword stands at line[pos..], comparing ASCII letters without case.
static bool KeywordAt(const char* line, size_t pos, size_t length, const char* keyword)
{
    size_t k = strlen(keyword);
    if (length - pos < k)
        return false;
    for (size_t i = 0; i < k; ++i)
        if (UpperAscii(line[pos + i]) != keyword[i])
            return false;
    return true;
}

static int MatchKeyword(const char* line, size_t pos, size_t length)
{
    for (int i = 0; i < COMMAND_COUNT; ++i)
        if (KeywordAt(line, pos, length, CommandKeywords[i].keyword))
            return i + 1;
    return CMD_NONE;
}

static int CheckOnlyBlanks(const char* line, size_t pos, size_t length)
{
    for (; pos < length; ++pos)
        if (!IsBlank(line[pos]))
            return -1;
    return 0;
}

// The quoted argument after a keyword: blank, blanks, quote, text, closing quote, blanks.
static int ParseArgument(const char* line, size_t pos, size_t length, int32_t* argStart, int32_t* argLength)
{
    if (pos + 1 >= length || !IsBlank(line[pos]))
        return -1;
    while (pos < length && IsBlank(line[pos]))
        ++pos;
    if (pos >= length || line[pos] != '"')
        return -1;
    size_t start = pos + 1;
    size_t last = length - 1;
    while (IsBlank(line[last]))
        --last;                       // stops at the opening quote at the latest
    if (last < start || line[last] != '"')
        return -1;
    *argStart = int32_t(start);
    *argLength = int32_t(last - start);
    return *argLength == 0 ? -1 : 0;
}

int ParseCommandLine(const char* line, int32_t* keyword, int32_t* argStart, int32_t* argLength)
{
    *keyword = 0;
    *argStart = 0;
    *argLength = 0;
    size_t length = strlen(line);
    size_t pos = 0;
    while (pos < length && IsBlank(line[pos]))
        ++pos;
    if (pos == length)
        return 0;
    int found = MatchKeyword(line, pos, length);
    if (found == CMD_NONE)
        return -1;
    *keyword = found;
    pos += strlen(CommandKeywords[found - 1].keyword);
    if (!CommandKeywords[found - 1].takesArgument)
        return CheckOnlyBlanks(line, pos, length);
    int result = ParseArgument(line, pos, length, argStart, argLength);
    if (result != 0) {
        *argStart = 0;
        *argLength = 0;
    }
    return result;
}

static void ClearCommand(ScriptCommand* command)
{
    command->keyword = 0;
    command->argLength = 0;
    command->argText = nullptr;
}

// Length of the line at text[pos..], ending at CR, LF, NUL or the end of the field.
static size_t LineLength(const char* text, size_t pos, size_t fieldSize)
{
    size_t n = 0;
    while (pos + n < fieldSize && text[pos + n] != '\0' && !IsLineEnd(text[pos + n]))
        ++n;
    return n;
}

// Length of the separator at text[pos..]: CR LF counts as one line break, and so does a lone
// CR or LF; the terminating NUL and the end of the field are never stepped over.
static size_t SeparatorLength(const char* text, size_t pos, size_t fieldSize)
{
    if (pos >= fieldSize || !IsLineEnd(text[pos]))
        return 0;
    if (text[pos] == '\r' && pos + 1 < fieldSize && text[pos + 1] == '\n')
        return 2;
    return 1;
}

int ParseScriptLines(const char* text, size_t fieldSize, ScriptCommand* commands, int* failedLine)
{
    char line[SCRIPT_LINE_BUFFER];
    size_t pos = 0;
    bool ended = false;
    *failedLine = 0;
    if (fieldSize > GPIB_COMMAND_TEXT_SIZE)
        fieldSize = GPIB_COMMAND_TEXT_SIZE;
    for (int i = 0; i < GPIB_SCRIPT_LINES; ++i) {
        if (ended || pos >= fieldSize || text[pos] == '\0') {
            for (; i < GPIB_SCRIPT_LINES; ++i)
                ClearCommand(&commands[i]);
            return 0;
        }
        size_t n = LineLength(text, pos, fieldSize);
        ClearCommand(&commands[i]);
        if (n != 0) {
            memcpy(line, text + pos, n);
            line[n] = '\0';
            int32_t keyword, argStart, argLength;
            if (ParseCommandLine(line, &keyword, &argStart, &argLength) != 0) {
                *failedLine = i + 1;
                return -1;
            }
            commands[i].keyword = keyword;
            commands[i].argLength = argLength;
            commands[i].argText = keyword ? text + pos + argStart : nullptr;
        }
        size_t separator = SeparatorLength(text, pos + n, fieldSize);
        ended = separator == 0;
        pos += n + separator;
    }
    return 0;
}

int ScriptHasRead(const ScriptCommand* commands)
{
    for (int i = 0; i < GPIB_SCRIPT_LINES; ++i)
        if (commands[i].keyword == CMD_READ)
            return i + 1;
    return 0;
}

int32_t ParseDecimalArgument(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= INT32_MAX)
            value = value * 10 + (*p - '0');
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return int32_t(value);
}

// The script parser on its own: script texts in, parsed commands and failing lines out.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "extavik/script/gpibparse.h"

namespace {

struct Expected {
    int keyword;
    const char* arg;   // nullptr for a command without argument
};

struct ScriptCase {
    const char* name;
    const char* script;
    int result;
    int failedLine;
    std::vector<Expected> commands;   // leading entries; the rest must be empty
};

const ScriptCase kScripts[] = {
    { "empty", "", 0, 0, {} },
    { "read lower", "read", 0, 0, { { CMD_READ, nullptr } } },
    { "read mixed", "Read\r\n", 0, 0, { { CMD_READ, nullptr } } },
    { "send keeps case", "SEND \"abc\"", 0, 0, { { CMD_SEND, "abc" } } },
    { "blanks before keyword", " \t READ", 0, 0, { { CMD_READ, nullptr } } },
    { "blanks after command", "READ \t ", 0, 0, { { CMD_READ, nullptr } } },
    { "blanks after quote", "SEND \"x\"  \t", 0, 0, { { CMD_SEND, "x" } } },
    { "quote right after keyword", "SEND\"*IDN?\"", -1, 1, {} },
    { "three blanks", "SEND   \"*IDN?\"", 0, 0, { { CMD_SEND, "*IDN?" } } },
    { "empty argument", "SEND \"\"", -1, 1, {} },
    { "no closing quote", "SEND \"abc", -1, 1, {} },
    { "lone quote", "SEND \"", -1, 1, {} },
    { "keyword and blank only", "SEND ", -1, 1, {} },
    { "quotes inside", "SEND \"A\"B\"", 0, 0, { { CMD_SEND, "A\"B" } } },
    { "text after quote", "SEND \"abc\" x", -1, 1, {} },
    { "read with argument", "READ 1", -1, 1, {} },
    { "readx", "READX", -1, 1, {} },
    { "ifc with argument", "IFC \"x\"", -1, 1, {} },
    { "sendcmd before send", "SENDCMD \"UNL\"", 0, 0, { { CMD_SENDCMD, "UNL" } } },
    { "sendx", "SENDX \"a\"", -1, 1, {} },
    { "wait text parses", "WAIT \"abc\"", 0, 0, { { CMD_WAIT, "abc" } } },
    { "unknown keyword", "FOO", -1, 1, {} },
    { "all keywords",
      "SETTIME \"3\"\r\nIFC\r\nRENON\r\nRENOFF\r\nSENDCMD \"GET\"\r\nSEND \"Q\"\r\nWAIT \"5\"\r\nREAD\r\n", 0, 0,
      { { CMD_SETTIME, "3" }, { CMD_IFC, nullptr }, { CMD_RENON, nullptr }, { CMD_RENOFF, nullptr },
        { CMD_SENDCMD, "GET" }, { CMD_SEND, "Q" }, { CMD_WAIT, "5" }, { CMD_READ, nullptr } } },
    { "empty line then error", "READ\r\n\r\nBAD\r\n", -1, 3, { { CMD_READ, nullptr }, { 0, nullptr } } },
    { "blank line counts", "READ\r\n  \r\nREAD", 0, 0, { { CMD_READ, nullptr }, { 0, nullptr }, { CMD_READ, nullptr } } },
    // Separators other than CR LF never swallow a character of the next line.
    { "lone LF", "IFC\nREAD", 0, 0, { { CMD_IFC, nullptr }, { CMD_READ, nullptr } } },
    { "lone CR", "IFC\rREAD", 0, 0, { { CMD_IFC, nullptr }, { CMD_READ, nullptr } } },
    { "ends in lone CR", "READ\r", 0, 0, { { CMD_READ, nullptr } } },
    { "ends in lone LF", "READ\n", 0, 0, { { CMD_READ, nullptr } } },
};

std::string Arg(const ScriptCommand& c)
{
    return std::string(c.argText, c.argLength);
}

class ScriptTable : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptTable, ParsesAsExpected)
{
    const ScriptCase& t = GetParam();
    char field[GPIB_COMMAND_TEXT_SIZE] = {};
    strcpy(field, t.script);
    ScriptCommand commands[GPIB_SCRIPT_LINES];
    memset(commands, 0, sizeof commands);
    int failedLine = -7;
    EXPECT_EQ(ParseScriptLines(field, sizeof field, commands, &failedLine), t.result);
    EXPECT_EQ(failedLine, t.failedLine);
    for (size_t i = 0; i < GPIB_SCRIPT_LINES; ++i) {
        SCOPED_TRACE(i);
        if (i < t.commands.size()) {
            EXPECT_EQ(commands[i].keyword, t.commands[i].keyword);
            if (t.commands[i].arg) {
                EXPECT_EQ(Arg(commands[i]), t.commands[i].arg);
                EXPECT_GE(commands[i].argText, field);
                EXPECT_LT(commands[i].argText, field + sizeof field);
            } else {
                EXPECT_EQ(commands[i].argLength, 0);
            }
        } else if (t.result == 0 || int(i) < t.failedLine) {
            EXPECT_EQ(commands[i].keyword, 0);
            EXPECT_EQ(commands[i].argLength, 0);
            EXPECT_EQ(commands[i].argText, nullptr);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTable, ::testing::ValuesIn(kScripts),
                         [](const ::testing::TestParamInfo<ScriptCase>& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return n;
                         });

TEST(ScriptParser, FailureLeavesLaterEntriesAsCleared)
{
    char field[GPIB_COMMAND_TEXT_SIZE] = "READ\r\nBAD\r\nREAD\r\n";
    ScriptCommand commands[GPIB_SCRIPT_LINES];
    memset(commands, 0x5A, sizeof commands);
    commands[1].keyword = 99;
    int line;
    ASSERT_EQ(ParseScriptLines(field, sizeof field, commands, &line), -1);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(commands[0].keyword, CMD_READ);
    EXPECT_EQ(commands[1].keyword, 0);
    EXPECT_EQ(commands[2].keyword, 0x5A5A5A5A);
}

TEST(ScriptParser, LinesBeyondFiftyAreIgnored)
{
    std::string script;
    for (int i = 1; i <= 60; ++i)
        script += (i == 55 ? "BAD" : "IFC") + std::string("\r\n");
    ASSERT_LT(script.size(), size_t(GPIB_COMMAND_TEXT_SIZE));
    char field[GPIB_COMMAND_TEXT_SIZE] = {};
    strcpy(field, script.c_str());
    ScriptCommand commands[GPIB_SCRIPT_LINES];
    int line;
    EXPECT_EQ(ParseScriptLines(field, sizeof field, commands, &line), 0);
    EXPECT_EQ(commands[49].keyword, CMD_IFC);
}

// A stored field need not hold a NUL: the parser stays inside its 800 bytes.
TEST(ScriptParser, FieldWithoutTerminator)
{
    struct Guarded {
        char field[GPIB_COMMAND_TEXT_SIZE];
        char after[16];
    } g;
    memset(g.after, 'X', sizeof g.after);
    memset(g.field, ' ', sizeof g.field);
    memcpy(g.field, "READ\r\n", 6);
    memcpy(g.field + sizeof g.field - 9, "SEND \"ab\"", 9);   // last line reaches the field's end
    ScriptCommand commands[GPIB_SCRIPT_LINES];
    int line;
    ASSERT_EQ(ParseScriptLines(g.field, sizeof g.field, commands, &line), 0);
    EXPECT_EQ(commands[0].keyword, CMD_READ);
    EXPECT_EQ(commands[1].keyword, CMD_SEND);
    EXPECT_EQ(Arg(commands[1]), "ab");

    memset(g.field, 'R', sizeof g.field);   // one line of 800 letters: not a keyword
    EXPECT_EQ(ParseScriptLines(g.field, sizeof g.field, commands, &line), -1);
    EXPECT_EQ(line, 1);
}

TEST(ScriptParser, LineOutputs)
{
    struct {
        const char* line;
        int result, keyword, argStart, argLength;
    } cases[] = {
        { "", 0, 0, 0, 0 },
        { " \t ", 0, 0, 0, 0 },
        { "  ifc", 0, CMD_IFC, 0, 0 },
        { "SEND \"abc\"", 0, CMD_SEND, 6, 3 },
        { "\tSETTIME  \"10\" ", 0, CMD_SETTIME, 11, 2 },
        { "SEND \"\"", -1, CMD_SEND, 0, 0 },
        { "SEND", -1, CMD_SEND, 0, 0 },
        { "X", -1, 0, 0, 0 },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.line);
        int32_t keyword = -1, argStart = -1, argLength = -1;
        EXPECT_EQ(ParseCommandLine(c.line, &keyword, &argStart, &argLength), c.result);
        EXPECT_EQ(keyword, c.keyword);
        EXPECT_EQ(argStart, c.argStart);
        EXPECT_EQ(argLength, c.argLength);
    }
}

TEST(ScriptParser, DecimalArguments)
{
    struct {
        const char* text;
        int32_t value;
    } cases[] = {
        { "500", 500 }, { "  -12x", -12 }, { "+7", 7 }, { "abc", 0 }, { "", 0 },
        { "99999999999", INT32_MAX }, { "-99999999999", INT32_MIN },
    };
    for (auto& c : cases)
        EXPECT_EQ(ParseDecimalArgument(c.text), c.value) << c.text;
}

TEST(ScriptParser, FindsRead)
{
    char field[GPIB_COMMAND_TEXT_SIZE] = "SEND \"x\"\r\n\r\nread\r\n";
    ScriptCommand commands[GPIB_SCRIPT_LINES];
    int line;
    ASSERT_EQ(ParseScriptLines(field, sizeof field, commands, &line), 0);
    EXPECT_EQ(ScriptHasRead(commands), 3);
    strcpy(field, "SEND \"READ\"");
    ASSERT_EQ(ParseScriptLines(field, sizeof field, commands, &line), 0);
    EXPECT_EQ(ScriptHasRead(commands), 0);
}

}  // namespace

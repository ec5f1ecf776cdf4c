// The channel command script: the keywords and the syntax of one line. Pure: no Win32, no host.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "extavik/data/gpibtypes.h"

// X(NAME, takesArgument, handler, caption): the script commands, in matching order. The keyword is
// the name; takesArgument 1 = a quoted argument must follow; handler and caption (of the message
// when a raw bus status ends the pass) are bound by the command runner in gpibcmd. Matching takes
// the first keyword that the line begins with, so a keyword that begins another one (SEND, of
// SENDCMD) stands after it: CommandKeywordsMatchInOrder checks that when the table is compiled.
#define SCRIPT_COMMAND_LIST(X) \
    X(SETTIME, 1, HandleSetTime, CMD_TITLE_SETTIME) \
    X(IFC, 0, HandleIfc, CMD_TITLE_IFC) \
    X(RENON, 0, HandleRenOn, CMD_TITLE_RENON) \
    X(RENOFF, 0, HandleRenOff, CMD_TITLE_RENOFF) \
    X(SENDCMD, 1, HandleSendCmd, CMD_TITLE_SENDCMD) \
    X(SEND, 1, HandleSend, CMD_TITLE_SEND) \
    X(WAIT, 1, HandleWait, nullptr) \
    X(READ, 0, HandleRead, CMD_TITLE_READ)

// Keyword numbers as stored in ScriptCommand::keyword: 1-based position in the list.
enum {
    CMD_NONE = 0,
#define SCRIPT_COMMAND_NUMBER(name, takes, handler, caption) CMD_##name,
    SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_NUMBER)
#undef SCRIPT_COMMAND_NUMBER
    COMMAND_END,
    COMMAND_COUNT = COMMAND_END - 1,
};

struct CommandKeyword {
    const char* keyword;
    int32_t takesArgument;   // 1 = a quoted argument must follow
};
extern const CommandKeyword CommandKeywords[COMMAND_COUNT];

// A line holds at most a whole field, plus its terminator.
enum { SCRIPT_LINE_BUFFER = GPIB_COMMAND_TEXT_SIZE + 1 };

// One NUL-terminated line: 0 valid (keyword 0 for a blank line), -1 invalid. Unset outputs are 0.
int ParseCommandLine(const char* line, int32_t* keyword, int32_t* argStart, int32_t* argLength);

// Splits a script field of fieldSize bytes (NUL-terminated or not) into its 50 commands.
// Returns 0, or -1 with *failedLine set to the 1-based number of the invalid line; entries
// after the failing line are left as they were.
int ParseScriptLines(const char* text, size_t fieldSize, ScriptCommand* commands, int* failedLine);

// 1-based line number of the first READ among the parsed commands, 0 when there is none.
int ScriptHasRead(const ScriptCommand* commands);

// Decimal integer argument (SETTIME, WAIT): leading white space, sign, digits; no digits gives 0.
// Values beyond the 32-bit range are clamped.
int32_t ParseDecimalArgument(const char* text);

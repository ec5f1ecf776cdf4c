// The channel command script: the keywords and the syntax of one line. Pure: no Win32, no host.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "extavik/gpibtypes.h"

// Keyword numbers as stored in ScriptCommand::keyword (1-based position in CommandKeywords).
enum {
    CMD_NONE = 0,
    CMD_SETTIME = 1,
    CMD_IFC = 2,
    CMD_RENON = 3,
    CMD_RENOFF = 4,
    CMD_SENDCMD = 5,
    CMD_SEND = 6,
    CMD_WAIT = 7,
    CMD_READ = 8,
    COMMAND_COUNT = 8,
};

// One row of the command table; the run-time handlers are bound by the same index in gpibcmd.
// Matching takes the first keyword equal to the line's leading characters, so SENDCMD precedes SEND.
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

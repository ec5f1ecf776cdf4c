// The runner of a channel's parsed script: parsing glue, the table of command handlers, the bus
// error messages and the release of host-action entries.
#include "extavik/script/cmdrun.h"
#include <stdio.h>
#include <string.h>
#include "extavik/module/gpibboard.h"
#include "extavik/texts/cmdtexts.h"

typedef CommandResult (*CommandHandler)(ModuleRecord* module, int channel, const char* argument);

struct CommandRun {
    CommandHandler handler;
    const char* caption;   // of the message when a raw bus status ends the pass
};

// Indexed by keyword number - 1.
static const CommandRun CommandRuns[COMMAND_COUNT] = {
#define SCRIPT_COMMAND_RUN(name, takes, handler, caption) {handler, caption},
    SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_RUN)
#undef SCRIPT_COMMAND_RUN
};

// Bus status codes and their messages; a time-out is only reported where the channel asks.
struct BusErrorText {
    int16_t status;
    int32_t onlyWhenStopOnTimeout;
    const char* text;
};

static const BusErrorText BusErrorTable[] = {
    { GPIB_ERR_INIT, 0, CMD_TEXT_BUS_INIT },
    { GPIB_ERR_DEVICE, 0, CMD_TEXT_BUS_DEVICE },
    { GPIB_ERR_DRIVER_VERSION, 0, CMD_TEXT_BUS_DRIVER_VERSION },
    { GPIB_ERR_IRQ, 0, CMD_TEXT_BUS_IRQ },
    { GPIB_ERR_MODE, 0, CMD_TEXT_BUS_MODE },
    { GPIB_ERR_PARAM, 0, CMD_TEXT_BUS_PARAM },
    { GPIB_ERR_TIMEOUT, 1, CMD_TEXT_BUS_TIMEOUT },
    { GPIB_ERR_NO_LISTENER, 0, CMD_TEXT_BUS_NO_LISTENER },
    { GPIB_ERR_UNKNOWN_COMMAND, 0, CMD_TEXT_BUS_UNKNOWN_COMMAND },
    { GPIB_ERR_ADDRESS_STATUS, 0, CMD_TEXT_BUS_ADDRESS_STATUS },
};

static void ShowInternalImpossible(int line)
{
    HOST_CALL(ShowInternalError)(CMD_TEXT_IMPOSSIBLE, CMD_INTERNAL_SOURCE, line);
}

// ---- parsing ----

int ParseCommandScript(const char* text, ScriptCommand* commands, const char* caption)
{
    int failedLine = 0;
    if (ParseScriptLines(text, GPIB_COMMAND_TEXT_SIZE, commands, &failedLine) == 0)
        return 0;
    char message[64];
    snprintf(message, sizeof message, CMD_TEXT_SYNTAX, failedLine);
    HOST_CALL(ShowWarning)(caption, message);
    return -1;
}

// ---- bus errors ----

RunResult ReportBusError(GpibModuleParams* params, const char* caption, int status, int channel)
{
    int16_t code = int16_t(status);
    for (const BusErrorText& e : BusErrorTable) {
        if (e.status != code)
            continue;
        if (e.onlyWhenStopOnTimeout && !(ValidChannel(channel) && params->stopOnTimeout[channel] == 1))
            return RUN_DONE;
        HOST_CALL(ShowWarning)(caption, e.text);
        return RUN_FAILED;
    }
    ShowInternalImpossible(__LINE__);
    return RUN_FAILED;
}

// ---- host actions ----

void ReleaseChannelAction(ModuleRecord* module, int channel)
{
    GpibModuleRuntime* rt = module->runtime;
    if (!rt || !ValidChannel(channel))
        return;
    // The host writes the count: never look past the table it counts in.
    int count = rt->actionCount;
    if (count < 0)
        count = 0;
    if (count > GPIB_ACTIONS)
        count = GPIB_ACTIONS;
    for (int i = 0; i < count; ++i) {
        if ((uint32_t(rt->actionTable[i][GPIB_ACTION_MASK_WORD]) >> channel) & 1) {
            rt->actionTable[i][GPIB_ACTION_BUSY_WORD] = 0;
            return;
        }
    }
}

// ---- the runner ----

// Copies command's argument into buffer, cut to the buffer.
static void CopyArgument(const ScriptCommand& command, char* buffer)
{
    buffer[0] = '\0';
    if (!CommandKeywords[command.keyword - 1].takesArgument || !command.argText)
        return;
    int length = command.argLength;
    if (length < 0)
        length = 0;
    if (length > ARGUMENT_BUFFER - 1)
        length = ARGUMENT_BUFFER - 1;
    memcpy(buffer, command.argText, size_t(length));
    buffer[length] = '\0';
}

uint8_t CommandsEnd(const ScriptCommand* commands)
{
    uint8_t end = 0;
    for (int i = 0; i < GPIB_SCRIPT_LINES; ++i)
        if (commands[i].keyword != CMD_NONE)
            end = uint8_t(i + 1);
    return end;
}

RunResult RunChannelScript(ModuleRecord* module, int channel)
{
    GpibChannelRuntime* c = module->channel[channel];
    char argument[ARGUMENT_BUFFER];
    CommandResult last = Finished(RUN_DONE);
    const char* lastCaption = nullptr;
    if (c->scriptPos < 0 || c->scriptPos >= GPIB_SCRIPT_LINES)
        c->scriptPos = 0;
    // Past the last command the lines are empty: the pass ends there without looking at them.
    const int end = c->commandsEnd > 0 && c->commandsEnd <= GPIB_SCRIPT_LINES ? int(c->commandsEnd) : int(GPIB_SCRIPT_LINES);
    for (int i = c->scriptPos; i < end; ++i) {
        const ScriptCommand& command = c->commands[i];
        if (command.keyword != CMD_NONE) {
            if (command.keyword < 1 || command.keyword > COMMAND_COUNT) {
                ShowInternalImpossible(__LINE__);
                return RUN_FAILED;
            }
            CopyArgument(command, argument);
            const CommandRun& run = CommandRuns[command.keyword - 1];
            last = run.handler(module, channel, argument);
            lastCaption = run.caption;
            if (last.run == RUN_SUSPENDED)
                return RUN_SUSPENDED;
            if (last.run == RUN_FAILED)
                return RUN_FAILED;
        }
        c->scriptPos = i + 1;
    }
    c->scriptPos = GPIB_SCRIPT_LINES;
    // A failing bus command that ends the pass would stop the experiment without a word: it is
    // reported like a failing SEND (an unreported time-out counts as done).
    if (last.rawStatus != 0)
        return ReportBusError(module->params, lastCaption, last.rawStatus, channel);
    return last.run;
}


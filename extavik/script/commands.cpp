// The command handlers of the script language but READ: time-out, IFC, REN, bus commands,
// SEND and WAIT.
#include "extavik/script/cmdrun.h"
#include <stdio.h>
#include <string.h>
#include "extavik/module/gpibboard.h"
#include "extavik/script/sendcmd.h"
#include "extavik/texts/cmdtexts.h"

enum { SENDCMD_MESSAGE_SIZE = ARGUMENT_BUFFER + 64 };

// Terminator setting (radio-button id) to the code the transfers take.
struct TerminatorSetting {
    int32_t setting;
    int32_t code;
};

static const TerminatorSetting TerminatorSettings[] = {
    { TERM_CRLF, GPIB_DELIM_CRLF },
    { TERM_CR, GPIB_DELIM_CR },
    { TERM_LF, GPIB_DELIM_LF },
    { TERM_EOI, GPIB_DELIM_EOI },
};

int TerminatorCode(const GpibModuleParams* params, int channel)
{
    for (const TerminatorSetting& t : TerminatorSettings)
        if (t.setting == params->terminator[channel])
            return t.code;
    return GPIB_DELIM_CRLF;
}

CommandResult HandleSetTime(ModuleRecord*, int, const char* argument)
{
    return BusStatus(g_board.GpibSetTime(ParseDecimalArgument(argument)));
}

CommandResult HandleIfc(ModuleRecord*, int, const char*)
{
    return BusStatus(g_board.GpibIfc());
}

CommandResult HandleRenOn(ModuleRecord*, int, const char*)
{
    return BusStatus(g_board.GpibRen(1));
}

CommandResult HandleRenOff(ModuleRecord*, int, const char*)
{
    return BusStatus(g_board.GpibRen(0));
}

static int SendBusCommand(ModuleRecord* module, int channel, const BusCommand& command)
{
    // The board library looks at the first three bytes whatever the length.
    unsigned char bytes[4] = {};
    int length = 0;
    if (command.addressed)
        bytes[length++] = BusListenAddress(static_cast<uint8_t>(PrimaryAddress(module->params, channel)));
    bytes[length++] = command.code;
    return g_board.GpibSendCmd(length, bytes);
}

// A known name whose bus command fails with GPIB_ERR_INIT is refused like an unknown one; any
// other status goes to the runner as a raw status.
CommandResult HandleSendCmd(ModuleRecord* module, int channel, const char* argument)
{
    for (const BusCommand& command : BusCommandTable) {
        if (strcmp(command.name, argument) != 0)
            continue;
        const int status = Status16(SendBusCommand(module, channel, command));
        if (status != GPIB_ERR_INIT)
            return BusStatus(status);
        break;
    }
    char message[SENDCMD_MESSAGE_SIZE];
    snprintf(message, sizeof message, CMD_TEXT_SENDCMD, argument);
    HOST_CALL(ShowWarning)(CMD_TITLE_SENDCMD, message);
    return Finished(RUN_FAILED);
}

RunResult SendText(ModuleRecord* module, int channel, const char* text, int length)
{
    if (bExperimentIsPaused)
        return RUN_DONE;
    GpibModuleParams* params = module->params;
    short status = 0;
    g_board.GpibSend(PrimaryAddress(params, channel), length, text, TerminatorCode(params, channel), &status);
    if (status != 0)
        return ReportBusError(params, CMD_TITLE_SEND, status, channel);
    return RUN_DONE;
}

CommandResult HandleSend(ModuleRecord* module, int channel, const char* argument)
{
    return Finished(SendText(module, channel, argument, int(strlen(argument))));
}

// The wait counts elapsed ticks, so it survives the wrap of the tick counter. A waitStart of 0
// means no wait; a wait that starts at tick 0 counts from tick 1.
CommandResult HandleWait(ModuleRecord* module, int channel, const char* argument)
{
    GpibChannelRuntime* c = module->channel[channel];
    int32_t t = ParseDecimalArgument(argument);
    uint32_t duration = t > 0 ? uint32_t(t) : 0;
    uint32_t now = CurrentTick();
    if (c->waitStart == 0) {
        c->waitStart = now ? now : 1;
    }
    uint32_t elapsed = now - c->waitStart;
    if (elapsed > 0x80000000u)
        elapsed = 0;   // the start was moved one tick ahead of now
    if (elapsed < duration)
        return Finished(RUN_SUSPENDED);
    c->waitStart = 0;
    return Finished(RUN_DONE);
}


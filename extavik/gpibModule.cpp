// What the GPIB-IN and GPIB-OUT module procedures share.
#include "extavik/gpibModule.h"
#include <stdio.h>
#include <string.h>
#include "extavik/gpibbus.h"
#include "extavik/gpibfields.h"
#include "extavik/modtexts.h"

int32_t DispatchModuleMessage(const ModuleMessageHandler* table, size_t rows, ModuleRecord* module,
                              uint32_t message, int32_t wParam, intptr_t lParam)
{
    for (size_t i = 0; i < rows; i++)
        if (table[i].message == message)
            return table[i].handle(module, wParam, lParam);
    return HOST_CALL(PerformDefaultAction)(module, message, wParam, lParam);
}

int32_t AnswerOne(ModuleRecord*, int32_t, intptr_t) { return 1; }
int32_t AnswerZero(ModuleRecord*, int32_t, intptr_t) { return 0; }

int32_t TakeBusSettings(ModuleRecord* module, int32_t, intptr_t)
{
    return TakeSharedSettings(module->params);
}

int32_t QueryOutputChannel(ModuleRecord* module, int32_t wParam, intptr_t)
{
    // A GPIB-OUT module has no outputs; a number the module does not have asks for nothing.
    if (wParam < 0 || wParam >= ClampChannelCount(module->outputCount))
        return 1;
    const OutputChannelHeader* out = static_cast<OutputChannelHeader*>(module->outputChannel[wParam]);
    if (!out)
        return 1;
    return out->pending == 0 ? 1 : 0;
}

void WriteChannelDefaults(GpibModuleParams* p, unsigned displayNameId, const char* script)
{
    char displayName[13] = "";
    LoadStringA(g_hInstance, displayNameId, displayName, sizeof displayName);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        snprintf(p->channelName[ch], GPIB_CHANNEL_NAME_SIZE, "%s %d", displayName, ch);
        memset(p->commandText[ch], 0, GPIB_COMMAND_TEXT_SIZE);
        strcpy(p->commandText[ch], script);
        p->addr[ch].primaryAddress = DEFAULT_PRIMARY_ADDRESS;
        p->addr[ch].secondaryAddress = 0;
        p->spollReadyBit[ch] = 0;
        p->spollErrorBit[ch] = 0;
        p->spollStopOnError[ch] = 0;
        memset(p->spollErrorText[ch], 0, GPIB_SPOLL_TEXT_SIZE);
        p->headerSize[ch] = 0;
        p->recvBlockLength[ch] = DEFAULT_BLOCK_LENGTH;
        p->dataType[ch] = DATA_ASCII;
        p->invalid[ch].invalidHead = 0;
        p->invalid[ch].invalidTail = 0;
        p->terminator[ch] = TERM_CRLF;
        memset(p->maskText[ch], 0, GPIB_MASK_TEXT_SIZE);
        p->recvBufferKB[ch] = DEFAULT_BUFFER_KB;
        p->requestInterval[ch] = DEFAULT_REQUEST_INTERVAL;
        p->stopOnTimeout[ch] = 0;
    }
}

void MarkActionChannels(int32_t* flags, int count, int32_t mask)
{
    const int n = count == 0 ? GPIB_CHANNELS : ClampChannelCount(count);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        flags[ch] = ch < n && MaskSelects(mask, ch) ? 1 : 0;
}

int32_t ActionKind(intptr_t lParam)
{
    return lParam ? *reinterpret_cast<const int32_t*>(lParam) : -1;
}

void DescribeAction(ActionDescription* desc, const char* name, int32_t textId)
{
    desc->instance = g_hInstance;
    memcpy(desc->actionName, name, strlen(name) + 1);   // the bytes after the zero stay
    desc->reserved = 0;
    desc->textId = textId;
}

static void RefuseStart(const char* text)
{
    HOST_CALL(ShowWarning)(START_TITLE, text);
}

// 1 when the field table's start range refuses channel ch's value (GPIB-IN only where so marked).
static bool StartRefuses(const GpibModuleParams* p, GpibFieldId id, int ch, bool input)
{
    const GpibField& f = GPIB_FIELDS[id];
    if (f.start.inputOnly && !input)
        return false;
    return !GpibStartAccepts(f, GpibFieldNumber(p, f, ch));
}

int CheckStartSettings(ModuleRecord* module, int count, bool checkBuffers)
{
    const GpibModuleParams* p = module->params;
    char name[sizeof module->moduleName + 1];
    memcpy(name, module->moduleName, sizeof module->moduleName);
    name[sizeof module->moduleName] = 0;
    char text[START_MESSAGE_SIZE];

    if (StartRefuses(p, GF_MY_ADDRESS, 0, checkBuffers)) {
        snprintf(text, sizeof text, START_TEXT_OWN_ADDRESS, name, p->myAddress);
        RefuseStart(text);
        return 0;
    }
    for (int ch = 0; ch < count; ch++) {
        if (StartRefuses(p, GF_PRIMARY_ADDRESS, ch, checkBuffers)) {
            snprintf(text, sizeof text, START_TEXT_PRIMARY, name, ch, p->addr[ch].primaryAddress);
            RefuseStart(text);
            return 0;
        }
        if (StartRefuses(p, GF_RECV_BUFFER_KB, ch, checkBuffers)) {
            snprintf(text, sizeof text, START_TEXT_BUFFER, name, ch, p->recvBufferKB[ch]);
            RefuseStart(text);
            return 0;
        }
        // The interval paces the bus: NaN, zero, negative or huge values would mean a request
        // on every cycle or never one.
        if (StartRefuses(p, GF_REQUEST_INTERVAL, ch, checkBuffers)) {
            char value[32];
            snprintf(value, sizeof value, "%g", p->requestInterval[ch]);
            snprintf(text, sizeof text, START_TEXT_INTERVAL, name, ch, value);
            RefuseStart(text);
            return 0;
        }
    }
    return 1;
}

void ResetChannelRun(GpibChannelRuntime* rt)
{
    rt->requestCount = 0;
    rt->scriptPos = 0;
    rt->requestTickValid = 0;
    rt->dataReady = 0;
    rt->reserved32 = 0;
    rt->waitStart = 0;
    rt->lastRequestTick = 0;
    rt->tickWraps = 0;
    memset(rt->commands, 0, sizeof rt->commands);
}

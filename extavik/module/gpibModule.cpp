// What the GPIB-IN and GPIB-OUT module types share.
#include "extavik/module/gpibModule.h"
#include <stdio.h>
#include <string.h>
#include "extavik/module/gpibbus.h"
#include "extavik/data/gpibfields.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/settingsdlg.h"

// ---- the message table of both types ----

// 1 when channel ch is named by mask (0 names every channel).
static bool MaskSelects(int32_t mask, int ch) { return mask == 0 || (mask >> ch & 1); }

// Clears all 16 flags, then sets those of the masked channels below count (0 counts as 16).
static void MarkActionChannels(int32_t* flags, int count, int32_t mask)
{
    const int n = count == 0 ? GPIB_CHANNELS : ClampChannelCount(count);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        flags[ch] = ch < n && MaskSelects(mask, ch) ? 1 : 0;
}

// The action kind in the first word at lParam; -1 when the host passed no record.
static int32_t ActionKind(intptr_t lParam)
{
    return lParam ? *reinterpret_cast<const int32_t*>(lParam) : -1;
}

static int32_t AnswerOne(const GpibModuleType&, ModuleRecord*, int32_t, intptr_t) { return 1; }
static int32_t AnswerZero(const GpibModuleType&, ModuleRecord*, int32_t, intptr_t) { return 0; }

static int32_t Create(const GpibModuleType& type, ModuleRecord* module, int32_t, intptr_t)
{
    return type.create(module);
}

static int32_t OpenSettings(const GpibModuleType& type, ModuleRecord* module, int32_t, intptr_t)
{
    OpenSettingsDialog(type, module);
    return 1;
}

static int32_t AnswerTakeBusSettings(const GpibModuleType&, ModuleRecord* module, int32_t, intptr_t)
{
    TakeBusSettings(module->params);
    return 1;
}

static int32_t Prestart(const GpibModuleType& type, ModuleRecord* module, int32_t, intptr_t)
{
    return type.prestart(module);
}

static int32_t Start(const GpibModuleType& type, ModuleRecord* module, int32_t, intptr_t)
{
    return type.start(module);
}

static int32_t Stop(const GpibModuleType& type, ModuleRecord* module, int32_t, intptr_t)
{
    type.stop(module);
    return 1;
}

static int32_t ArmAction(const GpibModuleType& type, ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (type.mayArm && !type.mayArm(module))
        return 0;
    const int32_t actionKind = ActionKind(lParam);
    if (actionKind != ACTION_KIND_NONE && actionKind != type.actionKind)
        return 0;
    MarkActionChannels(type.actionFlags(module), type.channelCount(module), wParam);
    return 1;
}

// The channel run forces the turn the type's action needs for its length.
static int32_t RunAction(const GpibModuleType& type, ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (ActionKind(lParam) != type.actionKind)
        return 0;
    for (int ch = 0; ch < ClampChannelCount(type.channelCount(module)); ch++) {
        if (!MaskSelects(wParam, ch))
            continue;
        if (RunFailed(type.runChannel(module, ch, TRIGGER_ACTION))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

static int32_t ResetAction(const GpibModuleType& type, ModuleRecord* module, int32_t, intptr_t)
{
    module->runtime->actionCount = 0;
    int32_t* flags = type.actionFlags(module);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        flags[ch] = 0;
    return 1;
}

// Describing marks the channels whatever else the type's arming asks for.
static int32_t DescribeAction(const GpibModuleType& type, ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    ActionDescription* desc = reinterpret_cast<ActionDescription*>(lParam);
    if (!desc)
        return 0;
    if (desc->kind == ACTION_KIND_NONE)
        return 1;
    if (desc->kind != type.actionKind)
        return 0;
    MarkActionChannels(type.actionFlags(module), type.channelCount(module), wParam);
    desc->instance = g_instance;
    memcpy(desc->actionName, type.actionName, strlen(type.actionName) + 1);   // the bytes after the zero stay
    desc->reserved = 0;
    desc->textId = type.actionTextId;
    return 1;
}

// Message 201: 1 when the output's record has nothing pending, or when there is no such record.
static int32_t QueryOutputChannel(const GpibModuleType&, ModuleRecord* module, int32_t wParam, intptr_t)
{
    // A GPIB-OUT module has no outputs; a number the module does not have asks for nothing.
    if (wParam < 0 || wParam >= ClampChannelCount(module->outputCount))
        return 1;
    const OutputChannelHeader* out = static_cast<OutputChannelHeader*>(module->outputChannel[wParam]);
    if (!out)
        return 1;
    return out->pending == 0 ? 1 : 0;
}

struct ModuleMessageHandler {
    uint32_t message;
    int32_t (*handle)(const GpibModuleType& type, ModuleRecord* module, int32_t wParam, intptr_t lParam);
};

static const ModuleMessageHandler MODULE_MESSAGES[] = {
    {MM_PROBE, AnswerOne},
    {MM_CREATE, Create},
    {MM_NOTICE_102, AnswerOne},
    {MM_SETTINGS, OpenSettings},
    {MM_TAKE_BUS_SETTINGS, AnswerTakeBusSettings},
    {MM_PRESTART, Prestart},
    {MM_START, Start},
    {MM_STOP, Stop},
    {MM_ACTION_ARM, ArmAction},
    {MM_ACTION_RUN, RunAction},
    {MM_REFUSED_119, AnswerZero},
    {MM_NOTICE_120, AnswerOne},
    {MM_NOTICE_121, AnswerOne},
    {MM_NOTICE_122, AnswerOne},
    {MM_ACTION_RESET, ResetAction},
    {MM_ACTION_DESCRIBE, DescribeAction},
    {MM_CHANNEL_QUERY, QueryOutputChannel},
};

int32_t ModuleProc(const GpibModuleType& type, ModuleRecord* module, uint32_t message, int32_t wParam,
                   intptr_t lParam)
{
    for (const ModuleMessageHandler& row : MODULE_MESSAGES)
        if (row.message == message)
            return row.handle(type, module, wParam, lParam);
    return HOST_CALL(PerformDefaultAction)(module, message, wParam, lParam);
}

// ---- creation and start ----

void WriteChannelDefaults(GpibModuleParams* p, unsigned displayNameId, const char* script)
{
    char displayName[13] = "";
    LoadStringA(g_instance, displayNameId, displayName, sizeof displayName);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        snprintf(p->channelName[ch], GPIB_CHANNEL_NAME_SIZE, "%s %d", displayName, ch);
        WriteCreationDefaults(p, ch);
        strcpy(p->commandText[ch], script);
    }
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

bool CheckStartSettings(ModuleRecord* module, int count, bool checkBuffers)
{
    const GpibModuleParams* p = module->params;
    char name[sizeof module->moduleName + 1];
    memcpy(name, module->moduleName, sizeof module->moduleName);
    name[sizeof module->moduleName] = 0;
    char text[START_MESSAGE_SIZE];

    if (StartRefuses(p, GF_MY_ADDRESS, 0, checkBuffers)) {
        snprintf(text, sizeof text, START_TEXT_OWN_ADDRESS, name, p->myAddress);
        RefuseStart(text);
        return false;
    }
    for (int ch = 0; ch < count; ch++) {
        if (StartRefuses(p, GF_PRIMARY_ADDRESS, ch, checkBuffers)) {
            snprintf(text, sizeof text, START_TEXT_PRIMARY, name, ch, p->addr[ch].primaryAddress);
            RefuseStart(text);
            return false;
        }
        if (StartRefuses(p, GF_RECV_BUFFER_KB, ch, checkBuffers)) {
            snprintf(text, sizeof text, START_TEXT_BUFFER, name, ch, p->recvBufferKB[ch]);
            RefuseStart(text);
            return false;
        }
        // The interval paces the bus: NaN, zero, negative or huge values would mean a request
        // on every cycle or never one.
        if (StartRefuses(p, GF_REQUEST_INTERVAL, ch, checkBuffers)) {
            char value[32];
            snprintf(value, sizeof value, "%g", p->requestInterval[ch]);
            snprintf(text, sizeof text, START_TEXT_INTERVAL, name, ch, value);
            RefuseStart(text);
            return false;
        }
    }
    return true;
}

void ResetChannelRun(GpibChannelRuntime* rt)
{
    rt->requestCount = 0;
    rt->scriptPos = 0;
    rt->requestTickValid = 0;
    rt->dataReady = 0;
    rt->busDevice = 0;
    rt->waitStart = 0;
    rt->lastRequestTick = 0;
    rt->tickWraps = 0;
    memset(rt->commands, 0, sizeof rt->commands);
    rt->commandsEnd = 0;
}

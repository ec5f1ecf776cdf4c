// The GPIB-OUT module.
#include "extavik/gpibout.h"

// ---- module procedure and processing ----

#include <stdio.h>
#include <string.h>
#include "extavik/gpibModule.h"
#include "extavik/gpibboard.h"
#include "extavik/gpibbus.h"
#include "extavik/cmdtexts.h"
#include "extavik/gpibcmd.h"
#include "extavik/gpibdlog.h"
#include "extavik/modtexts.h"
#include "extavik/resources/resource.h"

static bool OutputRunFailed(RunResult result)
{
    return result != RUN_DONE && result != RUN_SUSPENDED;
}

static int OutputChannelCount(const ModuleRecord* module)
{
    return ClampChannelCount(module->params->outChannelCount);
}

static void ClearReservedWords(ModuleRecord* module)
{
    module->runtime->reserved452[0] = 0;
    module->runtime->reserved452[1] = 0;
}

static int32_t CreateOutput(ModuleRecord* module, int32_t, intptr_t)
{
    if (!SelectOwnAddress(module))
        return 0;
    module->outputCount = 0;
    module->inputCount = 0;
    GpibModuleParams* p = module->params;
    TakeSharedSettings(p);
    p->initCommandMode = OUT_MODE_ALWAYS;
    p->outInputsWhenOff = 0;
    p->outChannelCount = 1;
    p->outHasInputs = 0;
    p->outMode = OUT_MODE_ALWAYS;
    WriteChannelDefaults(p, IDS_GPIB_OUT, "");
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->outActionControlled[ch] = 0;
    MarkRowIdle(module);
    return 1;
}

static int32_t OpenOutputSettings(ModuleRecord* module, int32_t, intptr_t)
{
    OpenGpibOutSettings(module);
    return 1;
}

// Before a run every device of the row goes back to idle, which only at-start output accepts.
static int32_t PrestartOutput(ModuleRecord* module, int32_t, intptr_t)
{
    MarkRowIdle(module);
    return PublishSharedSettings(module->params);
}

// Parallel poll answers are configured for the channels of the row that poll in parallel.
static void ConfigureParallelPoll(ModuleRecord* module, int count)
{
    const GpibModuleParams* p = module->params;
    for (int ch = 0; ch < count; ch++) {
        int16_t line;
        int sense;
        if (RowChannelPollsInParallel(p->myAddress, ch, &line, &sense) && g_board.GpibPPollConfig)
            g_board.GpibPPollConfig(p->addr[ch].primaryAddress, line, sense);
    }
}

// A GPIB-OUT module has no outputs and no receive buffer: a READ line cannot run, so the start
// names the line instead of failing later in the middle of the experiment.
static void RefuseReadInOutput(const char* caption, int line)
{
    char text[96];
    snprintf(text, sizeof text, CMD_TEXT_READ_IN_OUTPUT, line);
    HOST_CALL(ShowWarning)(caption, text);
}

static int32_t StartOutput(ModuleRecord* module, int32_t, intptr_t)
{
    GpibModuleParams* p = module->params;
    ClearReservedWords(module);
    const int count = OutputChannelCount(module);
    if (!CheckStartSettings(module, count, false))
        return 0;
    for (int ch = 0; ch < count; ch++) {
        GpibChannelRuntime* rt = module->channel[ch];
        ResetChannelRun(rt);
        char caption[64];
        snprintf(caption, sizeof caption, CAPTION_OUT_SCRIPT, ch);
        if (ParseCommandScript(p->commandText[ch], rt->commands, caption) != 0)
            return 0;
        if (const int line = ScriptHasRead(rt->commands)) {
            RefuseReadInOutput(caption, line);
            return 0;
        }
    }
    for (int ch = 0; ch < count; ch++) {
        if (OutputRunFailed(RunOutputChannel(module, ch, TRIGGER_START))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    ConfigureParallelPoll(module, count);
    return 1;
}

// At-end output: every device gets its final turn for one pass, then the row returns to idle.
static void RunFinalOutput(ModuleRecord* module)
{
    const GpibModuleParams* p = module->params;
    const int count = OutputChannelCount(module);
    for (int ch = 0; ch < count; ch++) {
        // A suspended final script is never resumed: it counts as a failure.
        if (RunOutputChannel(module, ch, TRIGGER_END) != RUN_DONE)
            HOST_CALL(StopExperiment)();
    }
    for (int ch = 0; ch < count; ch++)
        if (p->requestMode[ch] == REQUEST_PPOLL && g_board.GpibPPollUConfig)
            g_board.GpibPPollUConfig(p->addr[ch].primaryAddress);
    if (g_board.GpibRen)
        g_board.GpibRen(0);
    MarkRowIdle(module);
}

static int32_t StopOutput(ModuleRecord* module, int32_t, intptr_t)
{
    ClearReservedWords(module);
    if (module->params->outMode == OUT_MODE_AT_END)
        RunFinalOutput(module);
    return 1;
}

static int32_t ArmOutputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (module->params->outMode != OUT_MODE_ALWAYS)
        return 0;
    const int32_t kind = ActionKind(lParam);
    if (kind != ACTION_KIND_NONE && kind != ACTION_KIND_REQUEST_COMMAND)
        return 0;
    MarkActionChannels(module->runtime->outActionControlled, module->params->outChannelCount, wParam);
    return 1;
}

// The run forces the output turn for its length (see RunOutputChannel).
static int32_t RunOutputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (ActionKind(lParam) != ACTION_KIND_REQUEST_COMMAND)
        return 0;
    for (int ch = 0; ch < OutputChannelCount(module); ch++) {
        if (!MaskSelects(wParam, ch))
            continue;
        if (OutputRunFailed(RunOutputChannel(module, ch, TRIGGER_ACTION))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

static int32_t ResetOutputAction(ModuleRecord* module, int32_t, intptr_t)
{
    module->runtime->actionCount = 0;
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->outActionControlled[ch] = 0;
    return 1;
}

// Describing marks the channels whatever the output mode.
static int32_t DescribeOutputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    ActionDescription* desc = reinterpret_cast<ActionDescription*>(lParam);
    if (!desc)
        return 0;
    if (desc->kind == ACTION_KIND_NONE)
        return 1;
    if (desc->kind != ACTION_KIND_REQUEST_COMMAND)
        return 0;
    MarkActionChannels(module->runtime->outActionControlled, module->params->outChannelCount, wParam);
    DescribeAction(desc, ACTION_NAME_OUT, IDS_ACTION_OUT);
    return 1;
}

static const ModuleMessageHandler outputMessages[] = {
    {MM_PROBE, AnswerOne},
    {MM_CREATE, CreateOutput},
    {MM_NOTICE_102, AnswerOne},
    {MM_SETTINGS, OpenOutputSettings},
    {MM_TAKE_BUS_SETTINGS, TakeBusSettings},
    {MM_PRESTART, PrestartOutput},
    {MM_START, StartOutput},
    {MM_STOP, StopOutput},
    {MM_ACTION_ARM, ArmOutputAction},
    {MM_ACTION_RUN, RunOutputAction},
    {MM_REFUSED_119, AnswerZero},
    {MM_NOTICE_120, AnswerOne},
    {MM_NOTICE_121, AnswerOne},
    {MM_NOTICE_122, AnswerOne},
    {MM_ACTION_RESET, ResetOutputAction},
    {MM_ACTION_DESCRIBE, DescribeOutputAction},
    {MM_CHANNEL_QUERY, QueryOutputChannel},
};

int32_t WINAPI GpibOutModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    return DispatchModuleMessage(outputMessages, sizeof outputMessages / sizeof outputMessages[0],
                                 module, message, wParam, lParam);
}

int32_t WINAPI GpibOutProcess(ModuleRecord* module)
{
    if (bExperimentIsPaused == 1)
        return 1;
    // The count is read again before every channel: a run may change the module.
    for (int ch = 0; ch < OutputChannelCount(module); ch++) {
        if (module->runtime->outActionControlled[ch])
            continue;
        if (OutputRunFailed(RunOutputChannel(module, ch, TRIGGER_CYCLE))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

// ---- settings dialog ----

#include "extavik/gpibdlog.h"

static const int OUT_MODE_BUTTONS[] = {IDC_OUT_ALWAYS, IDC_OUT_AT_START, IDC_OUT_AT_END};

static void FillOutChannel(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    for (int id : OUT_MODE_BUTTONS) CheckDlgButton(dialog, id, p->outMode == id ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_OUT_HAS_INPUTS, p->outHasInputs ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemField(dialog, IDC_OUT_COMMAND, p->commandText[c], GPIB_COMMAND_TEXT_SIZE);
}

// GPIB-OUT keeps its channel count in the block.
static void OutChannelCountChanged(GpibModuleParams* p)
{
    p->outChannelCount = static_cast<int32_t>(uiChannelCount);
}

static const SettingsDialogKind GPIB_OUT_SETTINGS = {IDC_OUT_COMMAND, FillOutChannel, OutChannelCountChanged};

static const int OUT_DISABLED_WHILE_RUNNING[] = {
    IDC_OUT_COMMAND, IDC_TIMEOUT, IDC_PRIMARY, IDC_SECONDARY, IDC_OUT_ALWAYS, IDC_OUT_AT_START, IDC_OUT_AT_END,
};
static const EditLimit OUT_LIMITS[] = {
    {IDC_CHANNEL_NAME, 20}, {IDC_MODULE_NAME, 12}, {IDC_MODULE_COMMENT, 40}, {IDC_OUT_COMMAND, 800},
    {IDC_TIMEOUT, 5}, {IDC_PRIMARY, 2}, {IDC_SECONDARY, 2},
};
static const int OUT_FOCUS_TRACKED[] = {IDC_OUT_COMMAND, IDC_MODULE_NAME, IDC_MODULE_COMMENT, IDC_CHANNEL_NAME};

static INT_PTR OutSettingsInit(HWND dialog)
{
    ModuleRecord* module = CurrentModule();
    pWorkParams = module ? AllocWorkCopy(module->params, UNIT_GPIBOUT, __LINE__) : nullptr;
    if (!pWorkParams) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    uiChannelCount = ChannelCountWithinBar(pWorkParams->outChannelCount);
    uiCurrentChannel = 0;
    uiChannelSlots = GPIB_CHANNELS;
    InitChannelBar(dialog);
    FillSettingsChannel(dialog, GPIB_OUT_SETTINGS, 0);
    if (bExperimentIsRunning)
        EnableControls(dialog, OUT_DISABLED_WHILE_RUNNING, sizeof OUT_DISABLED_WHILE_RUNNING / sizeof(int), FALSE);
    SetEditLimits(dialog, OUT_LIMITS, sizeof OUT_LIMITS / sizeof OUT_LIMITS[0]);
    ShowModuleTexts(dialog, module);
    // With input channels the data on the inputs is sent, not the script.
    if (pWorkParams->outHasInputs) EnableWindow(GetDlgItem(dialog, IDC_OUT_COMMAND), FALSE);
    SetFocus(GetDlgItem(dialog, IDC_MODULE_NAME));
    uiLastFocusId = 0;
    return FALSE;
}

static INT_PTR OutSettingsOk(HWND dialog)
{
    ModuleRecord* module = CurrentModule();
    if (!module || !ReadBackSettingsChannel(dialog, GPIB_OUT_SETTINGS, CurrentChannelIndex())) return FALSE;
    StoreModuleTexts(dialog, module);
    if (pWorkParams->outHasInputs == 1) HOST_CALL(ChangeModuleSize)(module, pWorkParams->outChannelCount, 0);
    memcpy(module->params, pWorkParams, sizeof(GpibModuleParams));
    FreeWorkCopy(&pWorkParams, UNIT_GPIBOUT, __LINE__);
    EndDialog(dialog, 1);
    return TRUE;
}

// Undoes an input-count change made by the input-channel box: the stored block decides.
static INT_PTR OutSettingsCancel(HWND dialog)
{
    FreeWorkCopy(&pWorkParams, UNIT_GPIBOUT, __LINE__);
    if (ModuleRecord* module = CurrentModule()) {
        const GpibModuleParams* stored = module->params;
        HOST_CALL(ChangeModuleSize)(module, stored->outHasInputs ? stored->outChannelCount : stored->outInputsWhenOff, 0);
    }
    EndDialog(dialog, 0);
    return TRUE;
}

static INT_PTR OutModeClicked(int id)
{
    pWorkParams->outMode = id;
    uiLastFocusId = id;
    return TRUE;
}

// The module changes its input count at once, before OK.
static INT_PTR OutHasInputsClicked(HWND dialog)
{
    GpibModuleParams* p = pWorkParams;
    ModuleRecord* module = CurrentModule();
    if (module) HOST_CALL(ChangeModuleSize)(module, p->outHasInputs ? p->outInputsWhenOff : p->outChannelCount, 0);
    p->outHasInputs = p->outHasInputs ? 0 : 1;
    EnableWindow(GetDlgItem(dialog, IDC_OUT_COMMAND), !p->outHasInputs);
    uiLastFocusId = IDC_OUT_HAS_INPUTS;
    return TRUE;
}

static INT_PTR OutFocusTracked(int id, int notification)
{
    for (int tracked : OUT_FOCUS_TRACKED)
        if (tracked == id && notification == EN_SETFOCUS) uiLastFocusId = id;
    return FALSE;
}

static INT_PTR OutSettingsCommand(HWND dialog, WPARAM wParam)
{
    int id = LOWORD(wParam);
    if (!pWorkParams && id != IDC_CANCEL) return FALSE;
    switch (id) {
    case IDC_OK: return OutSettingsOk(dialog);
    case IDC_CANCEL: return OutSettingsCancel(dialog);
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    case IDC_OUT_ALWAYS: case IDC_OUT_AT_START: case IDC_OUT_AT_END: return OutModeClicked(id);
    case IDC_OUT_HAS_INPUTS: return OutHasInputsClicked(dialog);
    case IDC_CH_REMOVE: case IDC_CH_ADD: return SettingsChannelBarCommand(dialog, GPIB_OUT_SETTINGS, id);
    }
    return OutFocusTracked(id, HIWORD(wParam));
}

static INT_PTR CALLBACK GpibOutSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG && message != WM_COMMAND && !pWorkParams) return FALSE;
    switch (message) {
    case WM_INITDIALOG: return OutSettingsInit(dialog);
    case WM_COMMAND: return OutSettingsCommand(dialog, wParam);
    case CTL_LBUTTONDOWN: return SettingsChannelButtonDown(dialog, GPIB_OUT_SETTINGS, wParam, lParam);
    case DLG_COPYNAMETOALL: return SettingsCopyNameToAll(dialog, GPIB_OUT_SETTINGS);
    case DLG_COPYCHANNELTOALL: return SettingsCopyChannelToAll(dialog, GPIB_OUT_SETTINGS);
    }
    return FALSE;
}

void OpenGpibOutSettings(ModuleRecord* module)
{
    DialogBoxParamA(g_hInstance, DLG_GPIB_OUT, static_cast<HWND>(module->ownerWindow), GpibOutSettingsProc, 0);
}

// The GPIB-OUT settings dialog "GPIB-OUT".
#include "extavik/ui/gpiboutdlg.h"
#include "extavik/ui/gpibdlog.h"

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
    uiChannelCount = static_cast<uint32_t>(ClampChannelCount(pWorkParams->outChannelCount));
    uiCurrentChannel = 0;
    uiChannelSlots = GPIB_CHANNELS;
    InitChannelBar(dialog);
    PlaceSettingsDialog(dialog);
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

// The GPIB-IN settings dialog "GPIB-IN"; the receive and poll dialogs it opens are in gpibdlog.
#include "extavik/ui/gpibindlg.h"
#include "extavik/ui/gpibdlog.h"

// Buttons 6 and 7 open the poll dialogs of the request mode they belong to.
struct RequestModeButtons {
    int32_t mode;
    BOOL spollEnabled, ppollEnabled;
};
static const RequestModeButtons REQUEST_MODE_BUTTONS[] = {
    {REQUEST_NORMAL, FALSE, FALSE},
    {REQUEST_SPOLL, TRUE, FALSE},
    {REQUEST_PPOLL, FALSE, TRUE},
};

static void FollowRequestMode(HWND dialog, int32_t mode)
{
    for (const RequestModeButtons& row : REQUEST_MODE_BUTTONS) {
        if (row.mode != mode) continue;
        EnableWindow(GetDlgItem(dialog, IDC_SPOLL_SETTINGS), row.spollEnabled);
        EnableWindow(GetDlgItem(dialog, IDC_PPOLL_SETTINGS), row.ppollEnabled);
    }
}

static void FillInChannel(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    CheckRadioButton(dialog, IDC_REQ_NORMAL, IDC_REQ_PPOLL, p->requestMode[c]);
    SetDlgItemField(dialog, IDC_IN_COMMAND, p->commandText[c], GPIB_COMMAND_TEXT_SIZE);
    FollowRequestMode(dialog, p->requestMode[c]);
}

static const SettingsDialogKind GPIB_IN_SETTINGS = {IDC_IN_COMMAND, FillInChannel, nullptr};

static const int IN_DISABLED_WHILE_RUNNING[] = {
    IDC_IN_COMMAND, IDC_TIMEOUT, IDC_PRIMARY, IDC_SECONDARY, IDC_REQ_NORMAL, IDC_REQ_SPOLL, IDC_REQ_PPOLL,
};
// Only normal receive is offered.
static const int IN_ALWAYS_DISABLED[] = {IDC_REQ_PPOLL, IDC_REQ_SPOLL};
static const EditLimit IN_LIMITS[] = {
    {IDC_CHANNEL_NAME, 20}, {IDC_MODULE_NAME, 12}, {IDC_MODULE_COMMENT, 40}, {IDC_IN_COMMAND, 800},
    {IDC_TIMEOUT, 5}, {IDC_PRIMARY, 2}, {IDC_SECONDARY, 2},
};
// Fields whose focus is remembered for DLG_COPYNAMETOALL.
static const int IN_FOCUS_TRACKED[] = {
    IDC_IN_COMMAND, IDC_MODULE_NAME, IDC_MODULE_COMMENT, IDC_CHANNEL_NAME, IDC_PRIMARY, IDC_SECONDARY,
};

static INT_PTR InSettingsInit(HWND dialog)
{
    ModuleRecord* module = CurrentModule();
    pWorkParams = module ? AllocWorkCopy(module->params, UNIT_GPIBIN, __LINE__) : nullptr;
    if (!pWorkParams) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    uiChannelCount = static_cast<uint32_t>(ClampChannelCount(module->outputCount));
    uiCurrentChannel = 0;
    uiChannelSlots = GPIB_CHANNELS;
    InitChannelBar(dialog);
    PlaceSettingsDialog(dialog);
    FillSettingsChannel(dialog, GPIB_IN_SETTINGS, 0);
    if (bExperimentIsRunning)
        EnableControls(dialog, IN_DISABLED_WHILE_RUNNING, sizeof IN_DISABLED_WHILE_RUNNING / sizeof(int), FALSE);
    EnableControls(dialog, IN_ALWAYS_DISABLED, sizeof IN_ALWAYS_DISABLED / sizeof(int), FALSE);
    SetEditLimits(dialog, IN_LIMITS, sizeof IN_LIMITS / sizeof IN_LIMITS[0]);
    ShowModuleTexts(dialog, module);
    SetFocus(GetDlgItem(dialog, IDC_MODULE_NAME));
    uiLastFocusId = 0;
    return FALSE;
}

static INT_PTR InSettingsOk(HWND dialog)
{
    ModuleRecord* module = CurrentModule();
    if (!module || !ReadBackSettingsChannel(dialog, GPIB_IN_SETTINGS, CurrentChannelIndex())) return FALSE;
    StoreModuleTexts(dialog, module);
    memcpy(module->params, pWorkParams, sizeof(GpibModuleParams));
    FreeWorkCopy(&pWorkParams, UNIT_GPIBIN, __LINE__);
    HOST_CALL(ChangeModuleSize)(module, 0, static_cast<int>(uiChannelCount));
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR InSettingsCancel(HWND dialog)
{
    FreeWorkCopy(&pWorkParams, UNIT_GPIBIN, __LINE__);
    EndDialog(dialog, 0);
    return TRUE;
}

static INT_PTR InRequestModeClicked(HWND dialog, int id)
{
    pWorkParams->requestMode[CurrentChannelIndex()] = id;
    uiLastFocusId = id;
    FollowRequestMode(dialog, id);
    return TRUE;
}

static INT_PTR InFocusTracked(int id, int notification)
{
    for (int tracked : IN_FOCUS_TRACKED)
        if (tracked == id && notification == EN_SETFOCUS) uiLastFocusId = id;
    return FALSE;
}

static INT_PTR InSettingsCommand(HWND dialog, WPARAM wParam)
{
    int id = LOWORD(wParam);
    if (!pWorkParams && id != IDC_CANCEL) return FALSE;
    switch (id) {
    case IDC_OK: return InSettingsOk(dialog);
    case IDC_CANCEL: return InSettingsCancel(dialog);
    case IDC_RECV_SETTINGS: OpenRecvSettings(dialog); return TRUE;
    case IDC_SPOLL_SETTINGS: OpenSPollSettings(dialog); return TRUE;
    case IDC_PPOLL_SETTINGS: OpenPPollSettings(dialog); return TRUE;
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    case IDC_REQ_NORMAL: case IDC_REQ_SPOLL: case IDC_REQ_PPOLL: return InRequestModeClicked(dialog, id);
    case IDC_CH_REMOVE: case IDC_CH_ADD: return SettingsChannelBarCommand(dialog, GPIB_IN_SETTINGS, id);
    }
    return InFocusTracked(id, HIWORD(wParam));
}

static INT_PTR CALLBACK GpibInSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG && message != WM_COMMAND && !pWorkParams) return FALSE;
    switch (message) {
    case WM_INITDIALOG: return InSettingsInit(dialog);
    case WM_COMMAND: return InSettingsCommand(dialog, wParam);
    case CTL_LBUTTONDOWN: return SettingsChannelButtonDown(dialog, GPIB_IN_SETTINGS, wParam, lParam);
    case DLG_COPYNAMETOALL: return SettingsCopyNameToAll(dialog, GPIB_IN_SETTINGS);
    case DLG_COPYCHANNELTOALL: return SettingsCopyChannelToAll(dialog, GPIB_IN_SETTINGS);
    }
    return FALSE;
}

void OpenGpibInSettings(ModuleRecord* module)
{
    DialogBoxParamA(g_hInstance, DLG_GPIB_IN, static_cast<HWND>(module->ownerWindow), GpibInSettingsProc, 0);
}

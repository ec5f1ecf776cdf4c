// The GPIB-OUT settings dialog's own pieces: output modes and input channels. The frame is
// settingsdlg's.
#include "extavik/ui/gpiboutdlg.h"
#include "extavik/ui/gpibdlog.h"

static const int OUT_MODE_BUTTONS[] = {IDC_OUT_ALWAYS, IDC_OUT_AT_START, IDC_OUT_AT_END};

static void FillOutChannel(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    for (int id : OUT_MODE_BUTTONS) CheckDlgButton(dialog, id, p->outMode == id ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_OUT_HAS_INPUTS, p->outHasInputs ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemField(dialog, IDC_OUT_COMMAND, p->commandText[c], GPIB_COMMAND_TEXT_SIZE);
}

// With input channels the data on the inputs is sent, not the script.
static void OutInitialized(HWND dialog, const GpibModuleParams* p)
{
    if (p->outHasInputs) EnableWindow(GetDlgItem(dialog, IDC_OUT_COMMAND), FALSE);
}

// GPIB-OUT keeps its channel count in the block.
static void OutChannelCountChanged(GpibModuleParams* p)
{
    p->outChannelCount = static_cast<int32_t>(g_barChannelCount);
}

static void OutModeClicked(int id)
{
    g_workParams->outMode = id;
    g_lastFocusId = id;
}

// The module changes its input count at once, before OK.
static void OutHasInputsClicked(HWND dialog)
{
    GpibModuleParams* p = g_workParams;
    ModuleRecord* module = CurrentModule();
    if (module) HOST_CALL(ChangeModuleSize)(module, p->outHasInputs ? p->outInputsWhenOff : p->outChannelCount, 0);
    p->outHasInputs = p->outHasInputs ? 0 : 1;
    EnableWindow(GetDlgItem(dialog, IDC_OUT_COMMAND), !p->outHasInputs);
    g_lastFocusId = IDC_OUT_HAS_INPUTS;
}

static bool OutCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_OUT_ALWAYS: case IDC_OUT_AT_START: case IDC_OUT_AT_END: OutModeClicked(id); return true;
    case IDC_OUT_HAS_INPUTS: OutHasInputsClicked(dialog); return true;
    }
    return false;
}

// With input channels the module's inputs are its channels.
static void OutAccepted(ModuleRecord* module)
{
    const GpibModuleParams* p = module->params;
    if (p->outHasInputs == 1) HOST_CALL(ChangeModuleSize)(module, p->outChannelCount, 0);
}

// Undoes an input-count change made by the input-channel box: the stored block decides.
static void OutCancelled(ModuleRecord* module)
{
    const GpibModuleParams* stored = module->params;
    HOST_CALL(ChangeModuleSize)(module, stored->outHasInputs ? stored->outChannelCount : stored->outInputsWhenOff, 0);
}

static const int OUT_DISABLED_WHILE_RUNNING[] = {
    IDC_OUT_COMMAND, IDC_TIMEOUT, IDC_PRIMARY, IDC_SECONDARY, IDC_OUT_ALWAYS, IDC_OUT_AT_START, IDC_OUT_AT_END,
};
static const int OUT_FOCUS_TRACKED[] = {IDC_OUT_COMMAND, IDC_MODULE_NAME, IDC_MODULE_COMMENT, IDC_CHANNEL_NAME};

const SettingsDialogParts GPIB_OUT_SETTINGS = {
    DLG_GPIB_OUT, UNIT_GPIBOUT, IDC_OUT_COMMAND,
    {OUT_DISABLED_WHILE_RUNNING, COUNT_OF(OUT_DISABLED_WHILE_RUNNING)},
    {nullptr, 0},
    {OUT_FOCUS_TRACKED, COUNT_OF(OUT_FOCUS_TRACKED)},
    FillOutChannel, OutInitialized, OutCommand, OutChannelCountChanged, OutAccepted, OutCancelled,
};

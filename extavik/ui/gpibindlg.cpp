// The GPIB-IN settings dialog's own pieces: request modes and the buttons of the receive and
// poll dialogs (in recvdlg and polldlg). The frame is settingsdlg's.
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

static void RequestModeClicked(HWND dialog, int id)
{
    g_workParams->requestMode[CurrentChannelIndex()] = id;
    g_lastFocusId = id;
    FollowRequestMode(dialog, id);
}

static bool InCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_RECV_SETTINGS: OpenRecvSettings(dialog); return true;
    case IDC_SPOLL_SETTINGS: OpenSPollSettings(dialog); return true;
    case IDC_PPOLL_SETTINGS: OpenPPollSettings(dialog); return true;
    case IDC_REQ_NORMAL: case IDC_REQ_SPOLL: case IDC_REQ_PPOLL: RequestModeClicked(dialog, id); return true;
    }
    return false;
}

// The module's outputs are its channels.
static void InAccepted(ModuleRecord* module)
{
    HOST_CALL(ChangeModuleSize)(module, 0, static_cast<int>(g_barChannelCount));
}

static const int IN_DISABLED_WHILE_RUNNING[] = {
    IDC_IN_COMMAND, IDC_TIMEOUT, IDC_PRIMARY, IDC_SECONDARY, IDC_REQ_NORMAL, IDC_REQ_SPOLL, IDC_REQ_PPOLL,
};
// Only normal receive is offered.
static const int IN_ALWAYS_DISABLED[] = {IDC_REQ_PPOLL, IDC_REQ_SPOLL};
static const int IN_FOCUS_TRACKED[] = {
    IDC_IN_COMMAND, IDC_MODULE_NAME, IDC_MODULE_COMMENT, IDC_CHANNEL_NAME, IDC_PRIMARY, IDC_SECONDARY,
};

const SettingsDialogParts GPIB_IN_SETTINGS = {
    DLG_GPIB_IN, UNIT_GPIBIN, IDC_IN_COMMAND,
    {IN_DISABLED_WHILE_RUNNING, COUNT_OF(IN_DISABLED_WHILE_RUNNING)},
    {IN_ALWAYS_DISABLED, COUNT_OF(IN_ALWAYS_DISABLED)},
    {IN_FOCUS_TRACKED, COUNT_OF(IN_FOCUS_TRACKED)},
    FillInChannel, nullptr, InCommand, nullptr, InAccepted, nullptr,
};

// The one frame of the receive and poll dialogs: working copy, OK, Cancel, help and clicks.
#include "extavik/ui/subdialog.h"

#include <string.h>

// The working copy of the open sub-dialog (they never nest).
static GpibModuleParams* s_subDialogCopy;

static const SubDialog* OpenedSubDialog(HWND dialog)
{
    return reinterpret_cast<const SubDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

static INT_PTR SubDialogInit(HWND dialog, const SubDialog& d)
{
    s_subDialogCopy = AllocWorkCopy(g_workParams, UNIT_GPIBDLOG, __LINE__);
    if (!s_subDialogCopy) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    d.fill(dialog, s_subDialogCopy, CurrentChannelIndex());
    if (bExperimentIsRunning) EnableControls(dialog, d.disabledWhileRunning, d.disabledCount, FALSE);
    SetEditLimits(dialog, d.limits, d.limitCount);
    SetFocus(GetDlgItem(dialog, d.focusId));
    g_lastFocusId = 0;
    return FALSE;
}

static INT_PTR SubDialogOk(HWND dialog, const SubDialog& d)
{
    if (!d.readBack(dialog, s_subDialogCopy, CurrentChannelIndex())) return FALSE;
    memcpy(g_workParams, s_subDialogCopy, sizeof(GpibModuleParams));
    FreeWorkCopy(&s_subDialogCopy, UNIT_GPIBDLOG, __LINE__);
    // The module takes the channel count shown in the main dialog now, even if that is cancelled.
    if (ModuleRecord* module = CurrentModule())
        HOST_CALL(ChangeModuleSize)(module, 0, static_cast<int>(g_barChannelCount));
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR SubDialogCancel(HWND dialog)
{
    FreeWorkCopy(&s_subDialogCopy, UNIT_GPIBDLOG, __LINE__);
    EndDialog(dialog, 0);
    return TRUE;
}

static INT_PTR SubDialogCommand(HWND dialog, const SubDialog& d, WPARAM wParam)
{
    int id = static_cast<int>(wParam);   // only plain clicks: the notification code must be 0
    switch (id) {
    case IDC_OK: return SubDialogOk(dialog, d);
    case IDC_CANCEL: return SubDialogCancel(dialog);
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    }
    if (s_subDialogCopy && d.click(s_subDialogCopy, CurrentChannelIndex(), id)) return TRUE;
    return FALSE;
}

static INT_PTR CALLBACK SubDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return SubDialogInit(dialog, *reinterpret_cast<const SubDialog*>(lParam));
    }
    const SubDialog* d = OpenedSubDialog(dialog);
    if (message == WM_COMMAND && d) return SubDialogCommand(dialog, *d, wParam);
    return FALSE;
}

void OpenSubDialog(const SubDialog& d, HWND owner)
{
    DialogBoxParamA(g_instance, d.templateName, owner, SubDialogProc, reinterpret_cast<LPARAM>(&d));
}

bool ToggleFlag(int32_t* flag)
{
    *flag = *flag == 0 ? 1 : 0;
    return true;
}

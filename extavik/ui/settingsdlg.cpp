// The one frame of both module settings dialogs.
#include "extavik/ui/settingsdlg.h"

#include <stdlib.h>
#include <string.h>

#include "extavik/data/fieldcheck.h"
#include "extavik/data/gpibfields.h"
#include "extavik/module/gpibModule.h"
#include "extavik/module/gpibbus.h"
#include "extavik/ui/dlgplace.h"
#include "extavik/ui/gpibdlog.h"

// ---- one channel of the working copy ----

static void FillSettingsChannel(HWND dialog, const SettingsDialogParts& parts, unsigned c)
{
    GpibModuleParams* p = g_workParams;
    if (!p || c >= GPIB_CHANNELS) return;
    TakeBusSettings(p);
    SetDlgItemSigned(dialog, IDC_CURRENT_CHANNEL, static_cast<int32_t>(c));
    SetDlgItemField(dialog, IDC_CHANNEL_NAME, p->channelName[c], GPIB_CHANNEL_NAME_SIZE);
    SetDlgItemSigned(dialog, IDC_PRIMARY, p->addr[c].primaryAddress);
    SetDlgItemSigned(dialog, IDC_SECONDARY, p->addr[c].secondaryAddress);
    SetDlgItemSigned(dialog, IDC_TIMEOUT, p->busTimeout);
    parts.fillChannel(dialog, p, c);
}

// Fields after a failing one keep their stored values and nothing is published.
static bool ReadBackSettingsChannel(HWND dialog, const SettingsDialogParts& parts, unsigned c)
{
    GpibModuleParams* p = g_workParams;
    if (!p || c >= GPIB_CHANNELS) return false;
    GetDlgItemTextA(dialog, GPIB_FIELDS[GF_CHANNEL_NAME].controlId, p->channelName[c], TextRoom(GF_CHANNEL_NAME));
    if (!ReadBackNumberField(dialog, GF_PRIMARY_ADDRESS, WARN_TITLE_GPIB, p, c)) return false;

    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, GPIB_FIELDS[GF_SECONDARY_ADDRESS].controlId, field, sizeof field);
    p->addr[c].secondaryAddress = static_cast<int16_t>(strtol(field, nullptr, 10));

    if (!ReadBackNumberField(dialog, GF_BUS_TIMEOUT, WARN_TITLE_GPIB, p, c)) return false;

    memset(p->commandText[c], 0, GPIB_COMMAND_TEXT_SIZE);
    GetDlgItemTextA(dialog, parts.commandId, p->commandText[c], TextRoom(GF_COMMAND_TEXT));
    PublishBusSettings(p);
    return true;
}

static INT_PTR AfterChannelBarAction(HWND dialog)
{
    g_lastFocusId = IDC_CH_FIRST;
    SetFocus(GetDlgItem(dialog, IDC_MODULE_NAME));
    return TRUE;
}

// A failed read back does not stop the change: the warning has been shown.
static INT_PTR SettingsChannelBarCommand(HWND dialog, const SettingsDialogParts& parts, int id)
{
    ReadBackSettingsChannel(dialog, parts, CurrentChannelIndex());
    if (id == IDC_CH_REMOVE) RemoveChannel(dialog);
    else AddChannel(dialog);
    if (parts.channelCountChanged && g_workParams) parts.channelCountChanged(g_workParams);
    FillSettingsChannel(dialog, parts, CurrentChannelIndex());
    return AfterChannelBarAction(dialog);
}

static INT_PTR SettingsChannelButtonDown(HWND dialog, const SettingsDialogParts& parts, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(lParam) == CHANNEL_PRESENT) {
        ReadBackSettingsChannel(dialog, parts, CurrentChannelIndex());
        SelectChannel(dialog, reinterpret_cast<HWND>(wParam));
        FillSettingsChannel(dialog, parts, CurrentChannelIndex());
    }
    return AfterChannelBarAction(dialog);
}

static unsigned CopyTargets()
{
    return g_barChannelCount < unsigned(GPIB_CHANNELS) ? g_barChannelCount : unsigned(GPIB_CHANNELS);
}

static INT_PTR SettingsCopyNameToAll(HWND dialog, const SettingsDialogParts& parts)
{
    unsigned c = CurrentChannelIndex();
    ReadBackSettingsChannel(dialog, parts, c);
    FillSettingsChannel(dialog, parts, c);
    if (!g_workParams || g_lastFocusId != IDC_CHANNEL_NAME) return FALSE;
    for (unsigned i = 0; i < CopyTargets(); ++i)
        if (i != c) memcpy(g_workParams->channelName[i], g_workParams->channelName[c], GPIB_CHANNEL_NAME_SIZE);
    return FALSE;
}

static INT_PTR SettingsCopyChannelToAll(HWND dialog, const SettingsDialogParts& parts)
{
    unsigned c = CurrentChannelIndex();
    ReadBackSettingsChannel(dialog, parts, c);
    FillSettingsChannel(dialog, parts, c);
    GpibModuleParams* p = g_workParams;
    if (!p) return FALSE;
    for (unsigned i = 0; i < CopyTargets(); ++i) {
        if (i == c) continue;
        memcpy(p->channelName[i], p->channelName[c], GPIB_CHANNEL_NAME_SIZE);
        memcpy(p->commandText[i], p->commandText[c], GPIB_COMMAND_TEXT_SIZE);
        p->requestMode[i] = p->requestMode[c];
    }
    return FALSE;
}

static void ShowModuleTexts(HWND dialog, const ModuleRecord* module)
{
    SetDlgItemField(dialog, IDC_MODULE_NAME, module->moduleName, sizeof module->moduleName);
    SetDlgItemField(dialog, IDC_MODULE_COMMENT, module->moduleComment, sizeof module->moduleComment);
}

static void StoreModuleTexts(HWND dialog, ModuleRecord* module)
{
    GetDlgItemTextA(dialog, IDC_MODULE_NAME, module->moduleName, sizeof module->moduleName);
    GetDlgItemTextA(dialog, IDC_MODULE_COMMENT, module->moduleComment, sizeof module->moduleComment);
}

// ---- the frame ----

// The type whose settings dialog is open (one at a time: the dialog is modal).
static const GpibModuleType* s_openType;

static const SettingsDialogParts& OpenParts() { return *s_openType->settings; }

static INT_PTR SettingsInit(HWND dialog)
{
    const SettingsDialogParts& parts = OpenParts();
    ModuleRecord* module = CurrentModule();
    g_workParams = module ? AllocWorkCopy(module->params, parts.unit, __LINE__) : nullptr;
    if (!g_workParams) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    g_barChannelCount = static_cast<uint32_t>(ClampChannelCount(s_openType->channelCount(module)));
    g_currentChannel = 0;
    g_barSlots = GPIB_CHANNELS;
    InitChannelBar(dialog);
    PlaceSettingsDialog(dialog);
    FillSettingsChannel(dialog, parts, 0);
    if (bExperimentIsRunning)
        EnableControls(dialog, parts.disabledWhileRunning.ids, parts.disabledWhileRunning.count, FALSE);
    EnableControls(dialog, parts.alwaysDisabled.ids, parts.alwaysDisabled.count, FALSE);
    const EditLimit limits[] = {
        {IDC_CHANNEL_NAME, 20}, {IDC_MODULE_NAME, 12}, {IDC_MODULE_COMMENT, 40}, {parts.commandId, 800},
        {IDC_TIMEOUT, 5}, {IDC_PRIMARY, 2}, {IDC_SECONDARY, 2},
    };
    SetEditLimits(dialog, limits, COUNT_OF(limits));
    ShowModuleTexts(dialog, module);
    if (parts.initialized) parts.initialized(dialog, g_workParams);
    SetFocus(GetDlgItem(dialog, IDC_MODULE_NAME));
    g_lastFocusId = 0;
    return FALSE;
}

static INT_PTR SettingsOk(HWND dialog)
{
    const SettingsDialogParts& parts = OpenParts();
    ModuleRecord* module = CurrentModule();
    if (!module || !ReadBackSettingsChannel(dialog, parts, CurrentChannelIndex())) return FALSE;
    StoreModuleTexts(dialog, module);
    memcpy(module->params, g_workParams, sizeof(GpibModuleParams));
    FreeWorkCopy(&g_workParams, parts.unit, __LINE__);
    parts.accepted(module);
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR SettingsCancel(HWND dialog)
{
    const SettingsDialogParts& parts = OpenParts();
    FreeWorkCopy(&g_workParams, parts.unit, __LINE__);
    if (ModuleRecord* module = CurrentModule())
        if (parts.cancelled) parts.cancelled(module);
    EndDialog(dialog, 0);
    return TRUE;
}

static INT_PTR FocusTracked(const ControlIds& tracked, int id, int notification)
{
    for (int i = 0; i < tracked.count; ++i)
        if (tracked.ids[i] == id && notification == EN_SETFOCUS) g_lastFocusId = id;
    return FALSE;
}

static INT_PTR SettingsCommand(HWND dialog, WPARAM wParam)
{
    const SettingsDialogParts& parts = OpenParts();
    int id = LOWORD(wParam);
    if (!g_workParams && id != IDC_CANCEL) return FALSE;
    switch (id) {
    case IDC_OK: return SettingsOk(dialog);
    case IDC_CANCEL: return SettingsCancel(dialog);
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    case IDC_CH_REMOVE: case IDC_CH_ADD: return SettingsChannelBarCommand(dialog, parts, id);
    }
    if (parts.command(dialog, id)) return TRUE;
    return FocusTracked(parts.focusTracked, id, HIWORD(wParam));
}

static INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG && message != WM_COMMAND && !g_workParams) return FALSE;
    switch (message) {
    case WM_INITDIALOG: return SettingsInit(dialog);
    case WM_COMMAND: return SettingsCommand(dialog, wParam);
    case CTL_LBUTTONDOWN: return SettingsChannelButtonDown(dialog, OpenParts(), wParam, lParam);
    case DLG_COPYNAMETOALL: return SettingsCopyNameToAll(dialog, OpenParts());
    case DLG_COPYCHANNELTOALL: return SettingsCopyChannelToAll(dialog, OpenParts());
    }
    return FALSE;
}

void OpenSettingsDialog(const GpibModuleType& type, ModuleRecord* module)
{
    const GpibModuleType* outer = s_openType;
    s_openType = &type;
    DialogBoxParamA(g_instance, type.settings->templateName, static_cast<HWND>(module->ownerWindow),
                    SettingsDialogProc, 0);
    s_openType = outer;
}

// "SELECT": the own bus address of a module being created.
#include "extavik/data/gpibfields.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/gpibdlog.h"

static ModuleRecord* s_selectingModule;   // the module being created, when the host names none

static INT_PTR SelectInit(HWND dialog)
{
    SetDlgItemSigned(dialog, IDC_MY_ADDRESS, DEFAULT_MY_ADDRESS);   // always proposed, whatever the block holds
    g_lastFocusId = 0;
    return FALSE;
}

static INT_PTR SelectOk(HWND dialog)
{
    const GpibField& f = GPIB_FIELDS[GF_MY_ADDRESS];
    int32_t address;
    if (!ReadCheckedInteger(dialog, f.controlId, static_cast<int32_t>(f.min), static_cast<int32_t>(f.max),
                            WARN_TITLE_SELECT, f.warning, &address))
        return TRUE;
    ModuleRecord* module = CurrentModule();
    if (!module) module = s_selectingModule;
    if (module && module->params) StoreGpibFieldNumber(module->params, f, 0, address);
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR SelectCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_OK: return SelectOk(dialog);
    case IDC_CANCEL: EndDialog(dialog, 0); return TRUE;
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK SelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return SelectInit(dialog);
    case WM_COMMAND: return SelectCommand(dialog, wParam);
    }
    return FALSE;
}

bool SelectOwnAddress(ModuleRecord* module)
{
    s_selectingModule = module;
    INT_PTR result = DialogBoxParamA(g_instance, DLG_SELECT,
                                     module ? static_cast<HWND>(module->ownerWindow) : nullptr,
                                     SelectDlgProc, 0);
    s_selectingModule = nullptr;
    return result == 1;
}

// What the settings dialogs and their sub-dialogs share: the working copy, the focus record,
// the open module and channel, and small field helpers.
#include "extavik/ui/gpibdlog.h"

#include <string.h>

#include "extavik/data/fieldcheck.h"
#include "extavik/data/gpibfields.h"

GpibModuleParams* g_workParams;
int32_t g_lastFocusId;

ModuleRecord* CurrentModule()
{
    ModuleRecord** current = reinterpret_cast<ModuleRecord**>(g_hostValues[HN_CurrentModulePtr_ADDR]);
    return current ? *current : nullptr;
}

unsigned CurrentChannelIndex()
{
    return g_currentChannel < GPIB_CHANNELS ? g_currentChannel : 0;
}

GpibModuleParams* AllocWorkCopy(const GpibModuleParams* from, const char* unit, int line)
{
    if (!from) return nullptr;
    GpibModuleParams* copy = static_cast<GpibModuleParams*>(
        HOST_CALL(NewMemAlloc)(sizeof(GpibModuleParams), unit, line));
    if (copy) memcpy(copy, from, sizeof(GpibModuleParams));
    return copy;
}

void FreeWorkCopy(GpibModuleParams** copy, const char* unit, int line)
{
    if (*copy) HOST_CALL(NewDoMemFree)(*copy, unit, line);
    *copy = nullptr;
}

void SetDlgItemSigned(HWND dialog, int id, int32_t value)
{
    SetDlgItemInt(dialog, id, static_cast<UINT>(value), TRUE);
}

void SetDlgItemUnsigned(HWND dialog, int id, uint32_t value)
{
    SetDlgItemInt(dialog, id, value, FALSE);
}

bool ReadCheckedInteger(HWND dialog, int id, int32_t min, int32_t max, const char* title,
                       const char* text, int32_t* value)
{
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, id, field, sizeof field);
    if (CheckIntegerText(field, min, max, value)) return true;
    HOST_CALL(ShowWarning)(title, text);
    return false;
}

// Reads the field's control, checks it against the range the table gives the dialogs and stores
// it into channel c of p; shows the field's warning under title when it is refused.
bool ReadBackNumberField(HWND dialog, GpibFieldId id, const char* title, GpibModuleParams* p, unsigned c)
{
    const GpibField& f = GPIB_FIELDS[id];
    int32_t value;
    if (!ReadCheckedInteger(dialog, f.controlId, static_cast<int32_t>(f.min), static_cast<int32_t>(f.max),
                            title, f.warning, &value))
        return false;
    StoreGpibFieldNumber(p, f, static_cast<int>(c), value);
    return true;
}

// The room a text field's control is read with: its longest text and the ending zero.
int TextRoom(GpibFieldId id)
{
    return static_cast<int>(GPIB_FIELDS[id].max) + 1;
}

void SetEditLimits(HWND dialog, const EditLimit* limits, int count)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, limits[i].id, EM_LIMITTEXT, limits[i].limit, 0);
}

void EnableControls(HWND dialog, const int* ids, int count, BOOL enable)
{
    for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(dialog, ids[i]), enable);
}

void SetDlgItemField(HWND dialog, int id, const char* field, size_t fieldSize)
{
    char text[GPIB_COMMAND_TEXT_SIZE + 1];
    size_t length = strnlen(field, fieldSize < sizeof text - 1 ? fieldSize : sizeof text - 1);
    memcpy(text, field, length);
    text[length] = '\0';
    SetDlgItemTextA(dialog, id, text);
}

// What the settings dialogs and their sub-dialogs share: the working copy, the focus record,
// the open module and channel, small field helpers; and how the sub-dialogs are opened.
#pragma once
#include <string.h>

#include "extavik/data/gpibfields.h"
#include "extavik/ui/controls.h"
#include "extavik/texts/dlgtexts.h"
#include "extavik/host/plugin.h"
#include "extavik/ui/resources/resource.h"

// Working copy of the parameter block edited by the open settings dialog (null when none).
extern GpibModuleParams* g_workParams;
// Control that last got the focus or was clicked in the settings dialog; 0 after the dialog or
// one of its sub-dialogs opened, IDC_CH_FIRST after a channel-bar action.
extern int32_t g_lastFocusId;

// The module whose dialog is open: the one the host's current-module pointer designates.
ModuleRecord* CurrentModule();
// g_currentChannel as an index that is safe for the per-channel arrays.
unsigned CurrentChannelIndex();

// A working copy of a parameter block from the host heap, and its release.
GpibModuleParams* AllocWorkCopy(const GpibModuleParams* from, const char* unit, int line);
void FreeWorkCopy(GpibModuleParams** copy, const char* unit, int line);

// Field helpers.
void SetDlgItemSigned(HWND dialog, int id, int32_t value);
void SetDlgItemUnsigned(HWND dialog, int id, uint32_t value);
// Reads a field into a FIELD_TEXT_SIZE buffer and checks it; false after showing title/text.
bool ReadCheckedInteger(HWND dialog, int id, int32_t min, int32_t max, const char* title,
                       const char* text, int32_t* value);
struct EditLimit {
    int id;
    int limit;
};
void SetEditLimits(HWND dialog, const EditLimit* limits, int count);
void EnableControls(HWND dialog, const int* ids, int count, BOOL enable);

// Shows a text field of a block that may fill its whole field without a terminator.
void SetDlgItemField(HWND dialog, int id, const char* field, size_t fieldSize);

// Reads field id's control, checks it against the range the field table gives the dialogs and
// stores it into channel c of p; shows the field's warning under title when it is refused.
bool ReadBackNumberField(HWND dialog, GpibFieldId id, const char* title, GpibModuleParams* p, unsigned c);
// The room a text field's control is read with: its longest text and the ending zero.
int TextRoom(GpibFieldId id);

#define COUNT_OF(a) static_cast<int>(sizeof(a) / sizeof((a)[0]))

// "SELECT": asks for the own bus address of the module being created; true after OK.
bool SelectOwnAddress(ModuleRecord* module);
// Sub-dialogs of the GPIB-IN settings dialog; they edit g_currentChannel of g_workParams.
void OpenRecvSettings(HWND owner);
void OpenSPollSettings(HWND owner);
void OpenPPollSettings(HWND owner);

// The buffer sizes and request intervals offered by "RECV", in the order they are added.
extern const char* const RECV_BUFFER_CHOICES[11];
extern const char* const RECV_INTERVAL_CHOICES[9];

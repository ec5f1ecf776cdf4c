// The one frame of the GPIB-IN and GPIB-OUT settings dialogs, driven by the pieces each module
// type's descriptor names: working copy, channel bar, OK, Cancel, focus tracking and copies.
#pragma once
#include "extavik/host/plugin.h"

struct GpibModuleType;

// A list of control ids.
struct ControlIds {
    const int* ids;
    int count;
};

// The pieces in which one type's settings dialog differs from the others.
struct SettingsDialogParts {
    const char* templateName;
    const char* unit;                  // books the working copy on the host heap
    int commandId;                     // the command-script edit
    ControlIds disabledWhileRunning;
    ControlIds alwaysDisabled;
    ControlIds focusTracked;           // fields whose focus DLG_COPYNAMETOALL remembers
    void (*fillChannel)(HWND dialog, const GpibModuleParams* p, unsigned c);
    void (*initialized)(HWND dialog, const GpibModuleParams* p);   // null: nothing more to show
    bool (*command)(HWND dialog, int id);   // true when id was one of the type's own controls
    void (*channelCountChanged)(GpibModuleParams* p);   // null when the count is not in the block
    void (*accepted)(ModuleRecord* module);    // after OK stored the block into the module
    void (*cancelled)(ModuleRecord* module);   // null: nothing to undo
};

// MM_SETTINGS: shows the type's settings dialog over the module's owner window.
void OpenSettingsDialog(const GpibModuleType& type, ModuleRecord* module);

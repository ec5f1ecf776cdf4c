// The frame of the receive, serial-poll and parallel-poll dialogs over the GPIB-IN settings
// dialog: one dialog procedure, driven by each dialog's table of pieces.
#pragma once
#include "extavik/ui/gpibdlog.h"

// One sub-dialog, editing channel c of a working copy of the settings dialog's block.
struct SubDialog {
    const char* templateName;
    void (*fill)(HWND dialog, const GpibModuleParams* p, unsigned c);
    const int* disabledWhileRunning;
    int disabledCount;
    const EditLimit* limits;
    int limitCount;
    int focusId;
    bool (*click)(GpibModuleParams* p, unsigned c, int id);   // true when id was a click it stores
    bool (*readBack)(HWND dialog, GpibModuleParams* p, unsigned c);   // false after a warning
};

// Shows d modally over owner; OK stores its copy into g_workParams.
void OpenSubDialog(const SubDialog& d, HWND owner);

// Flips a 0/1 flag of the block; true, as a click handler gives.
bool ToggleFlag(int32_t* flag);

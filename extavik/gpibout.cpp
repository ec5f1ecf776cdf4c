// The GPIB-OUT module.
#include "extavik/gpibout.h"

// ---- module procedure and processing ----

int32_t WINAPI GpibOutModuleProc(ModuleRecord*, uint32_t, int32_t, intptr_t) { return 0; }
int32_t WINAPI GpibOutProcess(ModuleRecord*) { return 1; }

// ---- settings dialog ----

void OpenGpibOutSettings(ModuleRecord*) {}

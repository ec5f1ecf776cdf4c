// The GPIB-IN module.
#include "extavik/gpibin.h"

// ---- module procedure and processing ----

int32_t WINAPI GpibInModuleProc(ModuleRecord*, uint32_t, int32_t, intptr_t) { return 0; }
int32_t WINAPI GpibInProcess(ModuleRecord*) { return 1; }

// ---- settings dialog ----

void OpenGpibInSettings(ModuleRecord*) {}

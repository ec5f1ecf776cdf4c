// The GPIB-OUT module type: its descriptor, module procedure and per-cycle processing.
#pragma once
#include "extavik/module/gpibModule.h"

extern const GpibModuleType GPIB_OUT_TYPE;

int32_t WINAPI GpibOutModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam);
int32_t WINAPI GpibOutProcess(ModuleRecord* module);

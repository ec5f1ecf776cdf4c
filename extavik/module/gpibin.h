// The GPIB-IN module type: its descriptor, module procedure and per-cycle processing.
#pragma once
#include "extavik/module/gpibModule.h"

extern const GpibModuleType GPIB_IN_TYPE;

int32_t WINAPI GpibInModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam);
int32_t WINAPI GpibInProcess(ModuleRecord* module);

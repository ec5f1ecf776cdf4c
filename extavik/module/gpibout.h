// The GPIB-OUT module: module procedure and per-cycle processing.
#pragma once
#include "extavik/host/plugin.h"

int32_t WINAPI GpibOutModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam);
int32_t WINAPI GpibOutProcess(ModuleRecord* module);

// The GPIB-IN settings dialog.
#pragma once
#include "extavik/host/plugin.h"

void OpenGpibInSettings(ModuleRecord* module);

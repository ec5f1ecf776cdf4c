// The GPIB-IN settings dialog.
#pragma once
#include "extavik/plugin.h"

void OpenGpibInSettings(ModuleRecord* module);

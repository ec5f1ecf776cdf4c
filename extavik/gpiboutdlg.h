// The GPIB-OUT settings dialog.
#pragma once
#include "extavik/plugin.h"

void OpenGpibOutSettings(ModuleRecord* module);

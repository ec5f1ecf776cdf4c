// The GPIB-OUT settings dialog.
#pragma once
#include "extavik/host/plugin.h"

void OpenGpibOutSettings(ModuleRecord* module);

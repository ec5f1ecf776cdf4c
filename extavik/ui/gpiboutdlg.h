// The GPIB-OUT settings dialog's pieces, named by the GPIB-OUT descriptor.
#pragma once
#include "extavik/ui/settingsdlg.h"

extern const SettingsDialogParts GPIB_OUT_SETTINGS;

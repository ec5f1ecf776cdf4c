// The GPIB-IN settings dialog's pieces, named by the GPIB-IN descriptor.
#pragma once
#include "extavik/ui/settingsdlg.h"

extern const SettingsDialogParts GPIB_IN_SETTINGS;

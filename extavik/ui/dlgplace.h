// Placement and font of the main settings dialogs.
#pragma once
#include "extavik/host/plugin.h"

// Centres a main settings dialog over the host window and gives its children the dialog font.
void PlaceSettingsDialog(HWND dialog);

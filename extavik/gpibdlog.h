// The receive, serial-poll, parallel-poll and own-address dialogs.
#pragma once
#include "extavik/plugin.h"

// "SELECT": asks for the own bus address of the module being created; 1 after OK, 0 after Cancel.
int SelectOwnAddress(ModuleRecord* module);
void OpenRecvSettings(HWND owner);
void OpenSPollSettings(HWND owner);
void OpenPPollSettings(HWND owner);

// The channel-bar controls and their controller.
#pragma once
#include "extavik/plugin.h"

#define CLASS_CHANNEL_BUTTON "ZUV:CONTROLKANAL"
#define CLASS_LESSMORE_BUTTON "ZUV:CONTROLLESSMORE"

LRESULT CALLBACK ChannelButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LessMoreButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Channel-bar state shared by both settings dialogs.
extern uint32_t uiCurrentChannel;
extern uint32_t uiChannelCount;
extern uint32_t uiChannelSlots;

void InitChannelBar(HWND dialog);
void RemoveChannel(HWND dialog);
void AddChannel(HWND dialog);
void SelectChannel(HWND dialog, HWND pressedButton);

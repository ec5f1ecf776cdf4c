// The channel-bar controls and their controller.
#pragma once
#include "extavik/host/plugin.h"

#define CLASS_CHANNEL_BUTTON "ZUV:CONTROLKANAL"
#define CLASS_LESSMORE_BUTTON "ZUV:CONTROLLESSMORE"

// Channel button states; each is also the index of its picture in the host's hBitChannel array.
enum {
    CHANNEL_INITIAL = 0,
    CHANNEL_CURRENT = 1,
    CHANNEL_PRESENT = 2,
    CHANNEL_ABSENT = 3,
    CHANNEL_STATE_COUNT = 4,
};

// Remove/add button states (indices into hBitLessMore); the range says which button it is.
enum {
    REMOVE_DISABLED = 0,
    REMOVE_UP = 1,
    REMOVE_PRESSED = 2,
    ADD_DISABLED = 3,
    ADD_UP = 4,
    ADD_PRESSED = 5,
    LESSMORE_STATE_COUNT = 6,
};

// Fixed pixel sizes of the buttons, whatever the dialog template gives.
enum {
    CHANNEL_BUTTON_WIDTH = 22,
    CHANNEL_BUTTON_HEIGHT = 30,
    LESSMORE_BUTTON_WIDTH = 24,
    LESSMORE_BUTTON_HEIGHT = 32,
};

LRESULT CALLBACK ChannelButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LessMoreButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Channel-bar state shared by both settings dialogs.
extern uint32_t g_currentChannel;
extern uint32_t g_barChannelCount;
extern uint32_t g_barSlots;

// Sets every button from the controller state.
void InitChannelBar(HWND dialog);
// Drop the last channel / append one; nothing happens at 1 or at g_barSlots channels.
void RemoveChannel(HWND dialog);
void AddChannel(HWND dialog);
// Makes the pressed channel button's channel current; a window that is no slot of the bar is ignored.
void SelectChannel(HWND dialog, HWND pressedButton);

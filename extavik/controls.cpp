// Channel-bar controls. (stub: being built)
#include "extavik/controls.h"

uint32_t uiCurrentChannel, uiChannelCount, uiChannelSlots;

LRESULT CALLBACK ChannelButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK LessMoreButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

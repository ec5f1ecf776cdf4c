// Channel-bar controls: the channel buttons, the remove/add buttons and the controller that
// keeps their states in step with the settings dialog's channels.
#include "extavik/ui/controls.h"

#include "extavik/ui/resources/resource.h"

uint32_t g_currentChannel, g_barChannelCount, g_barSlots;

// ---- common to both button classes ----

static WORD ButtonState(HWND hwnd) { return GetWindowWord(hwnd, 0); }

static void SetButtonState(HWND hwnd, WORD state)
{
    SetWindowWord(hwnd, 0, state);
    InvalidateRect(hwnd, nullptr, FALSE);
}

static LRESULT OnCreate(HWND hwnd, const CREATESTRUCTA* create, int width, int height)
{
    MoveWindow(hwnd, create->x, create->y, width, height, TRUE);
    return 0;
}

static LRESULT OnSetState(HWND hwnd, WPARAM wParam)
{
    SetButtonState(hwnd, LOWORD(wParam));
    return 0;
}

// Draws the picture of the button's state from a host bitmap array. A state the array has no
// entry for (CTL_SETSTATE takes any 16-bit value) shows the plain background instead.
static LRESULT OnPaint(HWND hwnd, HostNameIndex bitmapArray, unsigned pictureCount)
{
    const HBITMAP* pictures = reinterpret_cast<const HBITMAP*>(g_hostValues[bitmapArray]);
    WORD state = ButtonState(hwnd);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    HBITMAP picture = (pictures && state < pictureCount) ? pictures[state] : nullptr;
    BITMAP size;
    if (picture && GetObjectA(picture, sizeof size, &size)) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, picture);
        SetMapMode(memory, GetMapMode(dc));
        POINT extent = {size.bmWidth, size.bmHeight};
        DPtoLP(dc, &extent, 1);
        BitBlt(dc, 0, 0, extent.x, extent.y, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
    } else {
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
    }
    EndPaint(hwnd, &paint);
    return 0;
}

// ---- channel button ----

static LRESULT NotifyParent(HWND hwnd, UINT notification)
{
    SendMessageA(GetParent(hwnd), notification, reinterpret_cast<WPARAM>(hwnd), ButtonState(hwnd));
    return 0;
}

// Double clicks mean nothing while an experiment runs.
static LRESULT NotifyParentWhenIdle(HWND hwnd, UINT notification)
{
    if (!bExperimentIsRunning) NotifyParent(hwnd, notification);
    return 0;
}

static LRESULT OnDeselect(HWND hwnd)
{
    if (ButtonState(hwnd) == CHANNEL_CURRENT) SetButtonState(hwnd, CHANNEL_PRESENT);
    return 0;
}

LRESULT CALLBACK ChannelButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(hwnd, reinterpret_cast<CREATESTRUCTA*>(lParam), CHANNEL_BUTTON_WIDTH, CHANNEL_BUTTON_HEIGHT);
    case CTL_SETSTATE: return OnSetState(hwnd, wParam);
    case CTL_DESELECT: return OnDeselect(hwnd);
    case WM_PAINT: return OnPaint(hwnd, HN_hBitChannel, CHANNEL_STATE_COUNT);
    case WM_LBUTTONDOWN: return NotifyParent(hwnd, CTL_LBUTTONDOWN);
    case WM_LBUTTONUP: return NotifyParent(hwnd, CTL_LBUTTONUP);
    case WM_LBUTTONDBLCLK: return NotifyParentWhenIdle(hwnd, CTL_LBUTTONDBLCLK);
    case WM_RBUTTONDBLCLK: return NotifyParentWhenIdle(hwnd, CTL_RBUTTONDBLCLK);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- remove/add button ----

static int IsRemoveButton(WORD state) { return state < ADD_DISABLED; }
static int IsUsable(WORD state)
{
    return state == REMOVE_UP || state == REMOVE_PRESSED || state == ADD_UP || state == ADD_PRESSED;
}

static LRESULT OnLessMoreDown(HWND hwnd)
{
    WORD state = ButtonState(hwnd);
    if (!IsUsable(state)) return 0;   // disabled: no picture change, no capture
    SetButtonState(hwnd, IsRemoveButton(state) ? REMOVE_PRESSED : ADD_PRESSED);
    UpdateWindow(hwnd);
    SetCapture(hwnd);
    return 0;
}

// The command goes out wherever the mouse is released: a press is never taken back.
static LRESULT OnLessMoreUp(HWND hwnd)
{
    if (GetCapture() != hwnd) return 0;
    WORD state = ButtonState(hwnd);
    if (!IsUsable(state)) return 0;
    ReleaseCapture();
    int remove = IsRemoveButton(state);
    SetButtonState(hwnd, remove ? REMOVE_UP : ADD_UP);
    UpdateWindow(hwnd);
    SendMessageA(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(remove ? IDC_CH_REMOVE : IDC_CH_ADD, 0), 0);
    return 0;
}

LRESULT CALLBACK LessMoreButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(hwnd, reinterpret_cast<CREATESTRUCTA*>(lParam), LESSMORE_BUTTON_WIDTH, LESSMORE_BUTTON_HEIGHT);
    case CTL_SETSTATE: return OnSetState(hwnd, wParam);
    case WM_PAINT: return OnPaint(hwnd, HN_hBitLessMore, LESSMORE_STATE_COUNT);
    case WM_LBUTTONDOWN: return OnLessMoreDown(hwnd);
    case WM_LBUTTONUP: return OnLessMoreUp(hwnd);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- controller ----

static unsigned SlotCount()
{
    return g_barSlots < unsigned(GPIB_CHANNELS) ? g_barSlots : unsigned(GPIB_CHANNELS);
}

static void SetSlotState(HWND dialog, unsigned slot, WORD state)
{
    SendDlgItemMessageA(dialog, IDC_CH_FIRST + slot, CTL_SETSTATE, state, 0);
}

static void SetEndButton(HWND dialog, int id, WORD state)
{
    SendDlgItemMessageA(dialog, id, CTL_SETSTATE, state, 0);
}

void InitChannelBar(HWND dialog)
{
    unsigned slots = SlotCount();
    for (unsigned i = 0; i < slots; ++i)
        SetSlotState(dialog, i, i >= g_barChannelCount ? CHANNEL_ABSENT
                                : i == g_currentChannel ? CHANNEL_CURRENT : CHANNEL_PRESENT);
    if (bExperimentIsRunning == 1) {
        SetEndButton(dialog, IDC_CH_REMOVE, REMOVE_DISABLED);
        SetEndButton(dialog, IDC_CH_ADD, ADD_DISABLED);
    } else {
        SetEndButton(dialog, IDC_CH_REMOVE, g_barChannelCount >= 2 ? REMOVE_UP : REMOVE_DISABLED);
        SetEndButton(dialog, IDC_CH_ADD, g_barChannelCount > slots - 1 ? ADD_DISABLED : ADD_UP);
    }
}

void RemoveChannel(HWND dialog)
{
    if (g_barChannelCount < 2 || g_barChannelCount > SlotCount()) return;
    if (g_barChannelCount == SlotCount()) SetEndButton(dialog, IDC_CH_ADD, ADD_UP);
    --g_barChannelCount;
    if (g_barChannelCount < 2) SetEndButton(dialog, IDC_CH_REMOVE, REMOVE_DISABLED);
    SetSlotState(dialog, g_barChannelCount, CHANNEL_ABSENT);
    if (g_currentChannel >= g_barChannelCount) {
        g_currentChannel = g_barChannelCount - 1;
        SetSlotState(dialog, g_currentChannel, CHANNEL_CURRENT);
    }
}

void AddChannel(HWND dialog)
{
    if (g_barChannelCount >= SlotCount()) return;
    if (g_barChannelCount == 1) SetEndButton(dialog, IDC_CH_REMOVE, REMOVE_UP);
    ++g_barChannelCount;
    if (g_barChannelCount > SlotCount() - 1) SetEndButton(dialog, IDC_CH_ADD, ADD_DISABLED);
    SetSlotState(dialog, g_barChannelCount - 1, CHANNEL_PRESENT);
}

void SelectChannel(HWND dialog, HWND pressedButton)
{
    int id = GetDlgCtrlID(pressedButton);
    unsigned slot = static_cast<unsigned>(id - IDC_CH_FIRST);
    if (id < IDC_CH_FIRST || slot >= SlotCount() || GetDlgItem(dialog, id) != pressedButton) return;
    SendDlgItemMessageA(dialog, IDC_CH_FIRST + g_currentChannel, CTL_DESELECT, 0, 0);
    g_currentChannel = slot;
    SendMessageA(pressedButton, CTL_SETSTATE, CHANNEL_CURRENT, 0);
}

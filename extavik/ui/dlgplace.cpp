// Placement and font of the main settings dialogs: centred over the host window, on screen,
// with the normal-weight dialog font made once.
#include "extavik/ui/dlgplace.h"

static POINT ReferencePoint()
{
    POINT centre;
    RECT rect;
    if (g_hostWindow && IsWindow(g_hostWindow)) {
        GetClientRect(g_hostWindow, &rect);
        centre.x = rect.right / 2;
        centre.y = rect.bottom / 2;
        ClientToScreen(g_hostWindow, &centre);
    } else {
        GetWindowRect(GetDesktopWindow(), &rect);
        centre.x = rect.left + (rect.right - rect.left) / 2;
        centre.y = rect.top + (rect.bottom - rect.top) / 2;
    }
    return centre;
}

static int ClampToScreen(int position, int size, int screen)
{
    if (position + size > screen) position = screen - size;
    return position < 0 ? 0 : position;
}

static void MakeDialogFont(HWND dialog)
{
    if (g_dialogFont) return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    LOGFONTA logFont;
    if (!font || !GetObjectA(font, sizeof logFont, &logFont)) return;   // the next dialog tries again
    logFont.lfWeight = FW_NORMAL;
    g_dialogFont = HOST_CALL(CreateStackedFontIndirect)(&logFont);
}

static int KeepsOwnFont(HWND child)
{
    static const char* const classes[] = {"EDIT", "LISTBOX", "COMBOBOX"};
    char name[32] = "";
    GetClassNameA(child, name, sizeof name);
    for (const char* keep : classes)
        if (lstrcmpiA(name, keep) == 0) return 1;
    return 0;
}

void PlaceSettingsDialog(HWND dialog)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    POINT centre = ReferencePoint();
    int x = ClampToScreen(centre.x - width / 2, width, GetSystemMetrics(SM_CXSCREEN));
    int y = ClampToScreen(centre.y - height / 2, height, GetSystemMetrics(SM_CYSCREEN));
    MoveWindow(dialog, x, y, width, height, FALSE);

    MakeDialogFont(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (!KeepsOwnFont(child))
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_dialogFont), FALSE);
}

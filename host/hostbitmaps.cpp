// The host's button pictures: hBitChannel (four channel states) and hBitLessMore (remove/add in
// three states each), drawn so that every state looks different.
#include "host/hostinternal.h"

namespace standin {
namespace {

enum { CH_W = 22, CH_H = 30, LM_W = 24, LM_H = 32 };

HBITMAP g_channel[4];
HBITMAP g_lessMore[6];

struct ChannelLook {
    COLORREF face;
    COLORREF mark;
    bool framed;
};
// initial, current, existing, absent
const ChannelLook CHANNEL_LOOKS[4] = {
    {RGB(192, 192, 192), RGB(128, 128, 128), false},
    {RGB(255, 255, 0), RGB(255, 0, 0), true},
    {RGB(0, 160, 0), RGB(255, 255, 255), false},
    {RGB(64, 64, 64), RGB(96, 96, 96), false},
};

struct LessMoreLook {
    bool plus;
    COLORREF face;
    COLORREF sign;
    bool pressed;
};
// remove disabled/up/pressed, add disabled/up/pressed
const LessMoreLook LESSMORE_LOOKS[6] = {
    {false, RGB(192, 192, 192), RGB(128, 128, 128), false},
    {false, RGB(192, 192, 192), RGB(0, 0, 0), false},
    {false, RGB(160, 160, 160), RGB(0, 0, 0), true},
    {true, RGB(192, 192, 192), RGB(128, 128, 128), false},
    {true, RGB(192, 192, 192), RGB(0, 0, 0), false},
    {true, RGB(160, 160, 160), RGB(0, 0, 0), true},
};

void Fill(HDC dc, int l, int t, int r, int b, COLORREF c)
{
    RECT rc = {l, t, r, b};
    HBRUSH brush = CreateSolidBrush(c);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

void Bevel(HDC dc, int w, int h, bool pressed)
{
    COLORREF light = pressed ? RGB(64, 64, 64) : RGB(255, 255, 255);
    COLORREF dark = pressed ? RGB(255, 255, 255) : RGB(64, 64, 64);
    Fill(dc, 0, 0, w, 1, light);
    Fill(dc, 0, 0, 1, h, light);
    Fill(dc, 0, h - 1, w, h, dark);
    Fill(dc, w - 1, 0, w, h, dark);
}

template <typename Draw> HBITMAP Picture(int w, int h, Draw draw)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(dc, bitmap);
    draw(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

HBITMAP DrawChannel(const ChannelLook& look)
{
    return Picture(CH_W, CH_H, [&](HDC dc) {
        Fill(dc, 0, 0, CH_W, CH_H, look.face);
        Fill(dc, 7, 8, CH_W - 7, CH_H - 8, look.mark);
        if (look.framed) {
            Fill(dc, 0, 0, CH_W, 2, RGB(0, 0, 255));
            Fill(dc, 0, CH_H - 2, CH_W, CH_H, RGB(0, 0, 255));
        }
        Bevel(dc, CH_W, CH_H, false);
    });
}

HBITMAP DrawLessMore(const LessMoreLook& look)
{
    return Picture(LM_W, LM_H, [&](HDC dc) {
        int shift = look.pressed ? 1 : 0;
        Fill(dc, 0, 0, LM_W, LM_H, look.face);
        Fill(dc, 5 + shift, 14 + shift, LM_W - 5 + shift, 18 + shift, look.sign);
        if (look.plus) Fill(dc, 10 + shift, 9 + shift, 14 + shift, LM_H - 9 + shift, look.sign);
        Bevel(dc, LM_W, LM_H, look.pressed);
    });
}

}  // namespace

void CreateHostBitmaps()
{
    for (int i = 0; i < 4; i++) g_channel[i] = DrawChannel(CHANNEL_LOOKS[i]);
    for (int i = 0; i < 6; i++) g_lessMore[i] = DrawLessMore(LESSMORE_LOOKS[i]);
}

void DestroyHostBitmaps()
{
    for (HBITMAP& b : g_channel) { DeleteObject(b); b = nullptr; }
    for (HBITMAP& b : g_lessMore) { DeleteObject(b); b = nullptr; }
}

HBITMAP* ChannelBitmapArray() { return g_channel; }
HBITMAP* LessMoreBitmapArray() { return g_lessMore; }

}  // namespace standin

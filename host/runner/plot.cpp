// Plot rendering (GDI into a DIB section) and a small PNG encoder with stored deflate blocks.
#include "host/runner/plot.h"

#include <windows.h>
#include <stdint.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int WIDTH = 960, HEIGHT = 540;
const int LEFT = 90, RIGHT = 200, TOP = 40, BOTTOM = 60;
const COLORREF COLOURS[] = {RGB(31, 119, 180), RGB(255, 127, 14), RGB(44, 160, 44), RGB(214, 39, 40),
                            RGB(148, 103, 189), RGB(140, 86, 75), RGB(227, 119, 194), RGB(127, 127, 127),
                            RGB(188, 189, 34), RGB(23, 190, 207)};

uint32_t Crc32(const unsigned char* data, size_t size, uint32_t crc = 0)
{
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutBE32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void Chunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& data)
{
    PutBE32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBE32(png, Crc32(&png[start], png.size() - start));
}

std::wstring Wide(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
    return w;
}

void Text(HDC dc, int x, int y, const std::string& utf8, UINT align = TA_LEFT)
{
    std::wstring w = Wide(utf8);
    SetTextAlign(dc, align);
    TextOutW(dc, x, y, w.c_str(), static_cast<int>(w.size()));
}

std::string Number(double v)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

}  // namespace

std::vector<unsigned char> EncodePng(const unsigned char* bgrx, int width, int height)
{
    // Raw scanlines: filter byte 0, then RGB.
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const unsigned char* row = bgrx + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            raw.push_back(row[x * 4 + 2]);
            raw.push_back(row[x * 4 + 1]);
            raw.push_back(row[x * 4 + 0]);
        }
    }
    // zlib stream of stored blocks.
    std::vector<unsigned char> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(n & 0xFF); z.push_back(n >> 8);
        z.push_back(~n & 0xFF); z.push_back((~n >> 8) & 0xFF);
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) { a = (a + c) % 65521; b = (b + a) % 65521; }
    PutBE32(z, (b << 16) | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    PutBE32(header, width);
    PutBE32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

bool WritePlotPng(const std::string& path, const std::string& title, const std::vector<PlotSeries>& series)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = WIDTH;
    info.bmiHeader.biHeight = -HEIGHT;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) { DeleteDC(dc); return false; }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    RECT all = {0, 0, WIDTH, HEIGHT};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HFONT font = CreateFontW(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"IPAGothic");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);

    double t0 = 0, t1 = 1, v0 = 0, v1 = 1;
    bool any = false;
    for (const PlotSeries& s : series) {
        for (size_t i = 0; i < s.times.size(); ++i) {
            if (!std::isfinite(s.values[i])) continue;
            if (!any) { t0 = t1 = s.times[i]; v0 = v1 = s.values[i]; any = true; }
            t0 = std::min(t0, s.times[i]); t1 = std::max(t1, s.times[i]);
            v0 = std::min(v0, s.values[i]); v1 = std::max(v1, s.values[i]);
        }
    }
    if (t1 <= t0) t1 = t0 + 1;
    if (v1 <= v0) { v0 -= 1; v1 += 1; }
    double pad = (v1 - v0) * 0.05;
    v0 -= pad; v1 += pad;
    int plotW = WIDTH - LEFT - RIGHT, plotH = HEIGHT - TOP - BOTTOM;
    auto X = [&](double t) { return LEFT + static_cast<int>((t - t0) / (t1 - t0) * plotW); };
    auto Y = [&](double v) { return TOP + plotH - static_cast<int>((v - v0) / (v1 - v0) * plotH); };

    HPEN grid = CreatePen(PS_SOLID, 1, RGB(225, 225, 225));
    HPEN axis = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, grid);
    for (int k = 0; k <= 5; ++k) {
        int gy = TOP + plotH * k / 5, gx = LEFT + plotW * k / 5;
        MoveToEx(dc, LEFT, gy, nullptr); LineTo(dc, LEFT + plotW, gy);
        MoveToEx(dc, gx, TOP, nullptr); LineTo(dc, gx, TOP + plotH);
        Text(dc, LEFT - 6, gy - 8, Number(v1 - (v1 - v0) * k / 5), TA_RIGHT);
        Text(dc, gx, TOP + plotH + 6, Number(t0 + (t1 - t0) * k / 5), TA_CENTER);
    }
    SelectObject(dc, axis);
    Rectangle(dc, LEFT, TOP, LEFT + plotW + 1, TOP + plotH + 1);
    Text(dc, LEFT + plotW / 2, HEIGHT - 28, "time [s]", TA_CENTER);
    Text(dc, WIDTH / 2, 12, title, TA_CENTER);

    for (size_t k = 0; k < series.size(); ++k) {
        const PlotSeries& s = series[k];
        HPEN pen = CreatePen(PS_SOLID, 2, COLOURS[k % 10]);
        SelectObject(dc, pen);
        bool down = false;
        for (size_t i = 0; i < s.times.size(); ++i) {
            if (!std::isfinite(s.values[i])) { down = false; continue; }
            int x = X(s.times[i]), y = Y(s.values[i]);
            if (down) LineTo(dc, x, y); else MoveToEx(dc, x, y, nullptr);
            down = true;
            if (s.times.size() < 80) Ellipse(dc, x - 2, y - 2, x + 3, y + 3);
        }
        int ly = TOP + 10 + static_cast<int>(k) * 20;
        MoveToEx(dc, WIDTH - RIGHT + 15, ly + 8, nullptr); LineTo(dc, WIDTH - RIGHT + 40, ly + 8);
        SelectObject(dc, axis);
        DeleteObject(pen);
        Text(dc, WIDTH - RIGHT + 46, ly, s.label);
    }
    GdiFlush();
    std::vector<unsigned char> png = EncodePng(static_cast<unsigned char*>(bits), WIDTH, HEIGHT);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(grid); DeleteObject(axis); DeleteObject(font); DeleteObject(bitmap);
    DeleteDC(dc);

    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    return fclose(f) == 0 && ok;
}

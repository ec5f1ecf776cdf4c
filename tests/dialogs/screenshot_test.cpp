// Pictures of the six dialogs for the documentation, taken from each dialog's own window once it
// has painted. Opt-in: EXTAVIK_SHOTS=<directory> names where the PNG files go.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

#include "extavik/ui/resources/resource.h"
#include "host/runner/pngfile.h"
#include "tests/dialogs/dialogtest.h"

namespace {

class Screenshots : public DialogTest {};

// Copies the whole window, frame and caption included, as it is on the screen now.
bool SaveWindowPng(HWND window, const std::string& path)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r = {};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info = TopDown(width, height);
    void* bits = nullptr;
    HDC dc = GetWindowDC(window);
    HBITMAP copy = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    bool written = SaveBitmapPng(copy, path);
    DeleteObject(copy);
    return written;
}

TEST_F(Screenshots, OfTheSixDialogs)
{
    const char* dir = getenv("EXTAVIK_SHOTS");
    if (!dir) GTEST_SKIP() << "EXTAVIK_SHOTS not set";
    std::vector<std::string> failed;
    auto shot = [&](const char* name) {
        std::string path = std::string(dir) + "/" + name + ".png";
        return dd::Call([path, &failed](HWND d) { if (!SaveWindowPng(d, path)) failed.push_back(path); });
    };

    dd::Queue(dd::SELECT_TITLE, {shot("select"), dd::SetText(IDC_MY_ADDRESS, "16"), dd::Command(IDC_OK)});
    ModuleRecord* in = standin::CreateModule(CLASS_IN);
    ASSERT_NE(nullptr, in);
    in->outputCount = 3;
    // The poll dialogs open over the same dialog as their buttons would open them when shown.
    Settings(in, {dd::Press(IDC_CH_FIRST + 1), shot("gpib-in"),
                  dd::Nested(IDC_RECV_SETTINGS, TITLE_RECV, {shot("recv"), dd::Command(IDC_CANCEL)}),
                  dd::Nested(IDC_SPOLL_SETTINGS, TITLE_SPOLL, {shot("spoll"), dd::Command(IDC_CANCEL)}),
                  dd::Nested(IDC_PPOLL_SETTINGS, TITLE_PPOLL, {shot("ppoll"), dd::Command(IDC_CANCEL)}),
                  dd::Command(IDC_CANCEL)});

    ModuleRecord* out = Create(true, 16, 4);
    Settings(out, {dd::Click(IDC_OUT_AT_START), shot("gpib-out"), dd::Command(IDC_CANCEL)});
    EXPECT_TRUE(failed.empty()) << "not written: " << failed[0];
}

}  // namespace

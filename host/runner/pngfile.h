// PNG files written with GDI+, which Windows and Wine ship: its PNG encoder, and a session that
// keeps GDI+ started while pictures are drawn and saved.
#pragma once
#include <windows.h>
#include <string>

namespace Gdiplus { class Image; }

// GDI+ is started for the lifetime of a session; sessions may nest.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

// Stores the image as PNG under path (a name in the ANSI code page); false when it cannot.
// Needs a started session.
bool SaveImagePng(Gdiplus::Image& image, const std::string& path);

// Stores a bitmap (a DIB section or a device-dependent bitmap) as PNG; starts GDI+ for the call.
bool SaveBitmapPng(HBITMAP bitmap, const std::string& path);

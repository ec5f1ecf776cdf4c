// PNG files through GDI+.
#include "host/runner/pngfile.h"

#include <algorithm>
#include <vector>
// The GDI+ headers use min and max unqualified.
using std::max;
using std::min;
#include <gdiplus.h>

namespace {

const wchar_t PNG_MIME_TYPE[] = L"image/png";

bool PngEncoder(CLSID& clsid)
{
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, PNG_MIME_TYPE) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

std::wstring WidePath(const std::string& path)
{
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    return wide;
}

}  // namespace

GdiplusSession::GdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession()
{
    if (started_) Gdiplus::GdiplusShutdown(token_);
}

bool SaveImagePng(Gdiplus::Image& image, const std::string& path)
{
    CLSID png;
    if (!PngEncoder(png)) return false;
    std::wstring wide = WidePath(path);
    return !wide.empty() && image.Save(wide.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool SaveBitmapPng(HBITMAP bitmap, const std::string& path)
{
    GdiplusSession session;
    if (!session.Started()) return false;
    Gdiplus::Bitmap image(bitmap, nullptr);
    return image.GetLastStatus() == Gdiplus::Ok && SaveImagePng(image, path);
}

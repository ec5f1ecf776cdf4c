// Reads a file's fixed version block through GetFileVersionInfo (declared in fileversion.h).
#include <windows.h>
#include <vector>
#include "host/runner/fileversion.h"

std::string FileVersionOf(const std::string& path)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size) return "";
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return "";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
        return "";
    std::string v = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
                    "." + std::to_string(HIWORD(fixed->dwFileVersionLS));
    if (LOWORD(fixed->dwFileVersionLS)) v += "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    return v;
}

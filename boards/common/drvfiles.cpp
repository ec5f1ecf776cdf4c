// Files of a driver library (declared in drvfiles.h).
#include <windows.h>
#include <stdio.h>
#include "boards/common/drvfiles.h"

std::string DriverFileDirectory()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&DriverFileDirectory), &self);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, sizeof path);
    std::string dir = path;
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

bool DriverReadFile(const std::string& name, std::string& text)
{
    FILE* f = fopen(name.c_str(), "rb");
    if (!f) return false;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    fclose(f);
    return true;
}

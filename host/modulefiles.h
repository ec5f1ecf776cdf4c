// Where a program's libraries are and how to be rid of one: shared by the runner, the bench, the
// soak and the tests. Header-only, so programs that do not link the stand-in host use it too.
#pragma once
#include <windows.h>
#include <string>

namespace modulefiles {

// The directory of the running program, with a trailing backslash.
inline std::string ProgramDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : dir.substr(0, slash + 1);
}

// Resolves an export of lib into a typed function pointer: null, and false, when lib is null or
// does not export name.
template <typename Fn>
inline bool Resolve(HMODULE lib, const char* name, Fn& slot)
{
    slot = lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
    return slot != nullptr;
}

// FreeLibrary until no module of that name is loaded (bounded, in case the loader pins it); a
// loaded module name is reused by the loader, so switching libraries needs the old one gone.
inline bool UnloadAll(const char* moduleName)
{
    for (int tries = 0; tries < 64; tries++) {
        HMODULE module = GetModuleHandleA(moduleName);
        if (!module) return true;
        FreeLibrary(module);
    }
    return GetModuleHandleA(moduleName) == nullptr;
}

// Unloads the plug-in, TavkX and the driver, in that order: the plug-in holds TavkX, which holds
// the driver. False when one of them would not go.
inline bool UnloadPluginLibraries()
{
    bool ok = UnloadAll("EXTAVIK.dll");
    ok = UnloadAll("TavkX.dll") && ok;
    ok = UnloadAll("tavk.dll") && ok;
    ok = UnloadAll("ni4882.dll") && ok;   // the NI library under an NI-backed tavk.dll
    return UnloadAll("gpib-32.dll") && ok;
}

}  // namespace modulefiles

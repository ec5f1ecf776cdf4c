// The simulated tick counter: the plug-in's import of kernel32 GetTickCount is redirected here,
// so runs are deterministic and may start just before the 32-bit wrap.
#include <string.h>
#include "host/hostinternal.h"

namespace standin {
namespace {

uint32_t g_ticks = 0;
uint32_t g_tickStep = 0;
bool g_patched = false;
bool g_real = false;   // a live run: the host's ticks are the system's

template <typename T> T* At(HMODULE module, DWORD rva)
{
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(module) + rva);
}

bool WritePointer(void** slot, void* value)
{
    DWORD old;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return false;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
    return true;
}

// The import address table slot of dll!function in module, or 0.
void** FindImportSlot(HMODULE module, const char* dll, const char* function)
{
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
    if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    IMAGE_NT_HEADERS* nt = At<IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR* d = At<IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress); d->Name; d++) {
        if (_stricmp(At<char>(module, d->Name), dll) != 0) continue;
        DWORD lookupRva = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        IMAGE_THUNK_DATA* names = At<IMAGE_THUNK_DATA>(module, lookupRva);
        IMAGE_THUNK_DATA* slots = At<IMAGE_THUNK_DATA>(module, d->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME* byName = At<IMAGE_IMPORT_BY_NAME>(module, names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

DWORD WINAPI SimulatedGetTickCount()
{
    uint32_t now = g_ticks;
    g_ticks += g_tickStep;
    return now;
}

void ResetTicks()
{
    g_ticks = 0;
    g_tickStep = 0;
    g_patched = false;
    g_real = false;
}

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement)
{
    void** slot = replacement ? FindImportSlot(module, dll, function) : nullptr;
    if (!slot) return nullptr;
    void* old = *slot;
    return WritePointer(slot, replacement) ? old : nullptr;
}

bool EnableSimulatedTicks(HMODULE module)
{
    if (!module) module = g_host.plugin;
    void* old = PatchImport(module, "kernel32.dll", "GetTickCount", reinterpret_cast<void*>(&SimulatedGetTickCount));
    if (old) g_patched = true;
    return old != nullptr;
}

bool SimulatedTicksEnabled() { return g_patched; }
void SetTicks(uint32_t ticks) { g_ticks = ticks; }
void AdvanceTicks(uint32_t ms) { g_ticks += ms; }
uint32_t Ticks() { return g_real ? GetTickCount() : g_ticks; }
void UseRealTicks() { g_real = true; }
void SetTickStep(uint32_t ms) { g_tickStep = ms; }

}  // namespace standin

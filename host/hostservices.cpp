// The 102 host services: the ones the plug-in calls with the effects it relies on, the rest
// harmless (they record that they were called, which the plug-in never does).
#include <string.h>
#include <utility>
#include "host/hostinternal.h"

namespace standin {
namespace {

int WINAPI HostDefineDllModule(void)
{
    return g_host.refuseModule ? 0 : 1;
}

int WINAPI HostDefineDllVariable(const char* name, void* address, int size)
{
    if (!name || !address) {
        HostError("DefineDllVariable without name or address");
        return 0;
    }
    if (g_host.refusedVariables.count(name)) return 0;
    g_host.variables.push_back({name, address, size});
    PublishVariables();
    return 1;
}

void WINAPI HostRegisterMenuEntry(int commandId, MenuHandlerFn handler)
{
    g_host.menuEntries.push_back({commandId, handler});
}

void WINAPI HostShowWarning(const char* caption, const char* text)
{
    g_host.warnings.push_back({caption ? caption : "(null)", text ? text : "(null)"});
}

void WINAPI HostShowInternalError(const char* text, const char* source, int line)
{
    g_host.internalErrors.push_back({text ? text : "(null)", source ? source : "(null)", line});
}

void WINAPI HostStopExperiment(void)
{
    g_host.stopCalls++;
    g_host.stopRequested = true;
}

HFONT WINAPI HostCreateStackedFontIndirect(const LOGFONTA* font)
{
    if (!font) {
        HostError("CreateStackedFontIndirect without a font");
        return nullptr;
    }
    HFONT handle = CreateFontIndirectA(font);
    g_host.fonts.push_back({*font, handle});
    return handle;
}

void WINAPI HostDeleteStackedObject(HGDIOBJ object)
{
    g_host.deleted.push_back(object);
    for (size_t i = 0; i < g_host.fonts.size(); i++) {
        if (g_host.fonts[i].handle != object) continue;
        DeleteObject(object);
        g_host.fonts.erase(g_host.fonts.begin() + i);
        return;
    }
    HostError("DeleteStackedObject of an object not on the stack");
}

void* WINAPI HostNewMemReAlloc(void* block, DWORD size, const char* file, int line)
{
    HostError("NewMemReAlloc called");
    return nullptr;
}

// The services the plug-in binds but never calls.
template <int I> int WINAPI UnusedService(void)
{
    HostError(std::string("unexpected call of ") + HOST_NAMES[I].name);
    return 0;
}


template <size_t... I>
void FillUnused(uintptr_t* table, std::index_sequence<I...>)
{
    ((table[I] = reinterpret_cast<uintptr_t>(&UnusedService<(int)I>)), ...);
}

struct ServiceRow {
    HostNameIndex index;
    void* address;
};

#define SERVICE_ROW(name, fn) {HN_##name, reinterpret_cast<void*>(&fn)}
const ServiceRow CALLED_SERVICES[] = {
    SERVICE_ROW(NewMemAlloc, HostNewMemAlloc),
    SERVICE_ROW(NewMemReAlloc, HostNewMemReAlloc),
    SERVICE_ROW(NewDoMemFree, HostNewDoMemFree),
    SERVICE_ROW(DefineDllModule, HostDefineDllModule),
    SERVICE_ROW(DefineDllVariable, HostDefineDllVariable),
    SERVICE_ROW(RegisterModuleClass, HostRegisterModuleClass),
    SERVICE_ROW(PerformDefaultAction, HostPerformDefaultAction),
    SERVICE_ROW(NewReleaseOutputBlock, HostNewReleaseOutputBlock),
    SERVICE_ROW(GetCurrentOutputBlock, HostGetCurrentOutputBlock),
    SERVICE_ROW(GetInputBlock, HostGetInputBlock),
    SERVICE_ROW(NewReleaseInputBlock, HostNewReleaseInputBlock),
    SERVICE_ROW(ChangeModuleSize, HostChangeModuleSize),
    SERVICE_ROW(ShowWarning, HostShowWarning),
    SERVICE_ROW(ShowInternalError, HostShowInternalError),
    SERVICE_ROW(StopExperiment, HostStopExperiment),
    SERVICE_ROW(CreateStackedFontIndirect, HostCreateStackedFontIndirect),
    SERVICE_ROW(DeleteStackedObject, HostDeleteStackedObject),
    SERVICE_ROW(RegisterMenuEntry, HostRegisterMenuEntry),
};
#undef SERVICE_ROW

struct ServiceTable {
    uintptr_t address[HOST_NAME_COUNT] = {};
    ServiceTable()
    {
        FillUnused(address, std::make_index_sequence<HOST_NAME_COUNT>());
        for (const ServiceRow& row : CALLED_SERVICES) address[row.index] = reinterpret_cast<uintptr_t>(row.address);
    }
};

}  // namespace

uintptr_t ServiceAddress(HostNameIndex index)
{
    static const ServiceTable table;
    return HOST_NAMES[index].kind == HOST_LOOKUP_SERVICE ? table.address[index] : 0;
}

}  // namespace standin

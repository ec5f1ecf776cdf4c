// The channel buffers of a GPIB-IN run, from the host heap.
#include "extavik/module/gpibbuffers.h"
#include "extavik/data/gpibring.h"

uint32_t TransferBufferBytes(ModuleRecord* module)
{
    if (!module || !module->runtime || !module->runtime->transferBuffer)
        return 0;
    uint32_t largest = 0;
    const int count = ClampChannelCount(module->outputCount);
    for (int c = 0; c < count; c++) {
        const GpibChannelRuntime* rt = module->channel[c];
        if (RingEntries(rt) > largest)
            largest = RingEntries(rt);
    }
    return largest * 4;
}

// Gives a host-heap block back and clears its pointer; nothing when there is none.
static void ReleaseBlock(void** block, int line)
{
    if (*block) {
        HOST_CALL(NewDoMemFree)(*block, UNIT_GPIBMODULE, line);
        *block = nullptr;
    }
}

static void ReleaseRing(GpibChannelRuntime* rt, int line)
{
    void* memory = RingDetach(rt);
    ReleaseBlock(&memory, line);
}

int32_t AllocChannelBuffers(ModuleRecord* module)
{
    const GpibModuleParams* p = module->params;
    const int count = ClampChannelCount(module->outputCount);
    uint32_t largest = 0;
    for (int c = 0; c < count; c++) {
        GpibChannelRuntime* rt = module->channel[c];
        if (!rt)
            continue;
        ReleaseRing(rt, __LINE__);   // a start without a stop left one
        const uint32_t entries = RingEntriesForKB(p->recvBufferKB[c]);
        float* memory = static_cast<float*>(HOST_CALL(NewMemAlloc)(entries * 4, UNIT_GPIBMODULE, __LINE__));
        RingAttach(rt, memory, entries);
        if (!memory)
            return 0;   // what was obtained stays for FreeChannelBuffers
        if (entries > largest)
            largest = entries;
    }
    ReleaseBlock((void**)&module->runtime->transferBuffer, __LINE__);
    if (largest) {
        module->runtime->transferBuffer = static_cast<uint8_t*>(
            HOST_CALL(NewMemAlloc)(largest * 4, UNIT_GPIBMODULE, __LINE__));
        if (!module->runtime->transferBuffer)
            return 0;
    }
    return 1;
}

void FreeChannelBuffers(ModuleRecord* module)
{
    const int count = ClampChannelCount(module->outputCount);
    for (int c = 0; c < count; c++) {
        GpibChannelRuntime* rt = module->channel[c];
        if (rt)
            ReleaseRing(rt, __LINE__);
    }
    if (module->runtime)
        ReleaseBlock((void**)&module->runtime->transferBuffer, __LINE__);
}

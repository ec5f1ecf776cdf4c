// The channel buffers of a GPIB-IN run, from the host heap.
#include "extavik/gpibbuffers.h"
#include "extavik/modtexts.h"

uint32_t RingEntriesForKB(uint32_t kb)
{
    if (kb < RECV_BUFFER_KB_MIN)
        kb = RECV_BUFFER_KB_MIN;
    if (kb > RECV_BUFFER_KB_MAX)
        kb = RECV_BUFFER_KB_MAX;
    return kb * 1024 / 4 + 1;
}

uint32_t TransferBufferBytes(ModuleRecord* module)
{
    if (!module || !module->runtime || !module->runtime->transferBuffer)
        return 0;
    uint32_t largest = 0;
    const int count = ClampChannelCount(module->outputCount);
    for (int c = 0; c < count; c++) {
        const GpibChannelRuntime* rt = module->channel[c];
        if (rt && rt->ring && rt->ringCapacity > largest)
            largest = rt->ringCapacity;
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

int32_t AllocChannelBuffers(ModuleRecord* module)
{
    const GpibModuleParams* p = module->params;
    const int count = ClampChannelCount(module->outputCount);
    uint32_t largest = 0;
    for (int c = 0; c < count; c++) {
        GpibChannelRuntime* rt = module->channel[c];
        if (!rt)
            continue;
        rt->ringRead = 0;
        rt->ringWrite = 0;
        ReleaseBlock((void**)&rt->ring, __LINE__);   // a start without a stop left one
        rt->ringCapacity = RingEntriesForKB(p->recvBufferKB[c]);
        rt->ring = static_cast<float*>(
            HOST_CALL(NewMemAlloc)(rt->ringCapacity * 4, UNIT_GPIBMODULE, __LINE__));
        if (!rt->ring)
            return 0;   // what was obtained stays for FreeChannelBuffers
        if (rt->ringCapacity > largest)
            largest = rt->ringCapacity;
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
            ReleaseBlock((void**)&rt->ring, __LINE__);
    }
    if (module->runtime)
        ReleaseBlock((void**)&module->runtime->transferBuffer, __LINE__);
}

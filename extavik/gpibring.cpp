// The per-channel float32 sample ring of a GPIB-IN module.
//
// The ring is empty when the read and write indexes meet, so a ring of n entries holds at most
// n - 1 unread values. Pure: it touches nothing but the channel block handed to it.
#include "extavik/gpibring.h"

// The ring of one channel, or null when there is none to use: a channel outside the module's
// blocks, a missing channel block or ring, or indexes that no longer fit the capacity.
static GpibChannelRuntime* RingChannel(ModuleRecord* module, int channel)
{
    if (!module || channel < 0 || channel >= GPIB_CHANNELS)
        return nullptr;
    GpibChannelRuntime* rt = module->channel[channel];
    if (!rt || !rt->ring || rt->ringCapacity == 0)
        return nullptr;
    if (rt->ringRead >= rt->ringCapacity || rt->ringWrite >= rt->ringCapacity)
        return nullptr;
    return rt;
}

int32_t RingPush(ModuleRecord* module, int channel, float value)
{
    GpibChannelRuntime* rt = RingChannel(module, channel);
    if (!rt)
        return 1;   // no ring this run: the value has nowhere to go and nothing overflows
    rt->ring[rt->ringWrite] = value;
    if (++rt->ringWrite == rt->ringCapacity)
        rt->ringWrite = 0;
    // Meeting the read index makes the ring read as empty: every undrained value is lost.
    return rt->ringWrite == rt->ringRead ? 0 : 1;
}

// Copies entries from ringRead up to (not including) end; stops early when max is reached.
static uint32_t RingCopy(GpibChannelRuntime* rt, uint32_t end, uint32_t max, float* dest,
                         uint32_t copied, int32_t* full)
{
    while (rt->ringRead < end) {
        if (copied >= max) {
            *full = -1;
            break;
        }
        dest[copied++] = rt->ring[rt->ringRead++];
    }
    return copied;
}

int32_t RingDrain(ModuleRecord* module, int channel, uint32_t maxCount, float* dest, int32_t* full)
{
    *full = 0;
    GpibChannelRuntime* rt = RingChannel(module, channel);
    if (!rt || !dest)
        return 0;
    uint32_t copied = 0;
    if (rt->ringRead > rt->ringWrite) {
        // The unread values wrap: first the tail of the ring, then its start.
        copied = RingCopy(rt, rt->ringCapacity, maxCount, dest, copied, full);
        if (rt->ringRead >= rt->ringCapacity)
            rt->ringRead = 0;
        if (*full)
            return (int32_t)copied;
    }
    copied = RingCopy(rt, rt->ringWrite, maxCount, dest, copied, full);
    return (int32_t)copied;
}

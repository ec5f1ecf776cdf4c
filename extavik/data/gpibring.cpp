// The per-channel float32 sample ring of a GPIB-IN module.
//
// The ring is empty when the read and write indexes meet, so a ring of n entries holds at most
// n - 1 unread values. Pure: it touches nothing but the channel block handed to it (a module and
// channel only name that block).
#include "extavik/data/gpibring.h"
#include "extavik/data/gpibfields.h"

uint32_t RingEntriesForKB(uint32_t kb)
{
    if (kb < RECV_BUFFER_KB_MIN)
        kb = RECV_BUFFER_KB_MIN;
    if (kb > RECV_BUFFER_KB_MAX)
        kb = RECV_BUFFER_KB_MAX;
    return kb * 1024 / 4 + 1;
}

void RingAttach(GpibChannelRuntime* rt, float* memory, uint32_t capacity)
{
    rt->ring = memory;
    rt->ringCapacity = capacity;
    rt->ringRead = 0;
    rt->ringWrite = 0;
}

float* RingDetach(GpibChannelRuntime* rt)
{
    float* memory = rt->ring;
    RingAttach(rt, nullptr, 0);
    return memory;
}

uint32_t RingEntries(const GpibChannelRuntime* rt)
{
    return rt && rt->ring ? rt->ringCapacity : 0;
}

GpibChannelRuntime* RingBlock(const ModuleRecord* module, int channel)
{
    if (!module || channel < 0 || channel >= GPIB_CHANNELS)
        return nullptr;
    return module->channel[channel];
}

RingState RingStateOf(const GpibChannelRuntime* rt)
{
    if (!rt || !rt->ring || rt->ringCapacity == 0)
        return RING_ABSENT;
    if (rt->ringRead >= rt->ringCapacity || rt->ringWrite >= rt->ringCapacity)
        return RING_CORRUPT;
    return RING_USABLE;
}

// The block's ring, or null when it is not usable.
static GpibChannelRuntime* UsableRing(GpibChannelRuntime* rt)
{
    return RingStateOf(rt) == RING_USABLE ? rt : nullptr;
}

// Free entries from the write index to the end of the memory or to the entry before ringRead.
static uint32_t SpanRoom(const GpibChannelRuntime* rt)
{
    const uint32_t capacity = rt->ringCapacity, read = rt->ringRead, write = rt->ringWrite;
    const uint32_t room = read > write ? read - write - 1 : capacity - write + read - 1;
    return room < capacity - write ? room : capacity - write;
}

RingState RingWritableSpan(GpibChannelRuntime* rt, RingSpan* span)
{
    span->at = nullptr;
    span->room = 0;
    const RingState state = RingStateOf(rt);
    if (state == RING_USABLE) {
        span->at = rt->ring + rt->ringWrite;
        span->room = SpanRoom(rt);
    }
    return state;
}

int32_t RingCommit(GpibChannelRuntime* block, uint32_t count)
{
    GpibChannelRuntime* rt = UsableRing(block);
    if (!rt || count > SpanRoom(rt))
        return 0;
    rt->ringWrite += count;
    if (rt->ringWrite == rt->ringCapacity)
        rt->ringWrite = 0;
    return 1;
}

int32_t RingPush(GpibChannelRuntime* block, float value)
{
    GpibChannelRuntime* rt = UsableRing(block);
    if (!rt)
        return 1;   // refused: the value has nowhere to go and nothing overflows
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

int32_t RingDrain(GpibChannelRuntime* block, uint32_t maxCount, float* dest, int32_t* full)
{
    *full = 0;
    GpibChannelRuntime* rt = UsableRing(block);
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

// The per-channel float32 sample ring of a GPIB-IN module. Pure: memory in, results out.
//
// A ring is used only while its channel block holds memory, a capacity and both indexes inside
// that capacity. Indexes outside it are corrupt: every operation refuses such a ring and changes
// nothing. RingStateOf and the writable span say RING_CORRUPT, so that READ reports the values
// as lost; RingPush and RingDrain answer as for no ring.
#pragma once
#include "extavik/host/hostabi.h"

// Ring size in entries for a receive buffer of kb kilobytes (4..16384; outside values clamped).
uint32_t RingEntriesForKB(uint32_t kb);
// Gives channel block rt its ring memory of capacity entries (null memory: no ring), empty.
void RingAttach(GpibChannelRuntime* rt, float* memory, uint32_t capacity);
// Takes the memory back (null when there was none); the block then has no ring.
float* RingDetach(GpibChannelRuntime* rt);
// Entries of the block's ring memory, 0 when it has none.
uint32_t RingEntries(const GpibChannelRuntime* rt);

enum RingState {
    RING_USABLE,
    RING_ABSENT,    // no ring this run: a channel outside the module, no block, no memory
    RING_CORRUPT,   // indexes outside the capacity: refused
};
// Every operation works on a channel's block; a null block has no ring.
RingState RingStateOf(const GpibChannelRuntime* rt);

// Free entries from the write index on, in one piece: room values can be written at `at`
// without reaching the unread ones.
struct RingSpan {
    float* at;
    uint32_t room;
};
// The writable span of a usable ring; an empty span with any other state.
RingState RingWritableSpan(GpibChannelRuntime* rt, RingSpan* span);
// Makes the first count entries of the writable span readable: 1, or 0 (nothing committed)
// when the ring is not usable or count exceeds the span.
int32_t RingCommit(GpibChannelRuntime* rt, uint32_t count);

// Stores one value: 1, or 0 when it overran the unread values (the ring then reads as empty and
// they are lost). A ring that is not usable stores nothing and gives 1.
int32_t RingPush(GpibChannelRuntime* rt, float value);
// Copies up to maxCount unread values to dest; *full is -1 when values were left behind.
int32_t RingDrain(GpibChannelRuntime* rt, uint32_t maxCount, float* dest, int32_t* full);

// Channel channel's block of a module, null for a channel outside it; the forms below name the
// ring by module and channel.
GpibChannelRuntime* RingBlock(const ModuleRecord* module, int channel);
inline RingState RingStateOf(const ModuleRecord* module, int channel)
{
    return RingStateOf(RingBlock(module, channel));
}
inline RingState RingWritableSpan(ModuleRecord* module, int channel, RingSpan* span)
{
    return RingWritableSpan(RingBlock(module, channel), span);
}
inline int32_t RingCommit(ModuleRecord* module, int channel, uint32_t count)
{
    return RingCommit(RingBlock(module, channel), count);
}
inline int32_t RingPush(ModuleRecord* module, int channel, float value)
{
    return RingPush(RingBlock(module, channel), value);
}
inline int32_t RingDrain(ModuleRecord* module, int channel, uint32_t maxCount, float* dest, int32_t* full)
{
    return RingDrain(RingBlock(module, channel), maxCount, dest, full);
}

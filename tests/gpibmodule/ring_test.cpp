// The sample ring through RingPush, RingDrain and the writable span with its commit, on channel
// blocks owned by the test.
#include <gtest/gtest.h>
#include <string.h>
#include <vector>
#include "extavik/data/gpibring.h"

namespace {

struct RingFixture {
    ModuleRecord module;
    GpibChannelRuntime channel;
    std::vector<float> storage;

    explicit RingFixture(uint32_t capacity) : storage(capacity + 1, -99.0f)
    {
        memset(&module, 0, sizeof module);
        memset(&channel, 0, sizeof channel);
        module.channel[2] = &channel;
        channel.ring = storage.data();
        channel.ringCapacity = capacity;
    }
    std::vector<float> Drain(uint32_t max, int32_t* full)
    {
        std::vector<float> out(max + 1, -1.0f);
        int32_t n = RingDrain(&module, 2, max, out.data(), full);
        EXPECT_GE(n, 0);
        EXPECT_LE((uint32_t)n, max);
        EXPECT_EQ(out[n], -1.0f) << "wrote past the count it reported";
        out.resize(n);
        return out;
    }
};

TEST(Ring, CapacityThreeHoldsTwoAndThirdPushOverflows)
{
    RingFixture r(3);
    EXPECT_EQ(RingPush(&r.module, 2, 1.5f), 1);
    EXPECT_EQ(RingPush(&r.module, 2, 2.5f), 1);
    int32_t full = 7;
    EXPECT_EQ(r.Drain(10, &full), (std::vector<float>{1.5f, 2.5f}));
    EXPECT_EQ(full, 0);

    EXPECT_EQ(RingPush(&r.module, 2, 3.0f), 1);
    EXPECT_EQ(RingPush(&r.module, 2, 4.0f), 1);
    EXPECT_EQ(RingPush(&r.module, 2, 5.0f), 0);
    EXPECT_TRUE(r.Drain(10, &full).empty());
    EXPECT_EQ(full, 0);
    EXPECT_EQ(r.storage[3], -99.0f) << "push wrote past the ring";
}

TEST(Ring, DrainWithMaxOneLeavesTheRest)
{
    RingFixture r(5);
    RingPush(&r.module, 2, 10.0f);
    RingPush(&r.module, 2, 20.0f);
    int32_t full = 0;
    EXPECT_EQ(r.Drain(1, &full), (std::vector<float>{10.0f}));
    EXPECT_EQ(full, -1);
    EXPECT_EQ(r.Drain(1, &full), (std::vector<float>{20.0f}));
    EXPECT_EQ(full, 0) << "nothing was left behind";
}

// Values in order across the wrap, for every split of the drain limit.
TEST(Ring, WrappedValuesDrainInOrder)
{
    for (uint32_t max = 1; max <= 6; max++) {
        SCOPED_TRACE(max);
        RingFixture r(5);
        for (int i = 0; i < 3; i++)
            RingPush(&r.module, 2, (float)i);
        int32_t full;
        r.Drain(3, &full);               // read index now 3
        for (int i = 3; i < 7; i++)      // 3, 4 at the tail, 5, 6 at the start
            EXPECT_EQ(RingPush(&r.module, 2, (float)i), 1);
        std::vector<float> all;
        for (int round = 0; round < 8; round++) {
            std::vector<float> part = r.Drain(max, &full);
            all.insert(all.end(), part.begin(), part.end());
            if (!full)
                break;
        }
        EXPECT_EQ(all, (std::vector<float>{3, 4, 5, 6}));
    }
}

TEST(Ring, NoRingStoresNothingAndDrainsNothing)
{
    struct Case { const char* what; int channel; bool dropRing; uint32_t readIndex; };
    const Case cases[] = {
        {"no ring", 2, true, 0},
        {"channel below range", -1, false, 0},
        {"channel above range", 16, false, 0},
        {"channel without block", 3, false, 0},
        {"read index past capacity", 2, false, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RingFixture r(4);
        if (c.dropRing)
            r.channel.ring = nullptr;
        r.channel.ringRead = c.readIndex;
        EXPECT_EQ(RingPush(&r.module, c.channel, 1.0f), 1);
        float out[4] = {-1, -1, -1, -1};
        int32_t full = 5;
        EXPECT_EQ(RingDrain(&r.module, c.channel, 4, out, &full), 0);
        EXPECT_EQ(full, 0);
        EXPECT_EQ(out[0], -1.0f);
        EXPECT_EQ(r.storage[0], -99.0f);
    }
}

// Values written into the writable span and committed drain like pushed ones; the span ends at
// the end of the memory and before the oldest unread value.
TEST(Ring, SpanAndCommitWrapAroundTheUnreadValues)
{
    RingFixture r(5);
    RingSpan span;
    ASSERT_EQ(RingWritableSpan(&r.module, 2, &span), RING_USABLE);
    EXPECT_EQ(span.at, r.storage.data());
    EXPECT_EQ(span.room, 4u);
    for (int i = 0; i < 3; i++)
        span.at[i] = float(i);
    EXPECT_EQ(RingCommit(&r.module, 2, 3), 1);
    int32_t full;
    EXPECT_EQ(r.Drain(10, &full), (std::vector<float>{0, 1, 2}));

    ASSERT_EQ(RingWritableSpan(&r.module, 2, &span), RING_USABLE);   // read and write at 3
    EXPECT_EQ(span.at, r.storage.data() + 3);
    EXPECT_EQ(span.room, 2u) << "up to the end of the memory";
    span.at[0] = 3;
    span.at[1] = 4;
    EXPECT_EQ(RingCommit(&r.module, 2, 2), 1);
    ASSERT_EQ(RingWritableSpan(&r.module, 2, &span), RING_USABLE);
    EXPECT_EQ(span.at, r.storage.data());
    EXPECT_EQ(span.room, 2u) << "one entry stays free before the unread values";
    EXPECT_EQ(RingCommit(&r.module, 2, 3), 0) << "more than the span";
    span.at[0] = 5;
    span.at[1] = 6;
    EXPECT_EQ(RingCommit(&r.module, 2, 2), 1);
    ASSERT_EQ(RingWritableSpan(&r.module, 2, &span), RING_USABLE);
    EXPECT_EQ(span.room, 0u) << "full";
    EXPECT_EQ(r.Drain(10, &full), (std::vector<float>{3, 4, 5, 6}));
    EXPECT_EQ(r.storage[5], -99.0f) << "nothing past the ring";
}

// A ring that cannot be used hands out no span and takes no commit; corrupt indexes stay as
// they are for the caller to report.
TEST(Ring, SpanAndCommitRefuseRingsTheyCannotUse)
{
    struct Case { const char* what; int channel; bool dropRing; uint32_t writeIndex; RingState state; };
    const Case cases[] = {
        {"no ring", 2, true, 0, RING_ABSENT},
        {"channel above range", 16, false, 0, RING_ABSENT},
        {"channel without block", 3, false, 0, RING_ABSENT},
        {"write index past capacity", 2, false, 4, RING_CORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RingFixture r(4);
        if (c.dropRing)
            r.channel.ring = nullptr;
        r.channel.ringWrite = c.writeIndex;
        RingSpan span = {r.storage.data(), 9};
        EXPECT_EQ(RingStateOf(&r.module, c.channel), c.state);
        EXPECT_EQ(RingWritableSpan(&r.module, c.channel, &span), c.state);
        EXPECT_EQ(span.at, nullptr);
        EXPECT_EQ(span.room, 0u);
        EXPECT_EQ(RingCommit(&r.module, c.channel, 1), 0);
        EXPECT_EQ(r.channel.ringWrite, c.writeIndex);
        EXPECT_EQ(r.channel.ringRead, 0u);
    }
}

}  // namespace

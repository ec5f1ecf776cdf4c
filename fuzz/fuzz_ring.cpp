// Fuzz target: sequences of RingPush and RingDrain on a ring of random capacity, against a
// model queue with the same overflow rule (the push that would fill the ring loses every unread
// value and the ring reads as empty). Drains write into destinations of exactly their maximum
// count; calls for channels without a ring must change nothing.
#include "extavik/data/gpibring.h"
#include "fuzz/fuzzcheck.h"
#include <stdint.h>
#include <string.h>
#include <deque>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in = { data, size, 0 };
    unsigned flags = in.Byte();
    uint32_t capacity = (flags & 1) ? in.U16() % 2048 : in.Byte() % 40;
    uint32_t start = capacity ? in.Byte() % capacity : 0;
    int channel = int(in.Byte() % GPIB_CHANNELS);

    static GpibChannelRuntime runtime, other;
    static ModuleRecord module;
    memset(&runtime, 0, sizeof runtime);
    memset(&other, 0, sizeof other);
    memset(&module, 0, sizeof module);
    module.channel[channel] = &runtime;
    // A neighbouring channel whose block has no ring.
    module.channel[(channel + 1) % GPIB_CHANNELS] = &other;
    runtime.ring = capacity ? new float[capacity] : nullptr;
    runtime.ringCapacity = capacity;
    runtime.ringRead = runtime.ringWrite = start;

    std::deque<float> model;
    float next = 1.0f;
    while (in.Left() > 0) {
        unsigned op = in.Byte();
        if (op < 0xA0) {
            // A burst of pushes.
            for (unsigned i = 0; i <= op % 16; ++i) {
                int expected = 1;
                if (capacity && model.size() + 1 >= capacity) {
                    model.clear();
                    expected = 0;
                } else if (capacity) {
                    model.push_back(next);
                }
                FUZZ_CHECK(RingPush(&runtime, next) == expected);
                next += 1.0f;
            }
        } else if (op < 0xF0) {
            uint32_t max = (op & 0x08) ? in.U16() % 4096 : in.Byte() % 24;
            float* dest = new float[max ? max : 1];
            int32_t full = 5;
            int32_t count = RingDrain(&runtime, max, dest, &full);
            size_t expected = model.size() < max ? model.size() : max;
            FUZZ_CHECK(count >= 0 && size_t(count) == expected);
            FUZZ_CHECK(full == (model.size() > max ? -1 : 0));
            for (size_t i = 0; i < expected; ++i) {
                FUZZ_CHECK(dest[i] == model.front());
                model.pop_front();
            }
            delete[] dest;
        } else {
            // Channels that have no ring: pushes vanish, drains give nothing.
            int stray = (op & 1) ? (channel + 1) % GPIB_CHANNELS : (op & 2) ? -1 - int(op & 4) : GPIB_CHANNELS + int(op & 4);
            float dummy[2] = { -1.0f, -1.0f };
            int32_t full = 5;
            FUZZ_CHECK(RingPush(&module, stray, 99.0f) == 1);
            FUZZ_CHECK(RingDrain(&module, stray, 2, dummy, &full) == 0 && full == 0);
            FUZZ_CHECK(dummy[0] == -1.0f && dummy[1] == -1.0f);
        }
        FUZZ_CHECK(runtime.ringCapacity == capacity);
        FUZZ_CHECK(capacity == 0 || (runtime.ringRead < capacity && runtime.ringWrite < capacity));
        FUZZ_CHECK(other.ringRead == 0 && other.ringWrite == 0);
    }
    delete[] runtime.ring;
    return 0;
}

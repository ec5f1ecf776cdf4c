// Axis ticks at round values: every tick is a whole multiple of a step of 1, 2 or 5 times a power
// of ten, and all labels of one axis are written with the same number of decimals and the same
// power of ten. Pure: no drawing, no I/O.
#pragma once
#include <stdint.h>
#include <string>

struct AxisTicks {
    int64_t firstMultiple = 0;   // the first tick is firstMultiple * step
    int count = 0;               // ticks inside [low, high]
    int stepMantissa = 1;        // 1, 2 or 5
    int stepExponent = 0;        // step = stepMantissa * 10^stepExponent
    int sharedExponent = 0;      // labels are tick / 10^sharedExponent; 0 for plain numbers

    double Step() const;
    double Value(int k) const;   // the k-th tick, 0 <= k < count
    std::string Label(int k) const;   // the k-th tick / 10^sharedExponent, exact in decimal
};

// Labels stay plain numbers while the step is at least 10^PLAIN_EXPONENT_MIN and every tick is
// below 10^PLAIN_EXPONENT_LIMIT; beyond that the axis names a shared power of ten.
enum { PLAIN_EXPONENT_MIN = -4, PLAIN_EXPONENT_LIMIT = 6 };

// The smallest round step that puts at most `most` ticks into [low, high] (low <= high, both
// finite, most >= 2). An empty range gets the ticks of a range of width 1 around it.
AxisTicks ChooseTicks(double low, double high, int most);

// "×10^N" for the axis caption, or "" when the labels are plain numbers.
std::string SharedExponentText(const AxisTicks& ticks);

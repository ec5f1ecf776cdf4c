// Axis ticks at round values.
#include "host/runner/axisticks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const int STEP_MANTISSAS[] = {1, 2, 5};
// Tick multiples are counted in doubles: beyond 2^53 they are no longer whole numbers.
const double MAX_EXACT_MULTIPLE = 9007199254740992.0;

// n * 10^exponent, divided rather than multiplied for negative exponents so that 6 * 10^-1 is the
// double nearest 0.6.
double Scaled(double n, int exponent)
{
    return exponent >= 0 ? n * std::pow(10.0, exponent) : n / std::pow(10.0, -exponent);
}

int DecimalDigits(int64_t n)
{
    int digits = 1;
    for (n = std::llabs(n); n >= 10; n /= 10) ++digits;
    return digits;
}

// n * 10^exponent written out in decimal, without rounding.
std::string Decimal(int64_t n, int exponent)
{
    std::string digits = std::to_string(std::llabs(n));
    if (exponent >= 0) {
        if (n != 0) digits.append(static_cast<size_t>(exponent), '0');
    } else {
        size_t decimals = static_cast<size_t>(-exponent);
        if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
        digits.insert(digits.size() - decimals, ".");
    }
    return (n < 0 ? "-" : "") + digits;
}

}  // namespace

double AxisTicks::Step() const
{
    return Scaled(stepMantissa, stepExponent);
}

double AxisTicks::Value(int k) const
{
    return Scaled(static_cast<double>((firstMultiple + k) * stepMantissa), stepExponent);
}

std::string AxisTicks::Label(int k) const
{
    return Decimal((firstMultiple + k) * stepMantissa, stepExponent - sharedExponent);
}

AxisTicks ChooseTicks(double low, double high, int most)
{
    AxisTicks ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || high < low) return ticks;
    if (most < 2) most = 2;
    if (high == low) { low -= 0.5; high += 0.5; }
    if (!(high > low)) return ticks;   // a width below the resolution of the values
    // A step of 10^exponent puts at least `most` ticks into the range: start there and widen.
    const double slack = 1e-9;   // of a step, so that a bound on a tick counts as inside
    int exponent = static_cast<int>(std::floor(std::log10((high - low) / most)));
    for (;; ++exponent) {
        for (int mantissa : STEP_MANTISSAS) {
            double step = Scaled(mantissa, exponent);
            double first = std::ceil(low / step - slack), last = std::floor(high / step + slack);
            if (last - first + 1 > most) continue;
            if (std::max(std::fabs(first), std::fabs(last)) * mantissa > MAX_EXACT_MULTIPLE) return ticks;
            ticks.firstMultiple = static_cast<int64_t>(first);
            ticks.count = static_cast<int>(last - first + 1);
            ticks.stepMantissa = mantissa;
            ticks.stepExponent = exponent;
            int64_t largest = std::max(std::llabs(ticks.firstMultiple), std::llabs(ticks.firstMultiple + ticks.count - 1)) * mantissa;
            int topExponent = exponent + DecimalDigits(largest) - 1;
            if (largest != 0 && (exponent < PLAIN_EXPONENT_MIN || topExponent >= PLAIN_EXPONENT_LIMIT))
                ticks.sharedExponent = topExponent;
            return ticks;
        }
    }
}

std::string SharedExponentText(const AxisTicks& ticks)
{
    return ticks.sharedExponent ? "×10^" + std::to_string(ticks.sharedExponent) : "";
}

// Number texts of instrument answers: strtod's syntax with d and D as exponent letters, rounded
// once to the nearest double.
#include "extavik/data/numbertext.h"
#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

// The characters a number text may hold, one flag per byte value.
struct NumberTextChars {
    bool is[256];
    constexpr NumberTextChars() : is()
    {
        for (int c = '0'; c <= '9'; ++c)
            is[c] = true;
        const char others[] = " +-.dDeE";
        for (int i = 0; others[i]; ++i)
            is[uint8_t(others[i])] = true;
    }
};
static constexpr NumberTextChars kNumberTextChars;

bool IsNumberTextChar(char c)
{
    return kNumberTextChars.is[uint8_t(c)];
}

static bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

static const double kPow10[23] = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};

static constexpr uint64_t kPow10Int[20] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
    1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
    100000000000000ull, 1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
    1000000000000000000ull, 10000000000000000000ull,
};

// 10^n for n in 0..19.
static uint64_t Pow10Int(int n)
{
    return kPow10Int[n];
}

// w x scale + digit; while both factors fit 32 bits, one 32-bit multiply.
static uint64_t Scale(uint64_t w, uint64_t scale, int digit)
{
    if ((w | scale) >> 32 == 0)
        return uint64_t(uint32_t(w)) * uint32_t(scale) + uint32_t(digit);
    return w * scale + uint64_t(digit);
}

// Exact for every w up to 2^53; the 32-bit conversion is a single instruction.
static double ToDouble(uint64_t w)
{
    return w >> 31 == 0 ? double(int32_t(w)) : double(w);
}

static uint64_t Pow5Int(int n)
{
    uint64_t v = 1;
    while (n-- > 0)
        v *= 5;
    return v;
}

static int LeadingZeros64(uint64_t v)
{
    return __builtin_clzll(v);
}

static void Multiply64(uint64_t a, uint64_t b, uint64_t* hi, uint64_t* lo)
{
    uint64_t a0 = uint32_t(a), a1 = a >> 32, b0 = uint32_t(b), b1 = b >> 32;
    uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    uint64_t mid = (p00 >> 32) + uint32_t(p01) + uint32_t(p10);
    *lo = (mid << 32) | uint32_t(p00);
    *hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
}

// (hi:lo) / divisor for a divisor below 2^52, byte by byte; the remainder tells inexactness.
static uint64_t Divide128(uint64_t hi, uint64_t lo, uint64_t divisor, uint64_t* qhi, uint64_t* qlo)
{
    uint64_t rem = 0, h = 0, l = 0;
    for (int b = 15; b >= 0; --b) {
        uint64_t byte = b >= 8 ? (hi >> ((b - 8) * 8)) & 0xFF : (lo >> (b * 8)) & 0xFF;
        uint64_t cur = (rem << 8) | byte;
        rem = cur % divisor;
        h = (h << 8) | (l >> 56);
        l = (l << 8) | (cur / divisor);
    }
    *qhi = h;
    *qlo = l;
    return rem;
}

static bool Bit128(uint64_t hi, uint64_t lo, int bit)
{
    return bit >= 64 ? (hi >> (bit - 64)) & 1 : (lo >> bit) & 1;
}

static bool LowBitsNonzero(uint64_t hi, uint64_t lo, int count)
{
    if (count <= 0)
        return false;
    if (count >= 64)
        return lo != 0 || (count > 64 && (hi & ((uint64_t(1) << (count - 64)) - 1)) != 0);
    return (lo & ((uint64_t(1) << count) - 1)) != 0;
}

static uint64_t ShiftRight128(uint64_t hi, uint64_t lo, int shift)
{
    if (shift == 0)
        return lo;
    if (shift >= 64)
        return hi >> (shift - 64);
    return (lo >> shift) | (hi << (64 - shift));
}

// (hi:lo + a fraction when inexact) x 2^exp2, rounded once to the nearest double, ties to even.
static double RoundToDouble(uint64_t hi, uint64_t lo, bool inexact, int exp2)
{
    int bits = hi ? 128 - LeadingZeros64(hi) : (lo ? 64 - LeadingZeros64(lo) : 0);
    if (bits <= 53)
        return ldexp(double(lo), exp2);
    int shift = bits - 53;
    uint64_t mantissa = ShiftRight128(hi, lo, shift);
    bool roundBit = Bit128(hi, lo, shift - 1);
    bool below = inexact || LowBitsNonzero(hi, lo, shift - 1);
    if (roundBit && (below || (mantissa & 1)))
        ++mantissa;
    return ldexp(double(mantissa), exp2 + shift);
}

// w x 10^q when it can be formed exactly and rounded once; false when strtod must decide.
static bool ComposeDecimal(uint64_t w, int q, double* value)
{
    const uint64_t exact = uint64_t(1) << 53;
    if (w == 0) {
        *value = 0.0;
        return true;
    }
    if (w <= exact && q >= -22 && q <= 22) {
        *value = q >= 0 ? ToDouble(w) * kPow10[q] : ToDouble(w) / kPow10[-q];
        return true;
    }
    if (w <= exact && q > 22 && q <= 22 + 15) {
        uint64_t scale = Pow10Int(q - 22);
        if (w <= exact / scale) {
            *value = double(w * scale) * kPow10[22];
            return true;
        }
    }
    if (q >= 0 && q <= 27) {
        uint64_t hi, lo;
        Multiply64(w, Pow5Int(q), &hi, &lo);
        *value = RoundToDouble(hi, lo, false, q);
        return true;
    }
    if (q < 0 && q >= -22) {
        int lz = LeadingZeros64(w);
        uint64_t qhi, qlo;
        uint64_t rem = Divide128(w << lz, 0, Pow5Int(-q), &qhi, &qlo);
        *value = RoundToDouble(qhi, qlo, rem != 0, -64 - lz + q);
        return true;
    }
    return false;
}

// The number text in p[0..n): strtod's syntax, with d and D as exponent letters.
struct NumberScan {
    size_t end;          // characters consumed, 0 when no number
    bool negative;
    uint64_t w;          // significant digits
    int q;               // decimal exponent of w
    bool exactFits;      // at most 19 significant digits and a sane exponent
};

static void AddDigit(NumberScan* s, int digit, int* significant, int* pendingZeros)
{
    if (digit == 0) {
        if (*significant)
            ++*pendingZeros;
        return;
    }
    int grow = *pendingZeros + 1;
    if (*significant + grow > 19) {
        s->exactFits = false;
        return;
    }
    s->w = Scale(s->w, Pow10Int(grow), digit);
    *significant += grow;
    *pendingZeros = 0;
}

// The exponent after the digits that end at i, added to *q: where the number text ends (i
// itself when no exponent with a digit follows).
static size_t ScanExponent(const char* p, size_t n, size_t i, int* q)
{
    if (i >= n || !(p[i] == 'e' || p[i] == 'E' || p[i] == 'd' || p[i] == 'D'))
        return i;
    size_t j = i + 1;
    bool expNegative = false;
    if (j < n && (p[j] == '+' || p[j] == '-'))
        expNegative = p[j++] == '-';
    if (j >= n || !IsDigit(p[j]))
        return i;
    int exponent = 0;
    for (; j < n && IsDigit(p[j]); ++j)
        if (exponent < 100000)
            exponent = exponent * 10 + (p[j] - '0');
    *q += expNegative ? -exponent : exponent;
    return j;
}

// Blanks, then a sign: true for a minus; *i stands after them.
static bool ScanSign(const char* p, size_t n, size_t* i)
{
    while (*i < n && p[*i] == ' ')
        ++*i;
    if (*i < n && (p[*i] == '+' || p[*i] == '-'))
        return p[(*i)++] == '-';
    return false;
}

static NumberScan ScanNumber(const char* p, size_t n)
{
    NumberScan s = { 0, false, 0, 0, true };
    size_t i = 0;
    s.negative = ScanSign(p, n, &i);
    int significant = 0, pendingZeros = 0;
    bool anyDigit = false;
    for (; i < n && IsDigit(p[i]); ++i) {
        anyDigit = true;
        AddDigit(&s, p[i] - '0', &significant, &pendingZeros);
    }
    if (i < n && p[i] == '.') {
        ++i;
        for (; i < n && IsDigit(p[i]); ++i) {
            anyDigit = true;
            --s.q;
            AddDigit(&s, p[i] - '0', &significant, &pendingZeros);
        }
    }
    if (!anyDigit)
        return s;
    s.q += pendingZeros;
    s.end = ScanExponent(p, n, i, &s.q);
    return s;
}

// The usual number text in one pass: at most 19 significant digits, taken with their trailing
// zeros; false for anything else (more digits, no digit), which the careful scan takes.
static bool ScanPlainNumber(const char* p, size_t n, NumberScan* s)
{
    size_t i = 0;
    const bool negative = ScanSign(p, n, &i);
    // The first nine significant digits in 32 bits: one short step each on a 32-bit processor.
    uint32_t head = 0;
    uint64_t w = 0;
    int significant = 0, fraction = 0;
    bool anyDigit = false, point = false;
    for (; i < n; ++i) {
        const unsigned digit = unsigned(uint8_t(p[i])) - '0';
        if (digit <= 9) {
            anyDigit = true;
            fraction += point;
            if (significant == 0 && digit == 0)
                continue;   // a leading zero
            if (++significant <= 9) {
                head = head * 10 + digit;
                continue;
            }
            if (significant > 19)
                return false;
            w = (significant == 10 ? uint64_t(head) : w) * 10 + digit;
        } else if (p[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    if (significant <= 9)
        w = head;
    int q = -fraction;
    *s = NumberScan{ ScanExponent(p, n, i, &q), negative, w, q, true };
    return true;
}

static double ConvertWithStrtod(const char* p, size_t n, const char** endPos)
{
    char copy[ASCII_NUMBER_MAX + 1];
    for (size_t i = 0; i < n; ++i)
        copy[i] = (p[i] == 'd' || p[i] == 'D') ? 'e' : p[i];
    copy[n] = '\0';
    char* stop = copy;
    double value = strtod(copy, &stop);
    *endPos = p + (stop - copy);
    return value;
}

// The number text is the whole run of number characters. The scan looks at nothing but number
// characters, so scanning up to the limit finds what scanning the run finds; where the scan
// stopped at a character that is not one, the run ended there and need not be measured apart.
double ParseAsciiNumber(const char* p, const char* end, const char** endPos)
{
    size_t available = end > p ? size_t(end - p) : 0;
    size_t limit = available < size_t(ASCII_NUMBER_MAX) ? available : size_t(ASCII_NUMBER_MAX);
    NumberScan s;
    const bool plain = ScanPlainNumber(p, limit, &s);
    if (!plain)
        s = ScanNumber(p, limit);
    size_t n = s.end;
    if (s.end == 0 || s.end == limit || IsNumberTextChar(p[s.end])) {
        n = 0;
        while (n < limit && IsNumberTextChar(p[n]))
            ++n;
    }
    if (n == ASCII_NUMBER_MAX && n < available && p[n] != '\0') {
        *endPos = nullptr;
        return DBL_MAX;
    }
    if (s.end == 0) {
        *endPos = p;
        return 0.0;
    }
    double value;
    bool composed = s.exactFits && ComposeDecimal(s.w, s.q, &value);
    if (!composed && plain) {
        // The one pass keeps trailing zeros in the digits; the careful scan moves them into the
        // exponent, which may bring it back into reach.
        s = ScanNumber(p, limit);
        composed = s.exactFits && ComposeDecimal(s.w, s.q, &value);
    }
    if (!composed)
        return ConvertWithStrtod(p, n, endPos);
    *endPos = p + s.end;
    return s.negative ? -value : value;
}

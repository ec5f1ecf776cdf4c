// The simulated instruments: what they do with the messages they receive, what they answer, and
// their readings (a function of the reading number, so every run gives the same values).
#include <ctype.h>
#include <math.h>
#include <string.h>
#include "boardsim/siminstr.h"

SimInstrument* SimFindInstrument(int address)
{
    for (SimInstrument& d : Sim().instruments)
        if (d.address == address) return &d;
    return nullptr;
}

// ---- readings ------------------------------------------------------------------------------

// Deterministic noise: a hash of seed and reading number mapped to -1 .. 1.
static double Noise(uint32_t seed, uint32_t n)
{
    uint32_t x = seed * 0x9E3779B9u ^ (n + 0x7F4A7C15u);
    x ^= x >> 16; x *= 0x85EBCA6Bu;
    x ^= x >> 13; x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return x / 2147483647.5 - 1.0;
}

double SimSignalValue(const SimSignal& s, uint32_t n)
{
    switch (s.shape) {
    case SHAPE_RAMP: return s.offset + s.step * n;
    case SHAPE_SINE: return s.offset + s.amplitude * sin(2.0 * M_PI * n / (s.period > 0 ? s.period : 1));
    case SHAPE_NOISE: return s.offset + s.amplitude * Noise(s.seed, n);
    default: return s.offset;
    }
}

std::string SimFormatReading(double value)
{
    char text[32];
    snprintf(text, sizeof text, "%+.6E", value);
    return text;
}

// ---- answers -------------------------------------------------------------------------------

static void Answer(SimInstrument& d, const std::string& bytes)
{
    std::deque<SimByte> message;
    for (char c : bytes) message.push_back({static_cast<uint8_t>(c), false});
    if (message.empty()) return;
    if (d.appendEos) message.back().eosAfter = true;
    else message.back().eoi = true;
    d.output.insert(d.output.end(), message.begin(), message.end());
}

static void AppendLittleEndian(std::string& out, uint64_t bits, int width)
{
    for (int i = 0; i < width; i++) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

static uint64_t EncodeValue(const SimInstrument& d, double v)
{
    if (d.format == FORMAT_FLOAT) {
        if (d.width == 4) { float f = static_cast<float>(v); uint32_t u; memcpy(&u, &f, 4); return u; }
        uint64_t u; memcpy(&u, &v, 8); return u;
    }
    double lo = d.format == FORMAT_SIGNED ? -ldexp(1.0, 8 * d.width - 1) : 0.0;
    double hi = d.format == FORMAT_SIGNED ? ldexp(1.0, 8 * d.width - 1) - 1 : ldexp(1.0, 8 * d.width) - 1;
    double r = floor(v + 0.5);
    r = r < lo ? lo : r > hi ? hi : r;
    return d.format == FORMAT_SIGNED ? static_cast<uint64_t>(static_cast<int64_t>(r)) : static_cast<uint64_t>(r);
}

static void AnswerReading(SimInstrument& d)
{
    if (d.kind == KIND_BINARY) {
        std::string bytes = d.header;
        for (int i = 0; i < d.count; i++) AppendLittleEndian(bytes, EncodeValue(d, SimSignalValue(d.signal, d.readings++)), d.width);
        Answer(d, bytes);
        return;
    }
    Answer(d, SimFormatReading(SimSignalValue(d.signal, d.readings++)));
}

// ---- commands ------------------------------------------------------------------------------

static void DoIdn(SimInstrument& d) { Answer(d, d.idn); }
static void DoRst(SimInstrument& d)
{
    SimInstrumentClear(d);
    d.readings = 0;
    d.stb = 0;
}
static void DoCls(SimInstrument& d) { d.stb = 0; }
static void DoStb(SimInstrument& d) { Answer(d, std::to_string(d.stb)); }
static void DoRead(SimInstrument& d) { AnswerReading(d); }
static void DoTrigger(SimInstrument& d) { SimInstrumentTrigger(d); }

struct SimCommandRow {
    const char* text;       // upper case, as received after trimming
    unsigned kinds;         // bit per SimKind that knows it
    void (*run)(SimInstrument&);
};

enum { ANY_KIND = 0xF, MM = 1 << KIND_MULTIMETER, BIN = 1 << KIND_BINARY, SRQ = 1 << KIND_SRQ };

static const SimCommandRow commands[] = {
    {"*IDN?", ANY_KIND, DoIdn},
    {"*RST", ANY_KIND, DoRst},
    {"*CLS", ANY_KIND, DoCls},
    {"*STB?", ANY_KIND, DoStb},
    {"*TRG", ANY_KIND, DoTrigger},
    {"READ?", MM | BIN, DoRead},
    {"MEAS?", MM, DoRead},
    {"MEAS:VOLT:DC?", MM, DoRead},
    {"FETC?", MM | BIN, DoRead},
    {"DATA?", BIN, DoRead},
    {"INIT", SRQ, DoTrigger},
    {"TRIG", SRQ, DoTrigger},
};

static std::string Trimmed(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && isspace(static_cast<unsigned char>(s[a]))) a++;
    while (b > a && isspace(static_cast<unsigned char>(s[b - 1]))) b--;
    std::string t = s.substr(a, b - a);
    for (char& c : t) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return t;
}

static void RunCommand(SimInstrument& d, const std::string& text)
{
    if (text.empty()) return;
    for (const SimCommandRow& r : commands)
        if ((r.kinds & (1u << d.kind)) && text == r.text) { r.run(d); return; }
}

// A message holds commands separated by ';' or line ends; a silent device only listens.
void SimInstrumentReceive(SimInstrument& d, const std::string& message)
{
    d.input += message;
    // Long runs would keep every byte ever sent: keep the newest part, plenty for any test to read.
    if (d.input.size() > SIM_INPUT_HISTORY_MAX) d.input.erase(0, d.input.size() - SIM_INPUT_HISTORY_MAX / 2);
    if (d.kind == KIND_SILENT) return;
    std::string part;
    for (char c : message) {
        if (c == ';' || c == '\n' || c == '\r') { RunCommand(d, Trimmed(part)); part.clear(); }
        else part += c;
    }
    RunCommand(d, Trimmed(part));
}

void SimInstrumentPrepareTalk(SimInstrument& d)
{
    if (d.output.empty() && d.talkOnly) AnswerReading(d);
}

void SimInstrumentClear(SimInstrument& d)
{
    d.output.clear();
    d.triggerPending = false;
    d.clears++;
}

void SimInstrumentTrigger(SimInstrument& d)
{
    d.triggers++;
    if (d.kind == KIND_SRQ) {
        d.triggerPending = true;
        d.readyAt = SimNow() + d.delayMs;
    } else if (d.kind == KIND_MULTIMETER || d.kind == KIND_BINARY) {
        AnswerReading(d);
    }
}

// A triggered reading becomes ready: it waits in the output and the device requests service.
void SimInstrumentsUpdate()
{
    for (SimInstrument& d : Sim().instruments) {
        if (!d.triggerPending || static_cast<int32_t>(SimNow() - d.readyAt) < 0) continue;
        d.triggerPending = false;
        AnswerReading(d);
        d.stb |= static_cast<uint8_t>(STB_RQS | (1u << d.readyBit));
    }
}

void SimTimePasses(uint32_t ms)
{
    Sim().clockMs += ms;
    SimInstrumentsUpdate();
}

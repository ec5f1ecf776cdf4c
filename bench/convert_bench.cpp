// Decoding of one answer of 8192 values into a channel's sample ring, for every data type,
// against two baselines timed in the same run: a plain strtod loop over the same number text,
// and a memcpy of the float32 samples the decoding produces.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include "extavik/data/gpibconvert.h"

namespace {

const uint32_t kValues = 8192;
volatile float g_sink;

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Best times of one call of each of fns: batches of calls long enough for the clock, the
// functions taking turns batch by batch, best of many short rounds. Taking turns puts a
// decoding and its baseline under the same load on a shared machine, so their ratio holds.
double BatchTime(const std::function<void()>& fn, int batch)
{
    double t0 = Seconds();
    for (int i = 0; i < batch; ++i)
        fn();
    return (Seconds() - t0) / batch;
}

std::vector<double> BestTimes(const std::vector<std::function<void()>>& fns)
{
    std::vector<int> batches;
    for (const auto& fn : fns) {
        int batch = 1;
        while (BatchTime(fn, batch) * batch <= 0.0005 && batch < (1 << 20))
            batch *= 2;
        batches.push_back(batch);
    }
    std::vector<double> best(fns.size(), 1e9);
    for (int round = 0; round < 201; ++round)
        for (size_t f = 0; f < fns.size(); ++f)
            best[f] = std::min(best[f], BatchTime(fns[f], batches[f]));
    return best;
}

struct Ring {
    ModuleRecord module = {};
    GpibChannelRuntime channel = {};
    std::vector<float> entries = std::vector<float>(kValues + 1);
    Ring()
    {
        module.channel[0] = &channel;
        channel.ring = entries.data();
        channel.ringCapacity = kValues + 1;
    }
    uint32_t Decode(const std::vector<uint8_t>& answer, const DecodeSettings& s)
    {
        channel.ringRead = channel.ringWrite = 0;
        uint32_t stored = 0;
        DecodeIntoRing(&module, 0, answer.data(), answer.size(), &s, &stored);
        g_sink = entries[kValues - 1];
        return stored;
    }
};

struct TypeCase {
    const char* name;
    int32_t type;
};

const TypeCase kTypes[] = {
    { "ascii", DATA_ASCII }, { "int16", DATA_INT16 }, { "uint16", DATA_UINT16 }, { "int32", DATA_INT32 },
    { "uint32", DATA_UINT32 }, { "float32", DATA_FLOAT32 }, { "float64", DATA_FLOAT64 },
};

std::vector<uint8_t> MakeAnswer(int32_t type, std::mt19937& rng)
{
    std::vector<uint8_t> bytes;
    std::uniform_real_distribution<double> dist(-1000.0, 1000.0);
    char text[32];
    for (uint32_t i = 0; i < kValues; ++i) {
        double v = dist(rng);
        uint8_t raw[8];
        size_t size = ValueLength(type);
        switch (type) {
        case DATA_ASCII:
            snprintf(text, sizeof text, i + 1 < kValues ? "%+.6E," : "%+.6E\r\n", v);
            bytes.insert(bytes.end(), text, text + strlen(text));
            continue;
        case DATA_INT16: case DATA_UINT16: { int16_t x = int16_t(v * 30); memcpy(raw, &x, 2); break; }
        case DATA_INT32: case DATA_UINT32: { int32_t x = int32_t(v * 1e6); memcpy(raw, &x, 4); break; }
        case DATA_FLOAT32: { float x = float(v); memcpy(raw, &x, 4); break; }
        default: memcpy(raw, &v, 8); break;
        }
        bytes.insert(bytes.end(), raw, raw + size);
    }
    return bytes;
}

}  // namespace

int main()
{
    std::mt19937 rng(7);
    Ring ring;
    std::vector<float> copy(kValues);

    auto copyOut = [&] {
        memcpy(copy.data(), ring.entries.data(), kValues * sizeof(float));
        g_sink = copy[kValues / 2];
    };
    std::vector<uint8_t> asciiAnswer = MakeAnswer(DATA_ASCII, rng);
    std::string asciiText(asciiAnswer.begin(), asciiAnswer.end());
    auto strtodLoop = [&] {
        const char* p = asciiText.c_str();
        for (uint32_t i = 0; i < kValues; ++i) {
            char* end;
            copy[i] = float(strtod(p, &end));
            p = end + 1;
        }
        g_sink = copy[kValues - 1];
    };

    const DecodeSteps widest = UseDecodeSteps(DECODE_WIDEST);
    printf("%u values per answer; binary decoding loops: %s (the narrower ones beside them)\n", kValues,
           DecodeStepsName(widest));
    printf("%-18s %12s %14s %10s %14s\n", "", "us/answer", "Mvalues/s", "MB/s", "baseline us");

    struct Result {
        const char* name;
        double time;
        double baseline;   // for binary types: the fastest copy of the run, set after all rows
        const char* note;
    };
    std::vector<Result> ratios;
    bool allStored = true;
    double bestCopy = 1e9;
    auto row = [&](const std::string& name, double time, size_t bytes, double baseline) {
        printf("%-18s %12.2f %14.2f %10.1f %14.2f\n", name.c_str(), time * 1e6, kValues / time / 1e6,
               bytes / time / 1e6, baseline * 1e6);
    };
    for (const TypeCase& t : kTypes) {
        std::vector<uint8_t> answer = t.type == DATA_ASCII ? asciiAnswer : MakeAnswer(t.type, rng);
        DecodeSettings s = {};
        s.dataType = t.type;
        s.valueCount = kValues;
        s.mask = ParseMaskText("", 1);
        allStored = allStored && ring.Decode(answer, s) == kValues;
        const bool text = t.type == DATA_ASCII;
        std::vector<std::function<void()>> fns = { text ? std::function<void()>(strtodLoop) : copyOut,
                                                    [&] { ring.Decode(answer, s); } };
        // Binary answers once more through each narrower set of loops, down to the SSE2 ones
        // every supported processor has.
        for (int k = widest - 1; !text && k >= DECODE_SSE2; --k)
            fns.push_back([&, k] {
                UseDecodeSteps(DecodeSteps(k));
                ring.Decode(answer, s);
                UseDecodeSteps(widest);
            });
        std::vector<double> times = BestTimes(fns);
        row(t.name, times[1], answer.size(), times[0]);
        for (size_t i = 2; i < times.size(); ++i)
            row(std::string(t.name) + " (" + DecodeStepsName(DecodeSteps(widest + 1 - int(i))) + ")", times[i],
                answer.size(), times[0]);
        if (text)
            ratios.push_back({ "ascii_vs_strtod", times[1], times[0], "strtod loop, target >= 15" });
        else {
            ratios.push_back({ t.name, times[1], 0, "memcpy of the float32 output, target >= 1" });
            bestCopy = std::min(bestCopy, times[0]);
        }
    }
    // Every binary type against the fastest copy of the run: the copy's best moves from one
    // row's turns to the next by more than the decodings do.
    for (Result& r : ratios)
        if (r.baseline == 0)
            r.baseline = bestCopy;
    printf("memcpy float32, best of all rows: %.2f us\n", bestCopy * 1e6);
    printf("\nratios (baseline time / decoding time, > 1 = faster than the baseline)\n");
    for (const Result& r : ratios) {
        std::string name = r.name;
        if (name != "ascii_vs_strtod")
            name += "_vs_memcpy";
        printf("ratio %s %.3f\n", name.c_str(), r.baseline / r.time);
    }
    for (const Result& r : ratios)
        printf("# %s: %s\n", r.name, r.note);
    if (!allStored) {
        printf("decoding stored fewer values than the answer holds\n");
        return 1;
    }
    return 0;
}

// Fuzz target: the "++" protocol's pure pieces on any bytes. Data escaped into a line comes back
// unchanged through the receiving side's line splitting and unescaping, and is never taken for a
// command; reply numbers, command lines and the read and end-of-string settings follow their rules,
// checked against models written from those rules.
#include "boards/adapter/adapterproto.h"
#include "fuzz/fuzzcheck.h"
#include <stdint.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

// The receiving side's lines: an LF ends a line unless an ESC escapes it. What follows the last
// LF is not a line yet.
std::vector<std::string> ModelLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (static_cast<uint8_t>(c) == ADAPTER_ESC && i + 1 < bytes.size()) {
            line += c;
            line += bytes[++i];
        } else if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return lines;
}

// A reply number: the text without its trailing CR and LF is 1..6 decimal digits within lo..hi.
bool ModelReplyNumber(const std::string& reply, long lo, long hi, long* value)
{
    size_t end = reply.size();
    while (end > 0 && (reply[end - 1] == '\r' || reply[end - 1] == '\n'))
        --end;
    if (end == 0 || end > 6)
        return false;
    long n = 0;
    for (size_t i = 0; i < end; ++i) {
        if (reply[i] < '0' || reply[i] > '9')
            return false;
        n = n * 10 + (reply[i] - '0');
    }
    *value = n;
    return n >= lo && n <= hi;
}

void CheckEscapeRoundTrip(const std::string& data)
{
    std::string line = AdapterEscape(data.data(), static_cast<uint32_t>(data.size()));
    FUZZ_CHECK(!line.empty() && line.back() == '\n');
    FUZZ_CHECK(line.size() <= 2 * data.size() + 1);
    // No bare CR, LF or '+' inside: every one is escaped, so no adapter ends the line early or
    // reads the data as a command.
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        uint8_t c = static_cast<uint8_t>(line[i]);
        if (c == ADAPTER_ESC) { ++i; continue; }
        FUZZ_CHECK(c != '\r' && c != '\n' && c != '+');
    }
    std::vector<std::string> lines = ModelLines(line);
    FUZZ_CHECK(lines.size() == 1);
    FUZZ_CHECK(lines[0] == line.substr(0, line.size() - 1));
    FUZZ_CHECK(!AdapterIsCommand(lines[0]));
    FUZZ_CHECK(AdapterUnescape(lines[0]) == data);
    // Two messages back to back split into the two again.
    std::vector<std::string> two = ModelLines(line + line);
    FUZZ_CHECK(two.size() == 2 && AdapterUnescape(two[1]) == data);
}

void CheckUnescape(const std::string& line)
{
    std::string data = AdapterUnescape(line);
    FUZZ_CHECK(data.size() <= line.size());
    // Escaping what came out gives a line that unescapes to it again.
    std::string again = AdapterEscape(data.data(), static_cast<uint32_t>(data.size()));
    FUZZ_CHECK(AdapterUnescape(again.substr(0, again.size() - 1)) == data);
}

void CheckReplyNumber(const std::string& reply, long lo, long hi)
{
    long value = -1, model = -2;
    bool ok = AdapterReplyNumber(reply, lo, hi, value);
    FUZZ_CHECK(ok == ModelReplyNumber(reply, lo, hi, &model));
    if (ok)
        FUZZ_CHECK(value == model);
}

void CheckSplitCommand(const std::string& line)
{
    if (!AdapterIsCommand(line))
        return;
    std::string name, argument;
    AdapterSplitCommand(line, name, argument);
    std::string rest = line.substr(2);
    FUZZ_CHECK(name.find(' ') == std::string::npos);
    FUZZ_CHECK(rest.compare(0, name.size(), name) == 0);
    FUZZ_CHECK(argument.empty() || (argument[0] != ' ' && argument.back() != ' ' && argument.back() != '\r'));
    if (!argument.empty())
        FUZZ_CHECK(rest.find(argument, name.size()) != std::string::npos);
    if (name.size() == rest.size())
        FUZZ_CHECK(argument.empty());
}

void CheckSettings(uint32_t mode, uint32_t flag, uint32_t ms)
{
    std::string eos = TavkEosBytes(mode, flag);
    int code = AdapterEosCode(mode, flag);
    static const char* const kCodeBytes[] = { "\r\n", "\r", "\n", "" };
    FUZZ_CHECK(code >= 0 && code <= 3 && eos == kCodeBytes[code]);
    std::string read = AdapterReadLine(mode, flag);
    if (eos.empty())
        FUZZ_CHECK(read == "++read eoi");
    else
        FUZZ_CHECK(read == "++read " + std::to_string(static_cast<uint8_t>(eos.back())));
    uint32_t tmo = AdapterReadTimeoutMs(ms);
    FUZZ_CHECK(tmo >= ADAPTER_READ_TMO_MIN_MS && tmo <= ADAPTER_READ_TMO_MAX_MS);
    FUZZ_CHECK(ms == 0 || ms > ADAPTER_READ_TMO_MAX_MS ? tmo == ADAPTER_READ_TMO_MAX_MS : tmo == ms);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in = { data, size, 0 };
    unsigned pick = in.Byte();
    // Small ranges mostly, as the driver asks (0..255 status bytes, 0..1 SRQ, 0..30 addresses).
    long lo = (pick & 0x80) ? long(in.U32() & 0x7FFFFFFF) : long(in.Byte() % 4);
    long hi = (pick & 0x40) ? long(in.U32() & 0x7FFFFFFF) : long(in.U16());
    uint32_t mode = (pick & 0x20) ? in.U32() : in.Byte() % 5;
    uint32_t flag = (pick & 0x10) ? in.U32() : in.Byte() % 3;
    uint32_t ms = in.U32();
    std::string rest(reinterpret_cast<const char*>(in.Rest()), in.Left());

    CheckEscapeRoundTrip(rest);
    CheckUnescape(rest);
    CheckReplyNumber(rest, lo, hi);
    CheckSplitCommand(rest);
    CheckSplitCommand("++" + rest);
    CheckSettings(mode, flag, ms);
    // Each received line of the bytes, as the simulator takes them, goes through the line checks.
    for (const std::string& line : ModelLines(rest)) {
        CheckReplyNumber(line, lo, hi);
        CheckSplitCommand(line);
        CheckUnescape(line);
    }
    return 0;
}

// The "++" controller protocol of GPIB-LAN and GPIB-USB adapters as the adapter driver and the
// adapter simulator both speak it: the lines, the escaping of data, the end-of-string and read
// settings, and the replies. Pure: values in, text out.
#pragma once
#include <stdint.h>
#include <stdlib.h>
#include <string>
#include "interfaces/tavkeos.h"

enum {
    ADAPTER_ESC = 27,
    ADAPTER_SERIAL_BAUD = 115200,
    ADAPTER_READ_TMO_MIN_MS = 1,      // ++read_tmo_ms takes 1..3000
    ADAPTER_READ_TMO_MAX_MS = 3000,
    ADAPTER_LINE_MAX = 65536,         // longest line either side accepts
    ADAPTER_VERSION_RETRY_MS = 250,   // ++ver is asked again this often while the adapter starts
};

// No connection to the adapter, or a dropped one, is TAVK_ERR_LINK; a reply that is not what the
// protocol says TAVK_ERR_REPLY (interfaces/tavkdrv.h). An operation the protocol cannot do is
// TAVK_ERR_ROLE (8): the plug-in shows it as its mode error, "not possible on this board", where
// 6 would read as an internal parameter error.

// What a connect sends once the adapter answered ++ver (asked until it does: an AR488 hears
// nothing while it starts), in order: saving off first, so nothing below reaches the adapter's
// EPROM, then every setting the driver relies on (the read time-out, ++eos and the address
// follow), none left to what the adapter kept from before.
static const char* const adapterCreateLines[] = {"++savecfg 0", "++mode 1", "++auto 0", "++eoi 1", "++eot_enable 0"};
static const char adapterVersionLine[] = "++ver";

// Data bytes as one line: CR, LF, ESC and '+' each preceded by ESC, the line ended by LF.
inline std::string AdapterEscape(const void* data, uint32_t length)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    std::string line;
    line.reserve(length + 8);
    for (uint32_t i = 0; p && i < length; i++) {
        uint8_t c = p[i];
        if (c == '\r' || c == '\n' || c == ADAPTER_ESC || c == '+') line += static_cast<char>(ADAPTER_ESC);
        line += static_cast<char>(c);
    }
    return line + "\n";
}

// The data of an escaped line (without its LF): every ESC takes the next byte as it is.
inline std::string AdapterUnescape(const std::string& line)
{
    std::string data;
    for (size_t i = 0; i < line.size(); i++) {
        if (static_cast<uint8_t>(line[i]) == ADAPTER_ESC && i + 1 < line.size()) i++;
        data += line[i];
    }
    return data;
}

// Is the line (as received, without its LF) a command? Data starting with an escaped '+' is not.
inline bool AdapterIsCommand(const std::string& line) { return line.size() >= 2 && line[0] == '+' && line[1] == '+'; }

// ++eos: 0 CR+LF, 1 CR, 2 LF, 3 nothing appended to what the adapter writes to a device.
inline int AdapterEosCode(uint32_t mode, uint32_t flag)
{
    std::string bytes = TavkEosBytes(mode, flag);
    if (bytes == "\r\n") return 0;
    if (bytes == "\r") return 1;
    if (bytes == "\n") return 2;
    return 3;
}

// An empty message still carries its end-of-string: the bytes go as escaped data with nothing
// appended (++eos 3), then the adapter's ++eos is restored. "" when there is nothing to send.
inline std::string AdapterEmptyMessage(uint32_t mode, uint32_t flag)
{
    std::string bytes = TavkEosBytes(mode, flag);
    if (bytes.empty()) return std::string();
    return "++eos 3\n" + AdapterEscape(bytes.data(), static_cast<uint32_t>(bytes.size())) + "++eos " +
           std::to_string(AdapterEosCode(mode, flag)) + "\n";
}

// The read request for the end-of-string in force: up to its last byte, or up to EOI.
inline std::string AdapterReadLine(uint32_t mode, uint32_t flag)
{
    std::string bytes = TavkEosBytes(mode, flag);
    return bytes.empty() ? "++read eoi" : "++read " + std::to_string(static_cast<uint8_t>(bytes.back()));
}

// ++read_tmo_ms for the driver's time-out in milliseconds (0 = none: the longest the adapter takes).
inline uint32_t AdapterReadTimeoutMs(uint32_t ms)
{
    if (ms == 0 || ms > ADAPTER_READ_TMO_MAX_MS) return ADAPTER_READ_TMO_MAX_MS;
    if (ms < ADAPTER_READ_TMO_MIN_MS) return ADAPTER_READ_TMO_MIN_MS;
    return ms;
}

// A reply line's number (++spoll, ++srq): digits only, within lo..hi; CR and LF around it dropped.
inline bool AdapterReplyNumber(const std::string& reply, long lo, long hi, long& value)
{
    std::string t = reply;
    while (!t.empty() && (t.back() == '\r' || t.back() == '\n')) t.pop_back();
    if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789") != std::string::npos) return false;
    value = strtol(t.c_str(), nullptr, 10);
    return value >= lo && value <= hi;
}

// A command line's name and argument: "++read 10" gives "read" and "10".
inline void AdapterSplitCommand(const std::string& line, std::string& name, std::string& argument)
{
    std::string rest = line.substr(2);
    size_t space = rest.find(' ');
    name = rest.substr(0, space);
    size_t from = space == std::string::npos ? std::string::npos : rest.find_first_not_of(' ', space);
    argument = from == std::string::npos ? std::string() : rest.substr(from);
    while (!argument.empty() && (argument.back() == ' ' || argument.back() == '\r')) argument.pop_back();
}

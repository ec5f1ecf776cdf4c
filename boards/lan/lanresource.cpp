// Resource strings of network instruments (declared in lanresource.h).
#include "boards/lan/lanresource.h"
#include <ctype.h>
#include <stdlib.h>
#include <vector>
#include "interfaces/tavkdrv.h"

static std::string Upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

static bool Digits(const std::string& s, size_t maxLength)
{
    return !s.empty() && s.size() <= maxLength && s.find_first_not_of("0123456789") == std::string::npos;
}

static std::vector<std::string> SplitParts(const std::string& text)
{
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t next = text.find("::", at);
        parts.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) break;
        at = next + 2;
    }
    return parts;
}

// gpib0,N or gpib0,N,S (the gateway's interface name, then the addresses): primary and
// secondary 0..TAVK_ADDRESS_MAX as written (the bus sends the secondary as its own byte).
static bool ParseGateway(const std::string& device, LanResource& r)
{
    std::string lower = device;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t comma = lower.find(',');
    if (comma == std::string::npos || lower.compare(0, 4, "gpib") != 0) return true;   // an ordinary name
    std::string rest = lower.substr(comma + 1);
    size_t second = rest.find(',');
    std::string primary = rest.substr(0, second);
    std::string secondary = second == std::string::npos ? std::string() : rest.substr(second + 1);
    if (!Digits(primary, 2) || atoi(primary.c_str()) > TAVK_ADDRESS_MAX) return false;
    if (second != std::string::npos && (!Digits(secondary, 2) || atoi(secondary.c_str()) > TAVK_ADDRESS_MAX)) return false;
    r.gateway = true;
    r.gpibPrimary = atoi(primary.c_str());
    r.gpibSecondary = secondary.empty() ? -1 : atoi(secondary.c_str());
    return true;
}

static bool ValidHost(const std::string& host)
{
    if (host.empty() || host.size() > 253) return false;
    for (char c : host)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_' && c != ':' && c != '[' && c != ']') return false;
    return true;
}

bool LanParseResource(const std::string& text, LanResource& r, std::string& problem)
{
    r = LanResource();
    r.text = text;
    auto fail = [&](const std::string& why) {
        problem = "'" + text + "' " + why + " (TCPIP[n]::HOST[::DEVICE][::INSTR] or TCPIP[n]::HOST::PORT::SOCKET)";
        return false;
    };
    std::vector<std::string> parts = SplitParts(text);
    std::string head = Upper(parts[0]);
    if (head.compare(0, 5, "TCPIP") != 0) return fail("does not start with TCPIP");
    if (head.size() > 5) {
        if (!Digits(head.substr(5), 3)) return fail("has no board number after TCPIP");
        r.board = static_cast<uint32_t>(atoi(head.c_str() + 5));
    }
    if (parts.size() < 2 || !ValidHost(parts[1])) return fail("names no host");
    r.host = parts[1];
    std::string last = Upper(parts.back());
    if (parts.size() == 4 && last == "SOCKET") {
        if (!Digits(parts[2], 5) || atol(parts[2].c_str()) < 1 || atol(parts[2].c_str()) > 65535)
            return fail("has no port 1..65535 before SOCKET");
        r.kind = LAN_SOCKET;
        r.port = static_cast<uint32_t>(atol(parts[2].c_str()));
        return true;
    }
    size_t count = parts.size();
    if (count >= 3 && last == "INSTR") count--;
    if (count > 3) return fail("has too many parts");
    if (count == 3) {
        if (parts[2].empty() || parts[2].size() > 64 || Upper(parts[2]) == "SOCKET") return fail("has no device name");
        for (char c : parts[2])
            if (!isalnum(static_cast<unsigned char>(c)) && c != ',' && c != '_' && c != '.' && c != '-') return fail("has a device name with '" + std::string(1, c) + "' in it");
        r.device = parts[2];
        if (!ParseGateway(r.device, r)) return fail("has a gateway device that is not gpibN,0..30[,0..30]");
    }
    return true;
}

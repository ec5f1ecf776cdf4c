// The names of the bus command bytes, and data as trace text: shared by every driver's bus trace,
// so the same bytes read the same through each of them. Pure: text in, text out.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include "interfaces/busbytes.h"

struct BusCommandName {
    uint8_t first, last;
    const char* name;
    bool showAddress;   // the name is followed by the address the byte carries
};

static const BusCommandName busCommandNames[] = {
    {BUS_GTL, BUS_GTL, "GTL", false}, {BUS_SDC, BUS_SDC, "SDC", false}, {BUS_PPC, BUS_PPC, "PPC", false},
    {BUS_GET, BUS_GET, "GET", false}, {BUS_TCT, BUS_TCT, "TCT", false}, {BUS_LLO, BUS_LLO, "LLO", false},
    {BUS_DCL, BUS_DCL, "DCL", false}, {BUS_PPU, BUS_PPU, "PPU", false}, {BUS_SPE, BUS_SPE, "SPE", false},
    {BUS_SPD, BUS_SPD, "SPD", false}, {BUS_LAD, BUS_UNL - 1, "LAD", true}, {BUS_UNL, BUS_UNL, "UNL", false},
    {BUS_TAD, BUS_UNT - 1, "TAD", true}, {BUS_UNT, BUS_UNT, "UNT", false}, {BUS_PPE, BUS_PPD - 1, "PPE", false},
    {BUS_PPD, BUS_PPD, "PPD", false},
};

// Index of the row naming the command byte (parity bit ignored), -1 when none does.
inline int BusCommandIndex(uint8_t byte)
{
    uint8_t b = BusCommandBits(byte);
    for (size_t i = 0; i < sizeof busCommandNames / sizeof busCommandNames[0]; i++)
        if (b >= busCommandNames[i].first && b <= busCommandNames[i].last) return static_cast<int>(i);
    return -1;
}

// Decoded names of bus command bytes: "UNL LAD 22 SDC".
inline std::string BusDescribeCommands(const uint8_t* cmd, uint32_t length)
{
    std::string text;
    for (uint32_t i = 0; cmd && i < length; i++) {
        int r = BusCommandIndex(cmd[i]);
        char part[24];
        if (r < 0) snprintf(part, sizeof part, "0x%02X", cmd[i]);
        else if (busCommandNames[r].showAddress) snprintf(part, sizeof part, "%s %d", busCommandNames[r].name, cmd[i] & BUS_ADDRESS_BITS);
        else snprintf(part, sizeof part, "%s", busCommandNames[r].name);
        if (!text.empty()) text += ' ';
        text += part;
    }
    return text;
}

// Data as quoted text with C escapes: "*IDN?\r\n".
inline std::string BusEscape(const void* data, uint32_t length)
{
    static const char* const named[] = {"\\0", 0, 0, 0, 0, 0, 0, 0, 0, "\\t", "\\n", 0, 0, "\\r"};
    const uint8_t* p = static_cast<const uint8_t*>(data);
    std::string out = "\"";
    for (uint32_t i = 0; p && i < length; i++) {
        uint8_t c = p[i];
        char hex[8];
        if (c < sizeof named / sizeof named[0] && named[c]) out += named[c];
        else if (c == '"' || c == '\\') { out += '\\'; out += static_cast<char>(c); }
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else { snprintf(hex, sizeof hex, "\\x%02X", c); out += hex; }
    }
    return out + "\"";
}

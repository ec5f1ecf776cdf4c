// The bus commands a script's SENDCMD names, in the order they are looked up. Their bytes are the
// shared bus-command codes, so a bus trace names each one as the script does. Pure.
#pragma once
#include <stdint.h>
#include "interfaces/busbytes.h"

// An addressed command is preceded by the channel's listen address (BusListenAddress).
struct BusCommand {
    const char* name;
    int32_t addressed;
    uint8_t code;
};

inline constexpr BusCommand BusCommandTable[] = {
    { "UNL", 0, BUS_UNL },   // unlisten
    { "UNT", 0, BUS_UNT },   // untalk
    { "GTL", 1, BUS_GTL },   // go to local
    { "SDC", 1, BUS_SDC },   // selected device clear
    { "GET", 1, BUS_GET },   // group execute trigger
    { "LLO", 1, BUS_LLO },   // local lockout
    { "DCL", 0, BUS_DCL },   // device clear, all devices
};

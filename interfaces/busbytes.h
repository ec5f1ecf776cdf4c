// The bytes a controller puts on the bus with ATN: the command bytes and how the address bytes
// are made of a device address. TavkX, the plug-in's bus commands, every driver and the simulated
// bus compose and read them here, so they agree byte for byte. Pure.
#pragma once
#include <stdint.h>
#include "interfaces/tavkdrv.h"

enum {
    BUS_GTL = 0x01, BUS_SDC = 0x04, BUS_PPC = 0x05, BUS_GET = 0x08, BUS_TCT = 0x09, BUS_LLO = 0x11,
    BUS_DCL = 0x14, BUS_PPU = 0x15, BUS_SPE = 0x18, BUS_SPD = 0x19, BUS_LAD = 0x20, BUS_UNL = 0x3F,
    BUS_TAD = 0x40, BUS_UNT = 0x5F, BUS_PPE = 0x60, BUS_PPD = 0x70,
};

// The groups the command bytes fall in, and the fields some of them carry.
enum {
    BUS_COMMAND_BITS = 0x7F,    // ATN bytes carry seven bits; the eighth is parity
    BUS_ADDRESS_BITS = 0x1F,    // the address a listen, talk or secondary byte carries
    BUS_ADDRESSED_LAST = 0x0F,  // BUS_GTL..this: commands only the addressed listeners obey
    BUS_SECONDARY = 0x60,       // secondary addresses (and PPE, PPD after PPC) start here
    BUS_SECONDARY_LAST = BUS_SECONDARY + TAVK_ADDRESS_MAX,
    BUS_PPE_SENSE = 0x08,       // PPE: the sense the device answers on
    BUS_PPE_LINE = 0x07,        // PPE: the data line it answers on
};
static_assert(BUS_LAD + TAVK_ADDRESS_MAX + 1 == BUS_UNL && BUS_TAD + TAVK_ADDRESS_MAX + 1 == BUS_UNT,
              "the address after the last device address is the unlisten or untalk byte");

// The command byte as the bus reads it, parity bit dropped.
inline uint8_t BusCommandBits(uint32_t byte) { return static_cast<uint8_t>(byte & BUS_COMMAND_BITS); }

// The listen address (LAD) and talk address (TAD) of a device address.
inline uint8_t BusListenAddress(uint32_t address) { return static_cast<uint8_t>(BUS_LAD + address); }
inline uint8_t BusTalkAddress(uint32_t address) { return static_cast<uint8_t>(BUS_TAD + address); }

inline bool BusIsListenAddress(uint32_t byte) { return byte >= BUS_LAD && byte < BUS_UNL; }
inline bool BusIsTalkAddress(uint32_t byte) { return byte >= BUS_TAD && byte < BUS_UNT; }

// The device address a listen or talk address names (the byte less its base, so a byte of
// another group gives an address out of range rather than a wrong device).
inline int BusListenerOf(uint32_t byte) { return static_cast<int>(byte) - BUS_LAD; }
inline int BusTalkerOf(uint32_t byte) { return static_cast<int>(byte) - BUS_TAD; }

// Commands that reach only the devices addressed to listen (GTL, SDC, PPC, GET, TCT).
inline bool BusIsAddressedCommand(uint32_t byte) { return byte >= BUS_GTL && byte <= BUS_ADDRESSED_LAST; }

// A secondary address byte: secondary address 0..TAVK_ADDRESS_MAX.
inline bool BusIsSecondary(uint32_t byte) { return byte >= BUS_SECONDARY && byte <= BUS_SECONDARY_LAST; }

// PPE's fields: the line 0..7 and the sense 0 or 1 a configured device answers with.
inline int BusPpeLine(uint32_t byte) { return static_cast<int>(byte & BUS_PPE_LINE); }
inline int BusPpeSense(uint32_t byte) { return (byte & BUS_PPE_SENSE) ? 1 : 0; }

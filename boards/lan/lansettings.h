// Which instrument on the network answers for each GPIB primary address, read from the settings
// file beside the driver (tavk_lan.json; TAVK_LAN_SETTINGS names another). Pure: text in,
// settings or a message naming the file, the line and the field out.
#pragma once
#include <stdint.h>
#include <map>
#include <string>
#include "boards/lan/lanresource.h"
#include "interfaces/tavkdrv.h"

enum {
    LAN_CONNECT_TIMEOUT_MS = 3000,
    LAN_TIMEOUT_LIMIT_MS = 60000,
    LAN_PORTMAPPER_PORT = 111,
    // How often a link armed for service requests is looked at while nothing else is said over
    // it: an instrument that restarted has forgotten its interrupt channel.
    LAN_LINK_CHECK_MS = 1000,
};

struct LanInstrument {
    LanResource resource;
    int line = 0;                  // where the file names it, for a later refusal
};

struct LanSettings {
    std::map<uint32_t, LanInstrument> instruments;   // by primary address
    uint32_t connectTimeoutMs = LAN_CONNECT_TIMEOUT_MS;
    uint32_t portmapperPort = LAN_PORTMAPPER_PORT;  // where each host's portmapper listens
    std::string source;            // the file, for messages
};

bool LanReadSettings(const std::string& text, const std::string& source, LanSettings& settings, std::string& error);

// The board's own address may not name an instrument: "FILE: line N: instruments[A]: ...".
bool LanCheckOwnAddress(const LanSettings& settings, uint32_t ownAddress, std::string& error);

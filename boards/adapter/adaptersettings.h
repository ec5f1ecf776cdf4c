// Which adapter the driver talks to and how patiently: read from the settings file beside the
// driver (tavk_adapter.json) and the environment (TAVK_ADAPTER). Pure: text in, settings or a
// message naming the file, the line and the field out.
#pragma once
#include <stdint.h>
#include <string>
#include "boards/adapter/adapterproto.h"

enum {
    ADAPTER_DEFAULT_PORT = 1234,     // the adapters' own TCP port
    ADAPTER_CONNECT_TIMEOUT_MS = 3000,
    ADAPTER_REPLY_MARGIN_MS = 200,   // beyond the adapter's read time-out, for the link
    ADAPTER_TIMEOUT_LIMIT_MS = 60000,
    // How long a look at the link (for stale bytes, or a close while idle) stands for a request
    // whose reply is awaited: a query and its read follow each other well within it, a pause
    // (a script's WAIT, a host that stopped) is longer.
    ADAPTER_LOOK_LASTS_MS = 50,
};

struct AdapterSettings {
    bool serial = false;
    std::string host;                // TCP: name or address
    uint32_t port = ADAPTER_DEFAULT_PORT;
    std::string serialPort;          // "COM3"
    uint32_t connectTimeoutMs = ADAPTER_CONNECT_TIMEOUT_MS;
    uint32_t replyMarginMs = ADAPTER_REPLY_MARGIN_MS;
    bool renCommand = false;         // the adapter knows ++ren (AR488 does, others do not)
    // The longest ++read_tmo_ms the driver asks for (the adapters' own range). An answer ended by EOI alone is
    // complete only once no byte came for this long: a lower value makes such reads faster, as
    // long as the instruments answer and pause within it.
    uint32_t readTimeoutMaxMs = ADAPTER_READ_TMO_MAX_MS;
};

// "HOST", "HOST:PORT" or "COMn": false with the problem when it is neither.
bool AdapterParseAddress(const std::string& value, AdapterSettings& settings, std::string& problem);

// The settings file's text; source names it in the message ("FILE: line N: FIELD: problem").
bool AdapterReadSettings(const std::string& text, const std::string& source, AdapterSettings& settings, std::string& error);

// "127.0.0.1:1234" or "COM3", for messages and the trace.
std::string AdapterDescribe(const AdapterSettings& settings);

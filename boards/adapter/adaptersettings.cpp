// The adapter driver's settings (declared in adaptersettings.h).
#include "boards/adapter/adaptersettings.h"
#include <ctype.h>
#include <stdlib.h>
#include "common/jsonfields.h"

static bool AllDigits(const std::string& s, size_t from)
{
    return from < s.size() && s.size() - from <= 5 && s.find_first_not_of("0123456789", from) == std::string::npos;
}

bool AdapterParseAddress(const std::string& value, AdapterSettings& settings, std::string& problem)
{
    if (value.size() > 3 && toupper(static_cast<unsigned char>(value[0])) == 'C' &&
        toupper(static_cast<unsigned char>(value[1])) == 'O' && toupper(static_cast<unsigned char>(value[2])) == 'M') {
        long n = AllDigits(value, 3) ? strtol(value.c_str() + 3, nullptr, 10) : 0;
        if (n < 1 || n > 256) { problem = "'" + value + "' is not a serial port COM1..COM256"; return false; }
        settings.serial = true;
        settings.serialPort = "COM" + std::to_string(n);
        return true;
    }
    size_t colon = value.rfind(':');
    std::string host = value.substr(0, colon);
    if (host.empty() || host.find_first_of(" \t/\\") != std::string::npos) {
        problem = "'" + value + "' names no host (HOST, HOST:PORT or COMn)";
        return false;
    }
    long port = ADAPTER_DEFAULT_PORT;
    if (colon != std::string::npos) {
        port = AllDigits(value, colon + 1) ? strtol(value.c_str() + colon + 1, nullptr, 10) : 0;
        if (port < 1 || port > 65535) { problem = "'" + value + "' has no port 1..65535 after the colon"; return false; }
    }
    settings.serial = false;
    settings.host = host;
    settings.port = static_cast<uint32_t>(port);
    return true;
}

bool AdapterReadSettings(const std::string& text, const std::string& source, AdapterSettings& settings, std::string& error)
{
    JsonReader reader;
    reader.source = source;
    json j;
    if (!JsonParseTracked(text, reader, j)) { error = reader.error; return false; }
    if (!j.is_object()) { reader.Fail("", "the settings must be a JSON object"); error = reader.error; return false; }
    JsonField f{reader, j, ""};
    std::string address, problem;
    long long connect = settings.connectTimeoutMs, margin = settings.replyMarginMs, readMax = settings.readTimeoutMaxMs;
    bool ok = f.OnlyKnown({"adapter", "connectTimeoutMs", "replyMarginMs", "renCommand", "readTimeoutMaxMs"}) &&
              f.Text("adapter", address, true) &&
              (AdapterParseAddress(address, settings, problem) || reader.Fail("/adapter", problem)) &&
              f.Int("connectTimeoutMs", 1, ADAPTER_TIMEOUT_LIMIT_MS, connect) &&
              f.Int("replyMarginMs", 0, ADAPTER_TIMEOUT_LIMIT_MS, margin) && f.Bool("renCommand", settings.renCommand) &&
              f.Int("readTimeoutMaxMs", ADAPTER_READ_TMO_MIN_MS, ADAPTER_READ_TMO_MAX_MS, readMax);
    if (!ok) { error = reader.error; return false; }
    settings.connectTimeoutMs = static_cast<uint32_t>(connect);
    settings.replyMarginMs = static_cast<uint32_t>(margin);
    settings.readTimeoutMaxMs = static_cast<uint32_t>(readMax);
    return true;
}

std::string AdapterDescribe(const AdapterSettings& settings)
{
    return settings.serial ? settings.serialPort : settings.host + ":" + std::to_string(settings.port);
}

// The LAN driver's settings file (declared in lansettings.h).
#include "boards/lan/lansettings.h"
#include <stdlib.h>
#include "common/jsonfields.h"

static bool AddressKey(const std::string& key, uint32_t& address)
{
    if (key.empty() || key.size() > 2 || key.find_first_not_of("0123456789") != std::string::npos) return false;
    address = static_cast<uint32_t>(atoi(key.c_str()));
    return address <= TAVK_ADDRESS_MAX;
}

static bool ReadInstruments(JsonReader& reader, const json& list, LanSettings& s)
{
    if (!list.is_object()) return reader.Fail("/instruments", "must be an object of \"ADDRESS\": \"RESOURCE\"");
    for (auto it = list.begin(); it != list.end(); ++it) {
        std::string path = "/instruments/" + it.key();
        uint32_t address = 0;
        if (!AddressKey(it.key(), address)) return reader.Fail(path, "is not a primary address 0.." + std::to_string(TAVK_ADDRESS_MAX));
        if (!it.value().is_string()) return reader.Fail(path, "must be a text (a resource string)");
        LanInstrument instrument;
        std::string problem;
        if (!LanParseResource(it.value().get<std::string>(), instrument.resource, problem)) return reader.Fail(path, problem);
        instrument.line = reader.LineOf(path);
        s.instruments[address] = instrument;
    }
    return true;
}

bool LanReadSettings(const std::string& text, const std::string& source, LanSettings& settings, std::string& error)
{
    JsonReader reader;
    json j;
    if (!JsonParseSettingsObject(text, source, reader, j)) { error = reader.error; return false; }
    JsonField f{reader, j, ""};
    LanSettings s;
    s.source = source;
    long long connect = s.connectTimeoutMs, portmapper = s.portmapperPort;
    bool ok = f.OnlyKnown({"instruments", "connectTimeoutMs", "portmapperPort"}) &&
              (f.Has("instruments") || reader.Fail("/instruments", "is missing")) &&
              ReadInstruments(reader, j["instruments"], s) &&
              f.Int("connectTimeoutMs", 1, LAN_TIMEOUT_LIMIT_MS, connect) && f.Int("portmapperPort", 1, 65535, portmapper);
    if (!ok) { error = reader.error; return false; }
    s.connectTimeoutMs = static_cast<uint32_t>(connect);
    s.portmapperPort = static_cast<uint32_t>(portmapper);
    settings = s;
    return true;
}

bool LanCheckOwnAddress(const LanSettings& settings, uint32_t ownAddress, std::string& error)
{
    auto it = settings.instruments.find(ownAddress);
    if (it == settings.instruments.end()) return true;
    error = settings.source + ": line " + std::to_string(it->second.line) + ": instruments[" + std::to_string(ownAddress) + "]" +
            ": is the board's own address " + std::to_string(ownAddress) + ", not an instrument's";
    return false;
}

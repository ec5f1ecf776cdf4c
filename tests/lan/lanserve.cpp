// Serves the LAN tests' bench through the LAN simulator for a client no one here wrote: starts
// it, registers its core channel with the system's portmapper on port 111, prints
// "ports PORTMAPPER CORE SOCKET22 SOCKET5" and serves until a line "stop" (or the end of input);
// a line "devices" prints each instrument's clears, triggers and received bytes.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "tests/lan/lanbenchtext.h"
#include "tests/tavkx/drvload.h"

int main()
{
    LanControl lan;
    SimControl sim;
    HMODULE lib = LoadLanSimulator(VariantDir("lan"));
    if (!lan.Bind(lib) || !sim.Bind(lib) || sim.SimLoadBench(lanBench) != 1) {
        fprintf(stderr, "lanserve: no LAN simulator in %s\n", VariantDir("lan").c_str());
        return 1;
    }
    if (!lan.LanSimStart(&lan.portmapperPort, &lan.corePort)) return 1;
    if (!lan.LanSimRegister(111)) {
        fprintf(stderr, "lanserve: the portmapper on port 111 did not take the registration\n");
        lan.LanSimStop();
        return 1;
    }
    printf("ports %d %d %d %d\n", lan.portmapperPort, lan.corePort, lan.LanSimSocketPort(22), lan.LanSimSocketPort(5));
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin) && strncmp(line, "stop", 4) != 0) {
        if (strncmp(line, "devices", 7) != 0) continue;
        for (int a : {22, 5, 9}) {
            SimDeviceInfo info;
            if (sim.SimGetDevice(a, &info))
                printf("device %d clears %u triggers %u remote %d\n", a, info.clears, info.triggers, info.remote);
        }
        printf("end\n");
        fflush(stdout);
    }
    lan.LanSimStop();
    return 0;
}

// Where the driver configurations rightly differ: one table of what each configuration's board
// cannot do, with the reason. A test of such an ability skips itself with SKIP_UNLESS_DRIVER_CAN,
// which prints the configuration and the reason; no test decides that on its own.
#pragma once
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include "host/driverconfig.h"

enum class Ability {
    Always,                  // what every driver does (no row lacks it)
    TavkCallLog,             // the simulator logs and scripts Tavk* calls (the simulated tavk.dll)
    ParallelPoll,            // TavkPpoll and the configuration of the lines
    BoardAddressed,          // the board as talker and listener (TavkSendDataS, TavkRecvDataS)
    BoardAsDevice,           // TavkInit mode 2, service requests and a poll response of its own
    DeviceToDevice,          // TavkTransData, TavkTransDataN
    UniversalClear,          // TavkDcl
    RemoteEnable,            // TavkRen
    BusLines,                // REN as a line (devices addressed under it go remote), unlisten on the bus
    SrqLine,                 // TavkGetSrqLine
    ReportsNoListener,       // a send to an address without a device fails with error 10
    AnswersEndWithBoardEos,  // instruments end their answers with the board's end-of-string
    BenchInDriver,           // a bad bench leaves no board to open
    DeviceControl,           // serial poll, clear, trigger and local reach the multimeter (22) and the binary source (5)
    MessageEndsAtAnyEos,     // an instrument takes a message as ended at whatever end-of-string is in force
    AnswersEndAtEnd,         // an answer ends at END, so a binary answer without a block header ends too
};

struct DriverLack {
    const char* configuration;   // a configuration's name, or its test folder (all that use those files)
    Ability ability;
    const char* reason;
};

constexpr DriverLack DRIVER_LACKS[] = {
    {"ni4882", Ability::TavkCallLog, "the call log holds the NI calls here, not Tavk* calls"},

    {"adapter", Ability::TavkCallLog, "the call log holds the adapter's lines here, not Tavk* calls"},
    {"adapter", Ability::ParallelPoll, "the \"++\" protocol has no parallel poll (error 8)"},
    {"adapter", Ability::BoardAddressed, "the adapter addresses devices itself and is never addressed (error 8)"},
    {"adapter", Ability::BoardAsDevice, "the adapter is always controller in charge (error 8)"},
    {"adapter", Ability::DeviceToDevice, "the protocol gives no talk and listen addresses (error 8)"},
    {"adapter", Ability::UniversalClear, "the adapter clears one device at a time (error 8)"},
    {"adapter", Ability::RemoteEnable, "only an adapter set up with renCommand knows ++ren (error 8)"},
    {"adapter", Ability::ReportsNoListener, "a \"++\" adapter does not say whether anyone listened"},
    {"adapter", Ability::AnswersEndWithBoardEos, "behind an adapter the instruments end their answers with LF and EOI, as real ones do"},
    {"adapter", Ability::BenchInDriver, "the bench sits behind the adapter, which still answers, so the board opens"},

    {"lan", Ability::TavkCallLog, "the call log holds the RPCs here, not Tavk* calls"},
    {"lan", Ability::ParallelPoll, "instruments on the network have no parallel poll (error 8)"},
    {"lan", Ability::BoardAddressed, "the board is controller of its instruments, never addressed (error 8)"},
    {"lan", Ability::BoardAsDevice, "the board is controller of its instruments, never a device (error 8)"},
    {"lan", Ability::DeviceToDevice, "instruments on the network do not talk to each other (error 8)"},
    {"lan", Ability::BusLines, "the network has no bus lines: REN reaches the instruments linked at the time, unlisten stays with the driver"},
    {"lan", Ability::AnswersEndWithBoardEos, "instruments on the network end their answers with LF and END, as real ones do"},
    {"lan", Ability::BenchInDriver, "the bench sits behind the network, so the board opens"},

    // The lan_socket configuration takes every "lan" row (its test folder) and these.
    {"lan_socket", Ability::DeviceControl, "the multimeter and the binary source sit on raw SCPI sockets, which carry data only (error 8)"},
    {"lan_socket", Ability::MessageEndsAtAnyEos, "an instrument on a raw SCPI socket ends a message at LF only"},
    {"lan_socket", Ability::AnswersEndAtEnd, "a raw socket has no END: a binary answer that is no #-block ends only at the time-out"},
};

// Why the test configuration's board cannot do this; null when it can.
inline const char* DriverLacks(Ability ability)
{
    const driverconfig::Configuration& c = driverconfig::FromEnvironment();
    for (const DriverLack& l : DRIVER_LACKS)
        if (l.ability == ability && (strcmp(l.configuration, c.name) == 0 || strcmp(l.configuration, c.testDir) == 0))
            return l.reason;
    return nullptr;
}

inline bool DriverCan(Ability ability) { return DriverLacks(ability) == nullptr; }

// For one row of a table: true when the board can do it; else the row is named with the reason on
// the output and left out.
inline bool DriverCanRow(Ability ability, const char* row)
{
    const char* why = DriverLacks(ability);
    if (why) printf("left out in the %s configuration: %s: %s\n", driverconfig::FromEnvironment().name, row, why);
    return why == nullptr;
}

#define SKIP_UNLESS_DRIVER_CAN(ability)                                                         \
    do {                                                                                        \
        if (const char* why = DriverLacks(ability))                                             \
            GTEST_SKIP() << "not in the " << driverconfig::FromEnvironment().name << " configuration: " << why; \
    } while (0)

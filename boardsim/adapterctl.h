// Control interface of the adapter simulator adaptersim.dll, beside the Sim* control functions of
// the bench it serves (simctl.h). The simulator speaks the "++" controller protocol in front of the
// simulated instruments, from a thread of its own, on a loopback TCP port chosen at start or on a
// serial port. It records every line it received (as received, escapes kept, without the LF).
#pragma once
#include <stdint.h>
#include "interfaces/callconv.h"

enum { ADAPTER_SIM_LINES_KEPT = 4096 };

#ifdef __cplusplus
extern "C" {
#endif
// Listens on 127.0.0.1 at a port the system picks; 1 with the port stored, 0 when it cannot.
int32_t GPIB_CALL AdapterSimStart(int32_t* port);
// Serves the serial port (the far end of the one the driver opens), e.g. "COM22".
int32_t GPIB_CALL AdapterSimStartSerial(const char* port);
// Stops serving and closes every connection; the bench stays.
void GPIB_CALL AdapterSimStop(void);
// Every reply waits ms before it goes out (0: at once).
void GPIB_CALL AdapterSimSetDelay(uint32_t ms);
// The nth line from now (1 = the next) is not handled: the connection is closed instead.
void GPIB_CALL AdapterSimDropAt(uint32_t nth);
// The nth reply from now goes out garbled: its letters and digits become '?'.
void GPIB_CALL AdapterSimGarbleAt(uint32_t nth);
// Lines received since the last clear (only the last ADAPTER_SIM_LINES_KEPT kept).
uint32_t GPIB_CALL AdapterSimLineCount(void);
// Line index copied into buffer (up to max bytes, no terminator added); its full length, -1 if not kept.
int32_t GPIB_CALL AdapterSimGetLine(uint32_t index, char* buffer, int32_t max);
void GPIB_CALL AdapterSimClearLines(void);
// Connections accepted since start.
uint32_t GPIB_CALL AdapterSimConnections(void);
// Power off and on: the TCP connection closes, the settings are the saved ones (the bench's
// "adapter" savedState and what was saved since), the start-up time (bootMs) begins.
void GPIB_CALL AdapterSimPowerCycle(void);
// Closes the TCP connection now, as an adapter does to an idle client.
void GPIB_CALL AdapterSimCloseLink(void);
// Devices talk in pieces of bytes, gapMs apart (0 bytes: at once).
void GPIB_CALL AdapterSimSetPace(uint32_t bytes, uint32_t gapMs);
// A setting by its command name ("eot_enable", "addr", ..., "savecfg"): the one in use, or
// (saved = 1) the EPROM's; -1 for an unknown name.
int32_t GPIB_CALL AdapterSimSetting(const char* name, int32_t saved);
// Writes to the EPROM since start.
uint32_t GPIB_CALL AdapterSimEpromWrites(void);
#ifdef __cplusplus
}
#endif

#define ADAPTER_SIM_CONTROL_LIST(X) \
    X(AdapterSimStart) X(AdapterSimStartSerial) X(AdapterSimStop) X(AdapterSimSetDelay) X(AdapterSimDropAt) \
    X(AdapterSimGarbleAt) X(AdapterSimLineCount) X(AdapterSimGetLine) X(AdapterSimClearLines) X(AdapterSimConnections) \
    X(AdapterSimPowerCycle) X(AdapterSimCloseLink) X(AdapterSimSetPace) X(AdapterSimSetting) X(AdapterSimEpromWrites)

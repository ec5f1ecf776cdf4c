// Control interface of the LAN instrument simulator lansim.dll, beside the Sim* control functions
// of the bench it serves (simctl.h). The bench's instruments answer as instruments on the network
// do: a VXI-11 server (its own portmapper, the core channel, the interrupt channel for service
// requests) and one raw SCPI socket per instrument, on loopback ports the system picks at start,
// served from a thread of its own. Every RPC it receives is a record of the call log (SimGetCall):
// entry the procedure's name ("create_link", "device_write", "getport", or "socket_write" and
// "socket_read" for a raw socket's messages), args {link, flags, io_timeout, request size or
// written size, termChar (device_docmd: its cmd), lock_timeout}, data the written bytes (the
// command bytes of device_docmd), the device name or the answer,
// result 1 or 0 with lastError the VXI-11 error code. A script on a procedure's name
// (SimScriptCall) makes the server answer it with that error code and do nothing else.
#pragma once
#include <stdint.h>
#include "interfaces/callconv.h"

enum { LAN_SIM_MAX_RECV_SIZE = 1024 };   // the maxRecvSize create_link answers unless told

#ifdef __cplusplus
extern "C" {
#endif
// Listens on 127.0.0.1: the portmapper and the core channel; 1 with their ports stored.
int32_t GPIB_CALL LanSimStart(int32_t* portmapperPort, int32_t* corePort);
// The raw socket port of the instrument at a bench address, 0 when there is none.
int32_t GPIB_CALL LanSimSocketPort(int32_t address);
// Registers the core channel with the portmapper at 127.0.0.1:port (the system's rpcbind on 111):
// 1 when it took it. LanSimStop takes the registration back.
int32_t GPIB_CALL LanSimRegister(int32_t port);
void GPIB_CALL LanSimStop(void);
// Every answer waits ms before it goes out (0: at once).
void GPIB_CALL LanSimSetDelay(uint32_t ms);
// The nth RPC from now (1 = the next) on the core channel is not answered: its connection is
// closed instead, and the links made on it are gone.
void GPIB_CALL LanSimDropAt(uint32_t nth);
// Closes every connection now, as an instrument that restarts does.
void GPIB_CALL LanSimCloseConnections(void);
// The maxRecvSize the next links get (a piece written beyond it is a parameter error).
void GPIB_CALL LanSimSetMaxRecvSize(uint32_t bytes);
// A device_read gives at most this many bytes (0: what was asked), "request count" when it
// stops there: an instrument whose output buffer is smaller than the request.
void GPIB_CALL LanSimSetReadPiece(uint32_t bytes);
// Connections accepted since start, and links open now.
uint32_t GPIB_CALL LanSimConnections(void);
uint32_t GPIB_CALL LanSimLinks(void);
// Service requests sent on interrupt channels since start.
uint32_t GPIB_CALL LanSimSrqSent(void);
#ifdef __cplusplus
}
#endif

#define LAN_SIM_CONTROL_LIST(X) \
    X(LanSimStart) X(LanSimSocketPort) X(LanSimRegister) X(LanSimStop) X(LanSimSetDelay) X(LanSimDropAt) \
    X(LanSimCloseConnections) X(LanSimSetMaxRecvSize) X(LanSimSetReadPiece) X(LanSimConnections) X(LanSimLinks) X(LanSimSrqSent)

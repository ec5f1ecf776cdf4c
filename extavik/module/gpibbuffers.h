// The channel buffers a GPIB-IN module takes from the host heap for one experiment run: a
// sample ring per channel and the receive buffer READ receives an answer into.
#pragma once
#include "extavik/host/plugin.h"

// Sizes every channel's ring from its receive buffer size, then the receive buffer from the
// largest ring; 1, or 0 when an allocation failed (what was obtained stays for the free).
int32_t AllocChannelBuffers(ModuleRecord* module);
void FreeChannelBuffers(ModuleRecord* module);

// Bytes of the module's transferBuffer while it is allocated, 0 when there is none.
uint32_t TransferBufferBytes(ModuleRecord* module);

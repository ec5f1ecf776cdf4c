// The per-channel float32 sample ring. Pure: memory in, results out.
#pragma once
#include "extavik/hostabi.h"

int32_t RingPush(ModuleRecord* module, int channel, float value);
int32_t RingDrain(ModuleRecord* module, int channel, uint32_t maxCount, float* dest, int32_t* full);

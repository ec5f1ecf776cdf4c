// The GPIB-OUT module type's descriptor.
#pragma once
#include "extavik/module/gpibModule.h"

extern const GpibModuleType GPIB_OUT_TYPE;

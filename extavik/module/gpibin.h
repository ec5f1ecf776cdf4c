// The GPIB-IN module type's descriptor.
#pragma once
#include "extavik/module/gpibModule.h"

extern const GpibModuleType GPIB_IN_TYPE;

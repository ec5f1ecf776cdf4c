// The descriptor a face of the simulated bench registers when its library is attached (SimAttach):
// the Tavk* driver (tavkentry.cpp), the NI-488.2 library (nientry.cpp), the "++" adapter
// (adapterentry.cpp). The bench reaches its face only through these hooks.
#pragma once
#include <stddef.h>

struct SimFace {
    const char* const* entries;           // the names its calls are logged and scripted under
    size_t entryCount;
    bool (*freeEntry)(const char* name);  // a call that only reads state: costs no time, "any" scripts pass it by (null: none)
    void (*enter)();                      // a face serving its bus from a thread of its own holds the bus
    void (*leave)();                      // for each control call with these (null: nothing to hold)
};

// The bench reader (simbench.cpp): instruments and the adapter's EPROM from JSON (a file the user
// names, or the built-in bench), checked field by field.
#pragma once
#include <stddef.h>
#include <string>
#include "boardsim/simstate.h"

struct SimAdapterSettingRow {
    const char* name;                // its "++" command
    int SimAdapterSettings::*field;
    int lo, hi;
};
extern const SimAdapterSettingRow simAdapterSettingRows[];
extern const size_t simAdapterSettingCount;

bool SimLoadBenchText(const std::string& text, const std::string& sourceName);
bool SimLoadConfiguredBench();   // TAVK_SIM_BENCH, tavk_bench.json beside the DLL, or built in
void SimReportProblem(const std::string& message);

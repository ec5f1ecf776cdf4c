// A face's attach and the envelope of its calls (declared in simcall.h).
#include "boardsim/simcall.h"

bool SimAttach(const SimFace& face)
{
    Sim().face = &face;
    return SimLoadConfiguredBench();
}

bool SimCallBegin(SimCall& call, const char* entry, std::initializer_list<uint32_t> args)
{
    SimTimePasses(SimFreeEntry(entry) ? 0 : Sim().opCostMs);
    return SimLogBegin(call, entry, args);
}

// The end-of-test heap check of both plug-in fixtures: every guard intact, nothing left allocated.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "host/standin_host.h"

namespace testsupport {

// Call after the modules are removed and the plug-in has finished.
inline void ExpectCleanHeap()
{
    standin::CheckHeap();
    standin::ReportLeaks();
    std::string errors;
    for (const std::string& e : standin::HeapErrors()) errors += e + "\n";
    EXPECT_TRUE(standin::HeapErrors().empty()) << errors;
}

}  // namespace testsupport

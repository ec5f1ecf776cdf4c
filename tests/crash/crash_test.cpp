// A program that crashes under Wine ends at once with a failure and says where: no debugger is
// started to wait on it, so a crash in the suite fails its test instead of hanging the run.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "tests/support/childrun.h"

TEST(Crash, FaultingPluginEndsTheHostAtOnceWithTheFault)
{
    const DWORD startTick = GetTickCount();
    ChildRun run = RunChild("crash_host.exe crash\\faulting_plugin.dll", 60000);
    const DWORD seconds = (GetTickCount() - startTick) / 1000;
    ASSERT_EQ(run.waited, WAIT_OBJECT_0) << "the crashed host was still running after 60 s:\n" << run.output;
    EXPECT_LT(seconds, 30u) << run.output;
    // The exception code is the exit status: an access violation natively; under qemu-user the
    // same fault reaches Wine as an illegal instruction.
    EXPECT_TRUE(run.exitCode == static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION) ||
                run.exitCode == static_cast<DWORD>(EXCEPTION_ILLEGAL_INSTRUCTION)) << std::hex << run.exitCode << "\n" << run.output;
    EXPECT_EQ(run.output.find("set-up returned"), std::string::npos) << run.output;
    // The debugger names the fault and its address, and the module in its backtrace.
    EXPECT_NE(run.output.find("Unhandled exception: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("in faulting_plugin"), std::string::npos) << run.output;
}

TEST(Crash, HostWithoutThePluginEndsCleanly)
{
    ChildRun run = RunChild("crash_host.exe crash\\no_such_plugin.dll", 60000);
    ASSERT_EQ(run.waited, WAIT_OBJECT_0) << run.output;
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("does not load"), std::string::npos) << run.output;
}

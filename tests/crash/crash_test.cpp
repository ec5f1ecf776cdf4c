// A program that crashes under Wine ends at once with a failure and says where: no debugger is
// started to wait on it, so a crash in the suite fails its test instead of hanging the run.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>

namespace {

struct ChildRun {
    DWORD waited = WAIT_FAILED;   // WAIT_OBJECT_0 when the child ended in time
    DWORD exitCode = 0;
    std::string output;           // standard output and error
};

// Appends what the pipe holds now, without waiting for more.
void DrainPipe(HANDLE pipe, std::string& out)
{
    char chunk[4096];
    DWORD available = 0, got = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadFile(pipe, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr) && got)
        out.append(chunk, got);
}

// Runs command with both output streams into a pipe and waits at most timeoutMs for it to end.
ChildRun RunChild(std::string command, DWORD timeoutMs)
{
    ChildRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = start.hStdError = writeEnd;
    PROCESS_INFORMATION child = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return run;
    }
    // Read while waiting: a debugger or helper that inherited the pipe may keep it open.
    const DWORD startTick = GetTickCount();
    do {
        run.waited = WaitForSingleObject(child.hProcess, 20);
        DrainPipe(readEnd, run.output);
    } while (run.waited == WAIT_TIMEOUT && GetTickCount() - startTick < timeoutMs);
    if (run.waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
    GetExitCodeProcess(child.hProcess, &run.exitCode);
    DrainPipe(readEnd, run.output);
    CloseHandle(readEnd);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return run;
}

}  // namespace

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

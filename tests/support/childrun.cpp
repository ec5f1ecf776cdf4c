#include "tests/support/childrun.h"

namespace {

struct Child {
    PROCESS_INFORMATION process = {};
    HANDLE output = nullptr, errors = nullptr;   // read ends
    bool started = false, ended = false;
};

// Appends what the pipe holds now, without waiting for more.
void DrainPipe(HANDLE pipe, std::string& out)
{
    char chunk[4096];
    DWORD available = 0, got = 0;
    while (pipe && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadFile(pipe, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr) && got)
        out.append(chunk, got);
}

bool OpenPipe(HANDLE* readEnd, HANDLE* writeEnd)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(readEnd, writeEnd, &inherit, 0)) return false;
    SetHandleInformation(*readEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

Child Start(const ChildCommand& c)
{
    Child child;
    HANDLE outWrite = nullptr, errWrite = nullptr;
    if (!OpenPipe(&child.output, &outWrite)) return child;
    if (!c.mergeErrors && !OpenPipe(&child.errors, &errWrite)) {
        CloseHandle(outWrite);
        return child;
    }
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = outWrite;
    start.hStdError = c.mergeErrors ? outWrite : errWrite;
    std::string line = c.command;
    child.started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                   c.directory.empty() ? nullptr : c.directory.c_str(), &start, &child.process) != 0;
    CloseHandle(outWrite);
    if (errWrite) CloseHandle(errWrite);
    return child;
}

void Close(Child& child)
{
    if (child.output) CloseHandle(child.output);
    if (child.errors) CloseHandle(child.errors);
    if (child.started) {
        CloseHandle(child.process.hThread);
        CloseHandle(child.process.hProcess);
    }
}

}  // namespace

std::vector<ChildRun> RunChildren(const std::vector<ChildCommand>& commands, DWORD timeoutMs)
{
    std::vector<ChildRun> runs(commands.size());
    std::vector<Child> children;
    for (const ChildCommand& c : commands) children.push_back(Start(c));
    // Read while waiting: a full pipe would stop its child, and a debugger or helper that
    // inherited a pipe may keep it open after the child ended.
    const DWORD startTick = GetTickCount();
    bool running = true;
    while (running && GetTickCount() - startTick < timeoutMs) {
        running = false;
        for (size_t i = 0; i < children.size(); ++i) {
            Child& child = children[i];
            if (!child.started || child.ended) continue;
            runs[i].waited = WaitForSingleObject(child.process.hProcess, 20);
            child.ended = runs[i].waited != WAIT_TIMEOUT;
            running = running || !child.ended;
            DrainPipe(child.output, runs[i].output);
            DrainPipe(child.errors, runs[i].errors);
        }
    }
    for (size_t i = 0; i < children.size(); ++i) {
        Child& child = children[i];
        if (child.started) {
            if (!child.ended) TerminateProcess(child.process.hProcess, 1);
            GetExitCodeProcess(child.process.hProcess, &runs[i].exitCode);
        }
        DrainPipe(child.output, runs[i].output);
        DrainPipe(child.errors, runs[i].errors);
        Close(child);
    }
    return runs;
}

ChildRun RunChild(const std::string& command, DWORD timeoutMs)
{
    return RunChildren({{command, "", true}}, timeoutMs)[0];
}

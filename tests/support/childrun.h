// Child programs of a test: started with their output streams into pipes, read while they run,
// ended when they overstay. Several may run at once.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct ChildCommand {
    std::string command;          // command line
    std::string directory;        // working directory; empty = the test's own
    bool mergeErrors = true;      // standard error into output; else apart, into errors
};

struct ChildRun {
    DWORD waited = WAIT_FAILED;   // WAIT_OBJECT_0 when the child ended in time
    DWORD exitCode = 0;
    std::string output;           // standard output (and error, when merged)
    std::string errors;           // standard error, when kept apart
};

// Starts every command at once and waits at most timeoutMs for all of them; a child still
// running then is ended with exit code 1. One result per command, in their order.
std::vector<ChildRun> RunChildren(const std::vector<ChildCommand>& commands, DWORD timeoutMs);

// One command, both output streams together.
ChildRun RunChild(const std::string& command, DWORD timeoutMs);

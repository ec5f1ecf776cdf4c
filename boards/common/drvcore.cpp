// The trace and the reports of a real board driver (declared in drvcore.h).
#include <windows.h>
#include "boards/common/drvcore.h"
#include "extavik_version.h"

void DriverCore::OpenTrace()
{
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("TAVK_TRACE", path, sizeof path) > 0) OpenTraceFile(path);
}

void DriverCore::OpenTraceFile(const char* path)
{
    if (trace) return;
    trace = fopen(path, "w");
    Trace(std::string("tavk.dll (") + name + ") version " + EXTAVIK_VERSION);
}

void DriverCore::Trace(const std::string& line)
{
    if (!trace) return;
    fprintf(trace, "[%8lu ms] %s\n", static_cast<unsigned long>(GetTickCount()), line.c_str());
    fflush(trace);
}

void DriverCore::Report(const std::string& message)
{
    fprintf(stderr, "tavk.dll (%s): %s\n", name, message.c_str());
    fflush(stderr);
    Trace(message);
}

void DriverCore::TraceEntry(const char* entry, const std::string& detail, int32_t result, bool failed)
{
    if (!trace) return;
    std::string line = std::string(entry) + (detail.empty() ? "" : " " + detail) + " -> " + std::to_string(result);
    if (failed) line += " error " + std::to_string(lastError);
    Trace(line);
}

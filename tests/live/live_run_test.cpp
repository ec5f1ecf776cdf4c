// gpibrun --live end to end: a run that the console's Ctrl+C ends stops the way the host does (the
// at-end pass is the last thing on the bus) and leaves a CSV with every value the instrument
// answered; a live run through the adapter-backed driver over loopback paces its cycles and
// delivers what the adapter simulator answered.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "host/modulefiles.h"
#include "tests/support/childrun.h"

namespace {

const DWORD RUN_LIMIT_MS = 40000;

std::string Runner() { return modulefiles::ProgramDirectory() + "..\\bin\\gpibrun.exe"; }
std::string Example(const char* name) { return std::string(EXTAVIK_EXAMPLES) + "/" + name; }

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The values of the CSV's rows, in file order (the header left out).
std::vector<double> CsvValues(const std::string& path)
{
    std::vector<double> values;
    std::vector<std::string> lines = Lines(ReadText(path));
    for (size_t i = 1; i < lines.size(); ++i) {
        size_t comma = lines[i].rfind(',');
        if (comma != std::string::npos) values.push_back(strtod(lines[i].c_str() + comma + 1, nullptr));
    }
    return values;
}

// What the instrument at address 22 answered to the controller, read off the bus record.
std::vector<double> AnswersOnTheBus(const std::vector<std::string>& bus)
{
    std::vector<double> answers;
    for (size_t i = 0; i + 1 < bus.size(); ++i)
        if (bus[i].rfind("ATN UNL TAD 22 LAD ", 0) == 0 && bus[i + 1].rfind("DATA \"", 0) == 0)
            answers.push_back(strtod(bus[i + 1].c_str() + 6, nullptr));
    return answers;
}

void ExpectSameValues(const std::vector<double>& csv, const std::vector<double>& bus)
{
    ASSERT_EQ(csv.size(), bus.size()) << "a row for every value the instrument answered";
    for (size_t i = 0; i < csv.size(); ++i) EXPECT_NEAR(csv[i], bus[i], 1e-6 * (1 + std::abs(bus[i]))) << "row " << i;
}

size_t CsvRows(const std::string& path) { return CsvValues(path).size(); }

// Swallows the Ctrl+C the test sends to its own console.
BOOL WINAPI IgnoreControl(DWORD) { return TRUE; }

std::string Scratch(const char* name)
{
    CreateDirectoryA("live", nullptr);
    std::string path = std::string("live\\") + name;
    DeleteFileA(path.c_str());
    return path;
}

TEST(LiveRun, CtrlCEndsTheRunWithTheAtEndPassAndTheCsvKeepsEveryValueRead)
{
    const std::string csv = Scratch("ctrlc.csv"), bus = Scratch("ctrlc.bus"), out = Scratch("ctrlc.out");
    // The runner shares the test's console, as a program started from a command prompt does: a
    // console of its own (the one Wine gives a program started without a terminal takes no
    // control events).
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    ASSERT_TRUE(SetConsoleCtrlHandler(IgnoreControl, TRUE));

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE log = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(log, INVALID_HANDLE_VALUE);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = start.hStdError = log;
    std::string command = "\"" + Runner() + "\" \"" + Example("at_end.json") + "\" --live --duration 60 --csv " + csv +
                          " --plot " + Scratch("ctrlc.png") + " --bus-record " + bus;
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child))
        << command;
    CloseHandle(log);

    // Interrupted once a few values are in the file (the run would go on for a minute).
    for (int i = 0; i < 300 && CsvRows(csv) < 4; ++i)
        if (WaitForSingleObject(child.hProcess, 100) == WAIT_OBJECT_0) break;
    size_t before = CsvRows(csv);
    ASSERT_GE(before, 4u) << "the live run writes its values as it goes:\n" << ReadText(out);
    BOOL sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    if (!sent) TerminateProcess(child.hProcess, 1);
    ASSERT_TRUE(sent) << GetLastError();
    DWORD waited = WaitForSingleObject(child.hProcess, RUN_LIMIT_MS);
    if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    SetConsoleCtrlHandler(IgnoreControl, FALSE);
    const std::string printed = ReadText(out);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "Ctrl+C did not end the run:\n" << printed;
    EXPECT_EQ(code, 0u) << printed;
    EXPECT_NE(printed.find("stopped by Ctrl+C"), std::string::npos) << printed;

    const std::vector<std::string> record = Lines(ReadText(bus));
    ExpectSameValues(CsvValues(csv), AnswersOnTheBus(record));
    // The at-end output's GTL after the last read, then the board's close: nothing after it.
    ASSERT_GE(record.size(), 2u);
    EXPECT_EQ(record[record.size() - 2], "ATN LAD 22 GTL") << ReadText(bus);
    EXPECT_EQ(record.back(), "REN off");
}

TEST(LiveRun, ThroughTheAdapterDriverOverLoopbackEveryCycleRunsOnTheClock)
{
    const std::string csv = Scratch("adapter.csv"), bus = Scratch("adapter.bus");
    ChildRun run = RunChild("\"" + Runner() + "\" \"" + Example("dmm_query.json") + "\" --live --cycles 15 --driver adapter --csv " +
                                csv + " --plot " + Scratch("adapter.png") + " --bus-record " + bus,
                            RUN_LIMIT_MS);
    ASSERT_EQ(run.waited, WAIT_OBJECT_0) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    // 15 cycles of 100 ms: the last starts 1.4 s after the first.
    EXPECT_NE(run.output.find("live: 15 cycles in 1."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("cycle 15/15"), std::string::npos) << "the progress line" << run.output;
    EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
    // The request gate skips a cycle that starts a tick earlier in its period than the one that
    // last requested, so the count depends on wake-up jitter. The cycle after a skip is a whole
    // period further on and always requests: at least every other cycle reads, 8 of the 15.
    const std::vector<double> values = CsvValues(csv);
    EXPECT_GE(values.size(), 8u) << run.output;
    ExpectSameValues(values, AnswersOnTheBus(Lines(ReadText(bus))));
}

}  // namespace

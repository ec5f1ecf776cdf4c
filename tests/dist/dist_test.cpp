// The unpacked release package: every DLL and program shows the project's version where Windows
// reads it (the version resource, through GetFileVersionInfo), and gpibrun.exe runs from the
// unpacked folder, through the simulated board and through the packaged NI-backed driver.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "extavik_version.h"
#include "tests/support/childrun.h"

namespace {

const DWORD RUN_LIMIT_MS = 30000;
const std::string PACKAGE = EXTAVIK_PACKAGE;

// Every .dll and .exe below dir, relative to it.
void Binaries(const std::string& dir, const std::string& prefix, std::vector<std::string>& out)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Binaries(dir + "\\" + name, prefix + name + "\\", out);
            continue;
        }
        std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : "";
        if (_stricmp(ext.c_str(), ".dll") == 0 || _stricmp(ext.c_str(), ".exe") == 0) out.push_back(prefix + name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

struct VersionResource {
    bool present = false;
    std::string fixed;                 // the fixed block's file version, "a.b.c"
    std::string fixedProduct;
    std::string fileVersion, productVersion, originalName, description;   // the Japanese string table
};

std::string StringValue(std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string key = std::string("\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "";
    return std::string(value, length && value[length - 1] == 0 ? length - 1 : length);
}

std::string Dotted(DWORD ms, DWORD ls)
{
    return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." + std::to_string(HIWORD(ls)) +
           (LOWORD(ls) ? "." + std::to_string(LOWORD(ls)) : "");
}

VersionResource ReadVersion(const std::string& path)
{
    VersionResource v;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size) return v;
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return v;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) return v;
    v.present = fixed->dwSignature == 0xFEEF04BD;
    v.fixed = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    v.fixedProduct = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    v.fileVersion = StringValue(info, "FileVersion");
    v.productVersion = StringValue(info, "ProductVersion");
    v.originalName = StringValue(info, "OriginalFilename");
    v.description = StringValue(info, "FileDescription");
    return v;
}

std::string FirstLine(const std::string& path)
{
    std::string line;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return line;
    for (int c; (c = fgetc(f)) != EOF && c != '\n';)
        if (c != '\r') line += char(c);
    fclose(f);
    return line;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

TEST(Package, EveryDllAndProgramCarriesTheProjectVersion)
{
    std::vector<std::string> binaries;
    Binaries(PACKAGE, "", binaries);
    ASSERT_GE(binaries.size(), 8u) << "the unpacked package in " << PACKAGE;
    for (const std::string& b : binaries) {
        VersionResource v = ReadVersion(PACKAGE + "\\" + b);
        ASSERT_TRUE(v.present) << b << " has no version resource";
        EXPECT_EQ(v.fixed, EXTAVIK_VERSION) << b;
        EXPECT_EQ(v.fixedProduct, EXTAVIK_VERSION) << b;
        EXPECT_EQ(v.fileVersion, EXTAVIK_VERSION) << b;
        EXPECT_EQ(v.productVersion, EXTAVIK_VERSION) << b;
        EXPECT_EQ(v.originalName, BaseName(b)) << b;
        EXPECT_FALSE(v.description.empty()) << b;
    }
}

TEST(Package, GpibrunRunsFromTheUnpackedFolder)
{
    const std::string gpibrun = "\"" + PACKAGE + "\\gpibrun.exe\" ";
    std::vector<ChildCommand> commands = {
        {gpibrun + "--version", PACKAGE, true},
        {gpibrun + "examples\\dmm_query.json --quiet --csv dmm-sim.csv --plot dmm-sim.png --trace sim.trace", PACKAGE, true},
        {gpibrun + "examples\\dmm_query.json --quiet --driver ni4882 --csv dmm-ni.csv --plot dmm-ni.png --trace ni.trace", PACKAGE, true},
        {gpibrun + "examples\\dmm_query.json --quiet --driver adapter --csv dmm-ad.csv --plot dmm-ad.png --trace adapter.trace", PACKAGE, true},
    };
    std::vector<ChildRun> runs = RunChildren(commands, RUN_LIMIT_MS);
    for (size_t i = 0; i < runs.size(); ++i) {
        ASSERT_EQ(runs[i].waited, WAIT_OBJECT_0) << commands[i].command << "\n" << runs[i].output;
        EXPECT_EQ(runs[i].exitCode, 0u) << commands[i].command << "\n" << runs[i].output;
    }
    const std::string& version = runs[0].output;
    EXPECT_EQ(version.rfind(std::string("gpibrun ") + EXTAVIK_VERSION + "\r\n", 0), 0u) << version;
    EXPECT_EQ(version.find("(not found)"), std::string::npos) << "every library lies where gpibrun looks:\n" << version;
    EXPECT_NE(version.find("drivers\\ni4882\\tavk.dll"), std::string::npos) << version;
    for (size_t i = 1; i < runs.size(); ++i) {
        EXPECT_NE(runs[i].output.find(" 60  0.000: 1 0.100: 1.06267"), std::string::npos) << commands[i].command << "\n" << runs[i].output;
        EXPECT_EQ(runs[i].output.find("warning"), std::string::npos) << runs[i].output;
    }
    // Each driver's trace names the driver and its version first.
    const char* traces[][2] = {{"sim.trace", "simulated bench"}, {"ni.trace", "NI-488.2"}, {"adapter.trace", "adapter"}};
    for (const auto& t : traces) {
        std::string first = FirstLine(PACKAGE + "\\" + t[0]);
        std::string expected = std::string("] tavk.dll (") + t[1] + ") version " + EXTAVIK_VERSION;
        EXPECT_TRUE(first.size() > expected.size() && first.compare(first.size() - expected.size(), expected.size(), expected) == 0)
            << t[0] << " begins '" << first << "'";
    }
}

}  // namespace

// What every real board driver tavk.dll does alike, checked the same way for the NI-backed and
// the adapter-backed driver: the resource block of its one board, and the trace line of each
// entry point. Bench: a loaded driver with its entry points as members and an open board.
#pragma once
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "interfaces/tavkdrv.h"
#include "tests/tavkx/drvload.h"

// The trace's entry lines without their "[    1234 ms] " stamps.
inline std::vector<std::string> TraceLines(const std::string& file)
{
    std::vector<std::string> lines;
    FILE* f = fopen(file.c_str(), "r");
    if (!f) return lines;
    char buffer[1024];
    while (fgets(buffer, sizeof buffer, f)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        size_t stamp = line.find("] ");
        lines.push_back(line.compare(0, 1, "[") == 0 && stamp != std::string::npos ? line.substr(stamp + 2) : line);
    }
    fclose(f);
    return lines;
}

inline bool HasTraceLine(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

// A success has no error suffix, a failure has its error number; the last error, the version and
// the status word are values, never errors. The board is created with TAVK_TRACE naming the file.
template <typename Bench>
void ExpectTraceMarksOnlyFailures(Bench& b, const std::string& file)
{
    SetEnvironmentVariableA("TAVK_TRACE", file.c_str());
    const int32_t created = b.TavkCreate(&b.board);
    SetEnvironmentVariableA("TAVK_TRACE", nullptr);
    ASSERT_EQ(created, 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    ASSERT_EQ(b.TavkIfc(b.board), 1);
    ASSERT_EQ(b.TavkSetTime(b.board, TAVK_TIME_MAX_MS + 1), 0);
    ASSERT_EQ(b.TavkIfc(b.board + 7), 0);
    ASSERT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
    const int32_t word = b.TavkGetStatus(b.board);
    ASSERT_EQ(b.TavkGetLastError(b.board), TAVK_OK);
    const int32_t version = b.TavkGetVersion(b.board);
    const std::string argument = " error " + std::to_string(TAVK_ERR_ARGUMENT);
    std::vector<std::string> lines = TraceLines(file);
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    EXPECT_TRUE(HasTraceLine(lines, "TavkIfc -> 1")) << all;
    EXPECT_TRUE(HasTraceLine(lines, "TavkSetTime (" + std::to_string(TAVK_TIME_MAX_MS + 1) + ") -> 0" + argument)) << all;
    EXPECT_TRUE(HasTraceLine(lines, "TavkIfc -> 0" + argument)) << all;
    EXPECT_TRUE(HasTraceLine(lines, "TavkGetStatus -> " + std::to_string(word))) << all;
    EXPECT_TRUE(HasTraceLine(lines, "TavkGetLastError -> " + std::to_string(TAVK_ERR_ARGUMENT))) << all;
    EXPECT_TRUE(HasTraceLine(lines, "TavkGetLastError -> " + std::to_string(TAVK_OK))) << all;
    EXPECT_TRUE(HasTraceLine(lines, "TavkGetVersion -> " + std::to_string(version))) << all;
}

// The driver has one board, number 0: its block is all zeros (it has no resources of its own to
// report). Any other number is refused with the argument error and the block is left as it was.
template <typename Bench>
void ExpectResourcesOfBoardZeroOnly(Bench& b)
{
    unsigned char block[TAVK_RESOURCE_BLOCK_SIZE];
    const std::vector<unsigned char> zeros(sizeof block, 0), untouched(sizeof block, 0xEE);
    memset(block, 0xEE, sizeof block);
    EXPECT_EQ(b.TavkGetResource(0, block), 1);
    EXPECT_EQ(std::vector<unsigned char>(block, block + sizeof block), zeros);
    for (uint32_t number : {1u, 2u, 99u, 0xFFFFu, 0x10000u, 0xFFFFFFFFu}) {
        memset(block, 0xEE, sizeof block);
        EXPECT_EQ(b.TavkGetResource(number, block), 0) << number;
        EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT) << number;
        EXPECT_EQ(std::vector<unsigned char>(block, block + sizeof block), untouched) << number;
    }
    EXPECT_EQ(b.TavkGetResource(0, nullptr), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
}

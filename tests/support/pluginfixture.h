// Test support: loads EXTAVIK.dll into the stand-in host over one driver variant dir and tears
// everything down again, so every test starts from freshly loaded libraries.
#pragma once
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "host/dialogdriver.h"
#include "host/standin_host.h"

namespace testsupport {

// <test dir>\drv\<variant>; a variant without a directory gets an empty one.
std::string VariantDirectory(const char* variant);

// A variant dir without any board library.
constexpr char NO_BOARD[] = "no_board";
constexpr char DEFAULT_BOARD[] = "default";

class PluginTest : public ::testing::Test {
protected:
    int setupResult = -1;
    bool checkHeap = true;        // TearDown fails on heap errors and leaks

    // Selects the variant, starts the host, loads the plug-in and calls SetupVrelDLL;
    // beforeSetup runs between loading and SetupVrelDLL (refusals, answers of 0, ticks).
    void Load(const char* variant, const std::function<void()>& beforeSetup = {});
    void TearDown() override;
    // FinishVrelDLL once (TearDown does not call it again).
    int Finish();
    // FinishVrelDLL, unload, heap checks; also called by TearDown when not done yet.
    void Unload();

private:
    bool loaded_ = false;
    bool finished_ = false;
};

}  // namespace testsupport

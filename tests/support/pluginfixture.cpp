// Test support: the plug-in loaded into the stand-in host over a driver variant dir.
#include "tests/support/pluginfixture.h"
#include "host/modulefiles.h"
#include "tests/support/heapcheck.h"

namespace testsupport {

std::string VariantDirectory(const char* variant)
{
    std::string dir = modulefiles::ProgramDirectory() + "drv\\" + variant;
    CreateDirectoryA((modulefiles::ProgramDirectory() + "drv").c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);   // an existing one is kept as it is
    return dir;
}

void PluginTest::Load(const char* variant, const std::function<void()>& beforeSetup)
{
    ASSERT_TRUE(modulefiles::UnloadPluginLibraries()) << "a board library of an earlier test is still loaded";
    ASSERT_TRUE(SetDllDirectoryA(VariantDirectory(variant).c_str()));
    ASSERT_TRUE(standin::Start());
    std::string plugin = modulefiles::ProgramDirectory() + "..\\bin\\EXTAVIK.dll";
    ASSERT_NE(standin::LoadPlugin(plugin.c_str()), nullptr) << plugin;
    loaded_ = true;
    finished_ = false;
    dialogdriver::Install();
    if (beforeSetup) beforeSetup();
    setupResult = standin::SetupPlugin();
}

void PluginTest::Unload()
{
    if (!loaded_) return;
    if (!finished_) standin::FinishPlugin();
    finished_ = true;
    standin::RemoveAllModules();
    if (checkHeap) ExpectCleanHeap();
    EXPECT_TRUE(dialogdriver::UnexpectedDialogs().empty()) << "unexpected dialog: " << dialogdriver::UnexpectedDialogs()[0];
    dialogdriver::Uninstall();
    standin::UnloadPlugin();
    standin::Shutdown();
    modulefiles::UnloadPluginLibraries();
    SetDllDirectoryA(nullptr);
    loaded_ = false;
}

int PluginTest::Finish()
{
    finished_ = true;
    return standin::FinishPlugin();
}

void PluginTest::TearDown() { Unload(); }

}  // namespace testsupport

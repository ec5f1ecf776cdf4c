// Starting the stand-in host with the plug-in on the simulated clock, for the programs that run
// many cycles without a test framework (the cycle benchmark and the soak). Header-only: both link
// the stand-in host and its dialog driver already.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include "host/dialogdriver.h"
#include "host/standin_host.h"

namespace pluginstart {

// Starts the host, loads EXTAVIK.dll from `bin`, puts it on the simulated clock at `ticks`, lets
// the dialog driver answer its dialogs and has it register its two module classes. On failure a
// line under `program` says which step failed.
inline bool StartPlugin(const char* program, const std::string& bin, uint32_t ticks = 100000)
{
    if (!standin::Start() || !standin::LoadPlugin((bin + "EXTAVIK.dll").c_str())) {
        fprintf(stderr, "%s: the plug-in does not load from %s\n", program, bin.c_str());
        return false;
    }
    standin::EnableSimulatedTicks(standin::PluginModule());
    standin::SetTicks(ticks);
    dialogdriver::Install();
    if (standin::SetupPlugin() != 1 || standin::ModuleClasses().size() != 2) {
        fprintf(stderr, "%s: the plug-in did not register its module classes\n", program);
        return false;
    }
    return true;
}

}  // namespace pluginstart

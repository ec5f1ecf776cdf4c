// A worksheet file: the experiment's timing, the GPIB modules with their settings, and the host
// actions to send during the run. Loading checks every field against the range the settings
// dialogs accept, so a worksheet can hold nothing a user could not have typed.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "extavik/data/gpibfields.h"
#include "extavik/host/hostabi.h"

// One settable worksheet field: a row of the plug-in's field table, or the module comment, which
// the module record holds (inRecord).
struct FieldDesc {
    const char* name;
    const GpibField* def;
    bool inRecord;
};

const FieldDesc* FindField(const std::string& name, bool perChannel);
const std::vector<FieldDesc>& ChannelFields();
const std::vector<FieldDesc>& ModuleFields();

// A value ready to be written into a module: the field, the channel, and its bytes.
struct FieldAssignment {
    const FieldDesc* field;
    int channel;              // -1 for module-wide fields
    double number;
    std::string text;         // code page 932 for texts
};

enum class ModuleType { In, Out };

struct WorksheetModule {
    std::string name;         // worksheet name (UTF-8), also written as moduleName
    ModuleType type;
    int myAddress;
    int channels;
    std::vector<FieldAssignment> assignments;
};

enum class ActionVerb { Arm, Run, Reset, Describe };

struct WorksheetAction {
    uint32_t cycle;
    size_t module;            // index into modules
    ActionVerb verb;
    uint32_t mask;            // channel mask, 0 = all
};

struct Worksheet {
    std::string path;
    double samplePeriodMs = 10.0;
    uint32_t blockSize = 64;
    uint32_t cycles = 100;
    uint32_t startTicks = 0;      // 0: the host's default start tick
    std::string benchFile;        // instrument file for the simulated driver, "" = default bench
    std::string traceFile;        // bus trace, "" = none
    std::vector<WorksheetModule> modules;
    std::vector<WorksheetAction> actions;
};

// Reads and checks a worksheet. On failure returns false and sets error to a message that names
// the file, the module and the field.
bool LoadWorksheet(const std::string& path, Worksheet& sheet, std::string& error);
bool ParseWorksheetText(const std::string& text, const std::string& path, Worksheet& sheet, std::string& error);

// Writes the assignments of a module into its parameter block and record.
void ApplyAssignments(const WorksheetModule& module, ModuleRecord* record);

// UTF-8 <-> code page 932.
std::string Utf8ToCp932(const std::string& text);
std::string Cp932ToUtf8(const std::string& text);

// What the host and the plug-in share: the module record members the plug-in uses, the class
// registration record, sample blocks, output-channel records, action descriptions and the
// lookup and module message numbers. Pure layout: no Win32 header needed.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "extavik/callconv.h"
#include "extavik/gpibtypes.h"

// Window messages the plug-in sends to the host's main window to look up names.
enum {
    HOST_LOOKUP_VARIABLE = 30000,
    HOST_LOOKUP_SERVICE = 30001,
};

// Host module messages (the same numbers for GPIB-IN and GPIB-OUT).
enum {
    MM_PROBE = 1,
    MM_CREATE = 101,
    MM_NOTICE_102 = 102,
    MM_SETTINGS = 103,
    MM_TAKE_BUS_SETTINGS = 104,
    MM_PRESTART = 105,
    MM_START = 106,
    MM_STOP = 107,
    MM_ACTION_ARM = 117,
    MM_ACTION_RUN = 118,
    MM_REFUSED_119 = 119,
    MM_NOTICE_120 = 120,
    MM_NOTICE_121 = 121,
    MM_NOTICE_122 = 122,
    MM_ACTION_RESET = 123,
    MM_ACTION_DESCRIBE = 124,
    MM_CHANNEL_QUERY = 201,
};

// Host action kinds.
enum {
    ACTION_KIND_NONE = 0,
    ACTION_KIND_REQUEST_COMMAND = 13,   // GPIB-OUT
    ACTION_KIND_RECV_COMMAND = 14,      // GPIB-IN
};

#pragma pack(push, 1)

// The host's record of one module instance; only the named members belong to the plug-in's view.
struct ModuleRecord {
    void* ownerWindow;                        // 0   HWND
    uint8_t host4[12];                        // 4
    int32_t isActive;                         // 16
    uint8_t host20[20];                       // 20
    char moduleName[13];                      // 40
    char moduleComment[41];                   // 53
    uint8_t host94[24];                       // 94
    int32_t inputCount;                       // 118
    uint8_t host122[704];                     // 122
    int32_t outputCount;                      // 826
    uint8_t host830[66];                      // 830
    void* outputChannel[GPIB_CHANNELS];       // 896 host output-channel records
    GpibModuleParams* params;                 // 960
    GpibModuleRuntime* runtime;               // 964
    GpibChannelRuntime* channel[GPIB_CHANNELS]; // 968
};

typedef int32_t (GPIB_CALL *ModuleProcFn)(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam);
typedef int32_t (GPIB_CALL *ProcessProcFn)(ModuleRecord* module);

struct ModuleClassRecord {
    void* instance;            // 0   HINSTANCE
    const char* className;     // 4
    int32_t paramsSize;        // 8
    int32_t runtimeSize;       // 12
    int32_t channelStateSize;  // 16
    int32_t commandId;         // 20
    const char* displayName;   // 24
    const char* longName;      // 28
    int32_t reserved32[3];     // 32
    void* iconBitmap;          // 44  HBITMAP
    void* symbolBitmap;        // 48  HBITMAP
    ModuleProcFn moduleProc;   // 52
    ProcessProcFn processProc; // 56
    uint8_t reserved60[120];   // 60
};

// A block of samples as the host hands it out for an output or an input.
struct SampleBlock {
    uint8_t host0[6];
    double startTime;          // 6  seconds since experiment start
    double sampleDistance;     // 14 seconds
    int16_t sampleCount;       // 22
    float samples[1];          // 24 (as many as the host allocated)
};

// The two 16-bit members of a host output-channel record that the plug-in touches.
struct OutputChannelHeader {
    uint8_t host0[12];
    uint16_t pending;          // 12 tested by MM_CHANNEL_QUERY
    uint16_t deliveryMark;     // 14 set to OUTPUT_MARK_DELIVERED before a block is released
};
enum { OUTPUT_MARK_DELIVERED = 3 };

// lParam of MM_ACTION_DESCRIBE.
struct ActionDescription {
    void* instance;            // 0
    int32_t kind;              // 4
    char actionName[20];       // 8
    int32_t reserved;          // 28
    int32_t textId;            // 32
};

#pragma pack(pop)

GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, isActive) == 16, "isActive");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, moduleName) == 40, "moduleName");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, moduleComment) == 53, "moduleComment");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, inputCount) == 118, "inputCount");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, outputCount) == 826, "outputCount");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, outputChannel) == 896, "outputChannel");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, params) == 960, "params");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, runtime) == 964, "runtime");
GPIB_LAYOUT_CHECK(offsetof(ModuleRecord, channel) == 968, "channel");
GPIB_LAYOUT_CHECK(sizeof(ModuleRecord) == 1032, "ModuleRecord size");

GPIB_LAYOUT_CHECK(sizeof(ModuleClassRecord) == 180, "ModuleClassRecord size");
GPIB_LAYOUT_CHECK(offsetof(ModuleClassRecord, commandId) == 20, "commandId");
GPIB_LAYOUT_CHECK(offsetof(ModuleClassRecord, displayName) == 24, "displayName");
GPIB_LAYOUT_CHECK(offsetof(ModuleClassRecord, iconBitmap) == 44, "iconBitmap");
GPIB_LAYOUT_CHECK(offsetof(ModuleClassRecord, moduleProc) == 52, "moduleProc");
GPIB_LAYOUT_CHECK(offsetof(ModuleClassRecord, processProc) == 56, "processProc");

static_assert(offsetof(SampleBlock, startTime) == 6, "startTime");
static_assert(offsetof(SampleBlock, sampleDistance) == 14, "sampleDistance");
static_assert(offsetof(SampleBlock, sampleCount) == 22, "sampleCount");
static_assert(offsetof(SampleBlock, samples) == 24, "samples");
static_assert(offsetof(OutputChannelHeader, pending) == 12, "pending");
static_assert(offsetof(OutputChannelHeader, deliveryMark) == 14, "deliveryMark");
GPIB_LAYOUT_CHECK(offsetof(ActionDescription, kind) == 4, "kind");
GPIB_LAYOUT_CHECK(offsetof(ActionDescription, actionName) == 8, "actionName");
GPIB_LAYOUT_CHECK(offsetof(ActionDescription, textId) == 32, "textId");

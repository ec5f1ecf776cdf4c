// What the host and the plug-in share: the module record members the plug-in uses, the class
// registration record, sample blocks, output-channel records, action descriptions and the
// lookup and module message numbers. Pure layout: no Win32 header needed.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "interfaces/callconv.h"
#include "extavik/data/gpibtypes.h"

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

static_assert(offsetof(ModuleRecord, isActive) == GPIB_HOST_OFFSET(16, 20), "ModuleRecord::isActive");
static_assert(offsetof(ModuleRecord, moduleName) == GPIB_HOST_OFFSET(40, 44), "ModuleRecord::moduleName");
static_assert(offsetof(ModuleRecord, moduleComment) == GPIB_HOST_OFFSET(53, 57), "ModuleRecord::moduleComment");
static_assert(offsetof(ModuleRecord, inputCount) == GPIB_HOST_OFFSET(118, 122), "ModuleRecord::inputCount");
static_assert(offsetof(ModuleRecord, outputCount) == GPIB_HOST_OFFSET(826, 830), "ModuleRecord::outputCount");
static_assert(offsetof(ModuleRecord, outputChannel) == GPIB_HOST_OFFSET(896, 900), "ModuleRecord::outputChannel");
static_assert(offsetof(ModuleRecord, params) == GPIB_HOST_OFFSET(960, 1028), "ModuleRecord::params");
static_assert(offsetof(ModuleRecord, runtime) == GPIB_HOST_OFFSET(964, 1036), "ModuleRecord::runtime");
static_assert(offsetof(ModuleRecord, channel) == GPIB_HOST_OFFSET(968, 1044), "ModuleRecord::channel");
static_assert(sizeof(ModuleRecord) == GPIB_HOST_OFFSET(1032, 1172), "ModuleRecord size");

static_assert(offsetof(ModuleClassRecord, className) == GPIB_HOST_OFFSET(4, 8), "ModuleClassRecord::className");
static_assert(offsetof(ModuleClassRecord, paramsSize) == GPIB_HOST_OFFSET(8, 16), "ModuleClassRecord::paramsSize");
static_assert(offsetof(ModuleClassRecord, commandId) == GPIB_HOST_OFFSET(20, 28), "ModuleClassRecord::commandId");
static_assert(offsetof(ModuleClassRecord, displayName) == GPIB_HOST_OFFSET(24, 32), "ModuleClassRecord::displayName");
static_assert(offsetof(ModuleClassRecord, longName) == GPIB_HOST_OFFSET(28, 40), "ModuleClassRecord::longName");
static_assert(offsetof(ModuleClassRecord, reserved32) == GPIB_HOST_OFFSET(32, 48), "ModuleClassRecord::reserved32");
static_assert(offsetof(ModuleClassRecord, iconBitmap) == GPIB_HOST_OFFSET(44, 60), "ModuleClassRecord::iconBitmap");
static_assert(offsetof(ModuleClassRecord, symbolBitmap) == GPIB_HOST_OFFSET(48, 68), "ModuleClassRecord::symbolBitmap");
static_assert(offsetof(ModuleClassRecord, moduleProc) == GPIB_HOST_OFFSET(52, 76), "ModuleClassRecord::moduleProc");
static_assert(offsetof(ModuleClassRecord, processProc) == GPIB_HOST_OFFSET(56, 84), "ModuleClassRecord::processProc");
static_assert(offsetof(ModuleClassRecord, reserved60) == GPIB_HOST_OFFSET(60, 92), "ModuleClassRecord::reserved60");
static_assert(sizeof(ModuleClassRecord) == GPIB_HOST_OFFSET(180, 212), "ModuleClassRecord size");

static_assert(offsetof(ActionDescription, kind) == GPIB_HOST_OFFSET(4, 8), "ActionDescription::kind");
static_assert(offsetof(ActionDescription, actionName) == GPIB_HOST_OFFSET(8, 12), "ActionDescription::actionName");
static_assert(offsetof(ActionDescription, reserved) == GPIB_HOST_OFFSET(28, 32), "ActionDescription::reserved");
static_assert(offsetof(ActionDescription, textId) == GPIB_HOST_OFFSET(32, 36), "ActionDescription::textId");
static_assert(sizeof(ActionDescription) == GPIB_HOST_OFFSET(36, 40), "ActionDescription size");

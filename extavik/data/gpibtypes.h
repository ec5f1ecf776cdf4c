// The three per-instance blocks that the host allocates for every GPIB module, and one parsed script line.
// The parameter block is the module's stored settings: its layout is fixed byte for byte.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "interfaces/callconv.h"
#include "interfaces/tavkdrv.h"

enum {
    GPIB_CHANNELS = 16,
    GPIB_SCRIPT_LINES = 50,
    GPIB_CHANNEL_NAME_SIZE = 24,
    GPIB_COMMAND_TEXT_SIZE = 800,
    GPIB_SPOLL_TEXT_SIZE = 256,
    GPIB_MASK_TEXT_SIZE = 16,
    GPIB_BUS_ROWS = TAVK_ADDRESS_MAX + 1,     // one per own address
    GPIB_BUS_DEVICES = TAVK_ADDRESS_MAX + 1,  // one per device primary address
    GPIB_ACTIONS = 16,
    GPIB_ACTION_WORDS = 7,
    GPIB_ACTION_BUSY_WORD = 1,
    GPIB_ACTION_MASK_WORD = 3,
};

// A channel count from a module record or a stored block, clamped to 0..16.
inline int ClampChannelCount(int32_t count)
{
    return count < 0 ? 0 : count > GPIB_CHANNELS ? GPIB_CHANNELS : count;
}

// Choices are stored as the id of the dialog's radio button.
enum {
    REQUEST_NORMAL = 1016, REQUEST_SPOLL = 1017, REQUEST_PPOLL = 1018,
    PPOLL_SENSE_1 = 1022, PPOLL_SENSE_0 = 1023,
    OUT_MODE_ALWAYS = 1030, OUT_MODE_AT_START = 1031, OUT_MODE_AT_END = 1050,
    TERM_CRLF = 1032, TERM_CR = 1033, TERM_LF = 1034, TERM_EOI = 1035,
    DATA_ASCII = 1036, DATA_INT16 = 1037, DATA_UINT16 = 1038, DATA_INT32 = 1039,
    DATA_UINT32 = 1040, DATA_FLOAT32 = 1041, DATA_FLOAT64 = 1042,
};

#pragma pack(push, 1)

struct GpibAddress {
    int16_t primaryAddress;
    int16_t secondaryAddress;
};

struct GpibInvalidBytes {
    uint32_t invalidHead;
    uint32_t invalidTail;
};

struct GpibModuleParams {
    char channelName[GPIB_CHANNELS][GPIB_CHANNEL_NAME_SIZE];   // 0
    char commandText[GPIB_CHANNELS][GPIB_COMMAND_TEXT_SIZE];   // 384
    GpibAddress addr[GPIB_CHANNELS];                           // 13184
    int32_t requestMode[GPIB_CHANNELS];                        // 13248
    int32_t spollReadyBit[GPIB_CHANNELS];                      // 13312
    int32_t spollErrorBit[GPIB_CHANNELS];                      // 13376
    int32_t spollStopOnError[GPIB_CHANNELS];                   // 13440
    char spollErrorText[GPIB_CHANNELS][GPIB_SPOLL_TEXT_SIZE];  // 13504
    int16_t ppollLine[GPIB_CHANNELS];                          // 17600
    int16_t ppollSense[GPIB_CHANNELS];                         // 17632
    uint32_t headerSize[GPIB_CHANNELS];                        // 17664
    uint32_t recvBlockLength[GPIB_CHANNELS];                   // 17728
    int32_t dataType[GPIB_CHANNELS];                           // 17792
    GpibInvalidBytes invalid[GPIB_CHANNELS];                   // 17856
    int32_t terminator[GPIB_CHANNELS];                         // 17984
    char maskText[GPIB_CHANNELS][GPIB_MASK_TEXT_SIZE];         // 18048
    uint32_t recvBufferKB[GPIB_CHANNELS];                      // 18304
    uint8_t reserved18368[64];                                 // 18368
    double requestInterval[GPIB_CHANNELS];                     // 18432
    int32_t stopOnTimeout[GPIB_CHANNELS];                      // 18560
    int32_t busTimeout;                                        // 18624
    int32_t initCommandMode;                                   // 18628
    uint8_t reserved18632[4];                                  // 18632
    int16_t myAddress;                                         // 18636
    int32_t outHasInputs;                                      // 18638
    int32_t outInputsWhenOff;                                  // 18642
    int32_t outChannelCount;                                   // 18646
    int32_t outMode;                                           // 18650
    uint8_t reserved18654[76];                                 // 18654
};

struct GpibModuleRuntime {
    int32_t actionCount;                                       // 0, host-written
    int32_t actionTable[GPIB_ACTIONS][GPIB_ACTION_WORDS];      // 4, host-written
    int32_t reserved452[2];                                    // 452
    uint8_t* transferBuffer;                                   // 460
    int32_t reserved464[16];                                   // 464
    int32_t srqWait[GPIB_CHANNELS];                            // 528
    int32_t reserved592[16];                                   // 592
    int32_t actionControlled[GPIB_CHANNELS];                   // 656
    int32_t reserved720;                                       // 720
    int32_t outActionControlled[GPIB_CHANNELS];                // 724
    uint8_t reserved788[22];                                   // 788
};

struct ScriptCommand {
    int32_t keyword;        // 1..8, 0 = no command
    int32_t argLength;      // characters of the argument, 0 without one
    const char* argText;    // first argument character inside commandText, not terminated
};

struct GpibChannelRuntime {
    int32_t requestCount;                                      // 0
    int32_t scriptPos;                                         // 4
    int32_t requestTickValid;                                  // 8  1 while lastRequestTick holds a request
    int32_t dataReady;                                         // 12
    float* ring;                                               // 16
    uint32_t ringRead;                                         // 20
    uint32_t ringWrite;                                        // 24
    uint32_t ringCapacity;                                     // 28
    int32_t busDevice;                                         // 32 the device as resolved at start (gpibbus)
    ScriptCommand commands[GPIB_SCRIPT_LINES];                 // 36
    uint32_t waitStart;                                        // 636
    uint32_t lastRequestTick;                                  // 640
    int32_t tickWraps;                                         // 644
    uint8_t commandsEnd;                                       // 648 one past the last command, set at start (0: all 50 looked at)
    uint8_t reserved649;                                       // 649
};

#pragma pack(pop)

static_assert(sizeof(GpibModuleParams) == 18730, "GpibModuleParams size");
static_assert(offsetof(GpibModuleParams, commandText) == 384, "commandText");
static_assert(offsetof(GpibModuleParams, addr) == 13184, "addr");
static_assert(offsetof(GpibModuleParams, requestMode) == 13248, "requestMode");
static_assert(offsetof(GpibModuleParams, spollReadyBit) == 13312, "spollReadyBit");
static_assert(offsetof(GpibModuleParams, spollErrorBit) == 13376, "spollErrorBit");
static_assert(offsetof(GpibModuleParams, spollStopOnError) == 13440, "spollStopOnError");
static_assert(offsetof(GpibModuleParams, spollErrorText) == 13504, "spollErrorText");
static_assert(offsetof(GpibModuleParams, ppollLine) == 17600, "ppollLine");
static_assert(offsetof(GpibModuleParams, ppollSense) == 17632, "ppollSense");
static_assert(offsetof(GpibModuleParams, headerSize) == 17664, "headerSize");
static_assert(offsetof(GpibModuleParams, recvBlockLength) == 17728, "recvBlockLength");
static_assert(offsetof(GpibModuleParams, dataType) == 17792, "dataType");
static_assert(offsetof(GpibModuleParams, invalid) == 17856, "invalid");
static_assert(offsetof(GpibModuleParams, terminator) == 17984, "terminator");
static_assert(offsetof(GpibModuleParams, maskText) == 18048, "maskText");
static_assert(offsetof(GpibModuleParams, recvBufferKB) == 18304, "recvBufferKB");
static_assert(offsetof(GpibModuleParams, requestInterval) == 18432, "requestInterval");
static_assert(offsetof(GpibModuleParams, stopOnTimeout) == 18560, "stopOnTimeout");
static_assert(offsetof(GpibModuleParams, busTimeout) == 18624, "busTimeout");
static_assert(offsetof(GpibModuleParams, initCommandMode) == 18628, "initCommandMode");
static_assert(offsetof(GpibModuleParams, myAddress) == 18636, "myAddress");
static_assert(offsetof(GpibModuleParams, outHasInputs) == 18638, "outHasInputs");
static_assert(offsetof(GpibModuleParams, outInputsWhenOff) == 18642, "outInputsWhenOff");
static_assert(offsetof(GpibModuleParams, outChannelCount) == 18646, "outChannelCount");
static_assert(offsetof(GpibModuleParams, outMode) == 18650, "outMode");

GPIB_LAYOUT_CHECK(sizeof(GpibModuleRuntime) == 810, "GpibModuleRuntime size");
GPIB_LAYOUT_CHECK(offsetof(GpibModuleRuntime, transferBuffer) == 460, "transferBuffer");
GPIB_LAYOUT_CHECK(offsetof(GpibModuleRuntime, srqWait) == 528, "srqWait");
GPIB_LAYOUT_CHECK(offsetof(GpibModuleRuntime, actionControlled) == 656, "actionControlled");
GPIB_LAYOUT_CHECK(offsetof(GpibModuleRuntime, outActionControlled) == 724, "outActionControlled");
static_assert(offsetof(GpibModuleRuntime, actionTable) == 4, "actionTable");

GPIB_LAYOUT_CHECK(sizeof(ScriptCommand) == 12, "ScriptCommand size");
GPIB_LAYOUT_CHECK(sizeof(GpibChannelRuntime) == 650, "GpibChannelRuntime size");
GPIB_LAYOUT_CHECK(offsetof(GpibChannelRuntime, ring) == 16, "ring");
GPIB_LAYOUT_CHECK(offsetof(GpibChannelRuntime, ringCapacity) == 28, "ringCapacity");
GPIB_LAYOUT_CHECK(offsetof(GpibChannelRuntime, commands) == 36, "commands");
GPIB_LAYOUT_CHECK(offsetof(GpibChannelRuntime, waitStart) == 636, "waitStart");
GPIB_LAYOUT_CHECK(offsetof(GpibChannelRuntime, lastRequestTick) == 640, "lastRequestTick");
GPIB_LAYOUT_CHECK(offsetof(GpibChannelRuntime, tickWraps) == 644, "tickWraps");

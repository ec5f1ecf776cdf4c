// The bus: the rows shared by all modules with the same own address (bus settings, request
// intervals) and, per device of a row, its turn and the tick of its last requested read.
// Turns change only through the named transitions below, which the channel runs take.
#pragma once
#include "extavik/host/plugin.h"

// Turn of one device as seen from one own-address row.
enum DeviceTurn : uint8_t {
    DEVICE_UNTOUCHED = 0,
    DEVICE_IDLE = 1,          // before a run; only at-start output takes it
    DEVICE_OUTPUT_TURN = 2,   // always-mode output may send its request
    DEVICE_INPUT_TURN = 3,    // the input side reads the answer
    DEVICE_FINAL_TURN = 4,    // at-end output, for its one pass at the stop
};

// Index guard for the rows: a stored block may hold any own or device address.
inline bool IsBusIndex(int32_t address) { return address >= 0 && address < GPIB_BUS_ROWS; }

// ---- bus settings rows ----

void ResetBusSettings();
void PublishBusSettings(GpibModuleParams* params);
void TakeBusSettings(GpibModuleParams* params);
// GPIB-IN start: channel ch's interval paces the always-mode output channel of the same index.
void PublishRequestInterval(const GpibModuleParams* params, int ch);
// Seconds between requests on channel ch of the row; 0 before any GPIB-IN published one.
double SharedRequestInterval(int32_t row, int ch);
// 1 when channel ch of the row polls in parallel; gives its DIO line and sense (1 or 0).
bool RowChannelPollsInParallel(int32_t row, int ch, int16_t* line, int* sense);

// ---- devices of a row: turns and requested reads ----

// One device as one row sees it.
struct BusSlot {
    int16_t row;
    int16_t device;
};

// The slot of channel ch's device; false when the own or the device address has no row.
bool FindChannelSlot(const GpibModuleParams* params, int ch, BusSlot* slot);
DeviceTurn TurnOf(BusSlot slot);
// The turn an output mode needs for its pass; false for an unknown mode.
bool TurnForOutputMode(int32_t outMode, DeviceTurn* turn);

// Transitions. An input pass, and a request gate that closes or fails, hand the device back to
// the output side.
void EndInputPass(BusSlot slot);
// Always mode hands the device to the input side, at-start mode to the always-mode output;
// at-end mode leaves the final turn.
void EndOutputPass(BusSlot slot, int32_t outMode);
// The stop gives an at-end output channel its final turn for one pass.
void GiveFinalTurn(BusSlot slot);
// A host action forces the turn it needs for one run and gives back what it found.
DeviceTurn ForceTurnForAction(BusSlot slot, DeviceTurn needed);
void RestoreTurnAfterAction(BusSlot slot, DeviceTurn found);
// Every device of the module's row back to idle (GPIB-OUT creation, pre-start and final stop).
void MarkRowIdle(ModuleRecord* module);

// The tick of the last read a host action asked for; 0 for none (cyclic reads).
uint32_t RequestTickOf(BusSlot slot);
void StampRequest(BusSlot slot, uint32_t tick);

// ---- a run's devices, resolved once at its start ----

// One device of one row: its turn and the tick of its last requested read. Read and written
// only through the functions of this header.
struct BusDevice {
    uint8_t turn;
    uint32_t requestTick;
};
namespace busdevices {
extern BusDevice cells[GPIB_BUS_ROWS * GPIB_BUS_DEVICES];   // row by row
}

// A channel's device as a number the processing cycle looks up without the addresses: 1 + its
// cell's index, BUS_NO_DEVICE when the own or the device address has no row.
enum { BUS_NO_DEVICE = 0 };
int32_t ResolveChannelDevice(const GpibModuleParams* params, int ch);
inline BusDevice& ResolvedDevice(int32_t resolved)
{
    return busdevices::cells[resolved - 1];
}
inline DeviceTurn TurnOfResolved(int32_t resolved)
{
    return DeviceTurn(ResolvedDevice(resolved).turn);
}
inline void StampResolved(int32_t resolved, uint32_t tick)
{
    ResolvedDevice(resolved).requestTick = tick;
}

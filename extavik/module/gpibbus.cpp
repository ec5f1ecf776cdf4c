// The bus: bus settings rows, request intervals, device turns and requested-read ticks.
#include "extavik/module/gpibbus.h"

namespace {

// One own address's share of the bus.
struct BusRow {
    int32_t inputMode[GPIB_CHANNELS];
    int16_t ppollLine[GPIB_CHANNELS];
    int16_t ppollSense[GPIB_CHANNELS];
    int32_t timeout;
    double requestInterval[GPIB_CHANNELS];   // seconds, published at GPIB-IN start
};

BusRow s_rows[GPIB_BUS_ROWS];

enum { BUS_DEFAULT_TIMEOUT = 4, BUS_DEFAULT_PPOLL_LINE = 0 };

// The turn each output mode needs, and the one its pass leaves.
struct OutputModeTurn {
    int32_t outMode;
    DeviceTurn required;
    DeviceTurn after;
};

const OutputModeTurn OutputModeTurns[] = {
    { OUT_MODE_ALWAYS, DEVICE_OUTPUT_TURN, DEVICE_INPUT_TURN },
    { OUT_MODE_AT_START, DEVICE_IDLE, DEVICE_OUTPUT_TURN },
    { OUT_MODE_AT_END, DEVICE_FINAL_TURN, DEVICE_FINAL_TURN },
};

const OutputModeTurn* FindOutputMode(int32_t outMode)
{
    for (const OutputModeTurn& m : OutputModeTurns)
        if (m.outMode == outMode)
            return &m;
    return nullptr;
}

BusDevice& Cell(BusSlot slot)
{
    return busdevices::cells[slot.row * GPIB_BUS_DEVICES + slot.device];
}

void SetTurn(BusSlot slot, DeviceTurn turn)
{
    Cell(slot).turn = turn;
}

} // namespace

BusDevice busdevices::cells[GPIB_BUS_ROWS * GPIB_BUS_DEVICES];

// ---- bus settings rows ----

void ResetBusSettings()
{
    for (BusRow& row : s_rows) {
        row.timeout = BUS_DEFAULT_TIMEOUT;
        for (int c = 0; c < GPIB_CHANNELS; c++) {
            row.inputMode[c] = REQUEST_NORMAL;
            row.ppollLine[c] = BUS_DEFAULT_PPOLL_LINE;
            row.ppollSense[c] = PPOLL_SENSE_1;
        }
    }
}

// A block whose own address has no row neither publishes nor takes: the start refuses it.
void PublishBusSettings(GpibModuleParams* p)
{
    if (!p || !IsBusIndex(p->myAddress))
        return;
    BusRow& row = s_rows[p->myAddress];
    row.timeout = p->busTimeout;
    for (int c = 0; c < GPIB_CHANNELS; c++) {
        row.inputMode[c] = p->requestMode[c];
        row.ppollLine[c] = p->ppollLine[c];
        row.ppollSense[c] = p->ppollSense[c];
    }
}

void TakeBusSettings(GpibModuleParams* p)
{
    if (!p || !IsBusIndex(p->myAddress))
        return;
    const BusRow& row = s_rows[p->myAddress];
    p->busTimeout = row.timeout;
    for (int c = 0; c < GPIB_CHANNELS; c++) {
        p->requestMode[c] = row.inputMode[c];
        p->ppollLine[c] = row.ppollLine[c];
        p->ppollSense[c] = row.ppollSense[c];
    }
}

void PublishRequestInterval(const GpibModuleParams* p, int ch)
{
    if (IsBusIndex(p->myAddress))
        s_rows[p->myAddress].requestInterval[ch] = p->requestInterval[ch];
}

double SharedRequestInterval(int32_t row, int ch)
{
    return s_rows[row].requestInterval[ch];
}

bool RowChannelPollsInParallel(int32_t r, int ch, int16_t* line, int* sense)
{
    const BusRow& row = s_rows[r];
    if (row.inputMode[ch] != REQUEST_PPOLL)
        return false;
    *line = row.ppollLine[ch];
    *sense = row.ppollSense[ch] == PPOLL_SENSE_1 ? 1 : 0;
    return true;
}

// ---- devices of a row ----

bool FindChannelSlot(const GpibModuleParams* p, int ch, BusSlot* slot)
{
    const int device = p->addr[ch].primaryAddress;
    if (!IsBusIndex(p->myAddress) || !IsBusIndex(device))
        return false;
    slot->row = p->myAddress;
    slot->device = int16_t(device);
    return true;
}

DeviceTurn TurnOf(BusSlot slot)
{
    return DeviceTurn(Cell(slot).turn);
}

int32_t ResolveChannelDevice(const GpibModuleParams* p, int ch)
{
    BusSlot slot;
    if (!FindChannelSlot(p, ch, &slot))
        return BUS_NO_DEVICE;
    return 1 + slot.row * GPIB_BUS_DEVICES + slot.device;
}

bool TurnForOutputMode(int32_t outMode, DeviceTurn* turn)
{
    const OutputModeTurn* m = FindOutputMode(outMode);
    if (m)
        *turn = m->required;
    return m != nullptr;
}

void EndInputPass(BusSlot slot)
{
    SetTurn(slot, DEVICE_OUTPUT_TURN);
}

void EndOutputPass(BusSlot slot, int32_t outMode)
{
    if (const OutputModeTurn* m = FindOutputMode(outMode))
        SetTurn(slot, m->after);
}

void GiveFinalTurn(BusSlot slot)
{
    SetTurn(slot, DEVICE_FINAL_TURN);
}

DeviceTurn ForceTurnForAction(BusSlot slot, DeviceTurn needed)
{
    const DeviceTurn found = TurnOf(slot);
    SetTurn(slot, needed);
    return found;
}

void RestoreTurnAfterAction(BusSlot slot, DeviceTurn found)
{
    SetTurn(slot, found);
}

void MarkRowIdle(ModuleRecord* module)
{
    if (!module || !module->params || !IsBusIndex(module->params->myAddress))
        return;
    BusDevice* row = &busdevices::cells[module->params->myAddress * GPIB_BUS_DEVICES];
    for (int device = 0; device < GPIB_BUS_DEVICES; device++)
        row[device].turn = DEVICE_IDLE;
}

uint32_t RequestTickOf(BusSlot slot)
{
    return Cell(slot).requestTick;
}

void StampRequest(BusSlot slot, uint32_t tick)
{
    Cell(slot).requestTick = tick;
}

// The settable fields of the parameter block: where each lives, what kind of value it holds, the
// range a user may enter, the control that edits it, its warning, what an experiment start
// accepts and what creation writes. The dialogs' read-back, the worksheet loader and the start checks all read this one
// table. Pure: no Win32 or host call.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "extavik/data/gpibtypes.h"

enum GpibFieldKind {
    FIELD_TEXT,       // char array; max is the longest text in bytes
    FIELD_INT16,
    FIELD_INT32,
    FIELD_UINT32,
    FIELD_DOUBLE,
    FIELD_CHOICE,     // int32 holding a radio-button id
    FIELD_CHOICE16,   // int16 holding a radio-button id
    FIELD_FLAG,       // int32, 0 or 1
};

// One stored choice and the name a worksheet (and the user's reference) calls it by.
struct GpibFieldChoice {
    const char* name;
    int32_t value;
};

// Which table row a field is; the table is in parameter-block order.
enum GpibFieldId {
    GF_CHANNEL_NAME, GF_COMMAND_TEXT, GF_PRIMARY_ADDRESS, GF_SECONDARY_ADDRESS, GF_REQUEST_MODE,
    GF_SPOLL_READY_BIT, GF_SPOLL_ERROR_BIT, GF_SPOLL_STOP_ON_ERROR, GF_SPOLL_ERROR_TEXT,
    GF_PPOLL_LINE, GF_PPOLL_SENSE, GF_HEADER_SIZE, GF_RECV_BLOCK_LENGTH, GF_DATA_TYPE,
    GF_INVALID_HEAD, GF_INVALID_TAIL, GF_TERMINATOR, GF_MASK_TEXT, GF_RECV_BUFFER_KB,
    GF_REQUEST_INTERVAL, GF_STOP_ON_TIMEOUT, GF_BUS_TIMEOUT, GF_MY_ADDRESS, GF_OUT_HAS_INPUTS,
    GF_OUT_MODE,
    GF_COUNT
};

// What an experiment start accepts: [min, max], or (min, max] with minOpen. NaN never passes.
struct GpibStartRange {
    int checked;      // 0: the start does not look at the field
    int inputOnly;    // 1: only GPIB-IN checks it (GPIB-OUT has no ring and no interval of its own)
    double min, max;
    int minOpen;
};

// What creating a module writes into a per-channel field: value when written (texts get zero bytes).
struct GpibCreation {
    int written;
    double value;
};

struct GpibField {
    const char* name;          // the field's name, as a worksheet spells it
    GpibFieldKind kind;
    size_t offset;             // of channel 0's entry within the block
    size_t stride;             // bytes between channels; 0 = one value per module
    double min, max;           // what the dialogs and the worksheet accept (texts: longest in bytes)
    const GpibFieldChoice* choices;   // FIELD_CHOICE*: ended by a null name
    int controlId;             // the dialog control that edits it; 0 when none
    const char* warning;       // shown when the dialog refuses it; null when it refuses nothing
    int hexDigits;             // FIELD_TEXT of hexadecimal digits only
    GpibStartRange start;
    GpibCreation created;
};

extern const GpibField GPIB_FIELDS[GF_COUNT];

// The own address creation proposes, the receive-buffer and request-interval limits (the
// field table's ranges), and the script a new GPIB-IN channel runs.
enum {
    DEFAULT_MY_ADDRESS = 30,
    RECV_BUFFER_KB_MIN = 4,
    RECV_BUFFER_KB_MAX = 16384,
};
constexpr double REQUEST_INTERVAL_MIN = 0.01;      // seconds, as the receive dialog accepts
constexpr double REQUEST_INTERVAL_MAX = 60000.0;
constexpr char DEFAULT_IN_SCRIPT[] = "READ\r\n";

// The row called name, or null.
const GpibField* FindGpibField(const char* name);
// The choice stored as value, or null when the field offers no such choice.
const GpibFieldChoice* FindGpibChoice(const GpibField& field, int32_t value);

// The address of channel ch's entry (ch ignored for a module-wide field) in the block at base.
uint8_t* GpibFieldEntry(void* base, const GpibField& field, int ch);
// The number held by a numeric field, read in its own width.
double GpibFieldNumber(const void* base, const GpibField& field, int ch);
// Stores value in the field's own width; texts are not numbers and are left alone.
void StoreGpibFieldNumber(void* base, const GpibField& field, int ch, double value);
// Stores text, cut to the field's longest text and padded with zero bytes.
void StoreGpibFieldText(void* base, const GpibField& field, int ch, const char* text, size_t length);

// Writes the creation column of every per-channel row into channel ch of the block at base
// (channel names are the type's to write).
void WriteCreationDefaults(void* base, int ch);

// 1 when the start accepts value for field (always when the start does not check it).
int GpibStartAccepts(const GpibField& field, double value);

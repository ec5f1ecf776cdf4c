// The parameter block's field table and the accessors that read and store a row's value.
#include "extavik/data/gpibfields.h"

#include <string.h>

#include "extavik/texts/dlgtexts.h"
#include "extavik/ui/resources/resource.h"

// A stored choice is the id of the radio button that made it: each must stay equal to its control.
static_assert(REQUEST_NORMAL == IDC_REQ_NORMAL && REQUEST_SPOLL == IDC_REQ_SPOLL &&
              REQUEST_PPOLL == IDC_REQ_PPOLL, "request modes are their radio buttons");
static_assert(PPOLL_SENSE_1 == IDC_PPOLL_SENSE1 && PPOLL_SENSE_0 == IDC_PPOLL_SENSE0,
              "parallel-poll senses are their radio buttons");
static_assert(OUT_MODE_ALWAYS == IDC_OUT_ALWAYS && OUT_MODE_AT_START == IDC_OUT_AT_START &&
              OUT_MODE_AT_END == IDC_OUT_AT_END, "output modes are their radio buttons");
static_assert(TERM_CRLF == IDC_TERM_CRLF && TERM_CR == IDC_TERM_CR && TERM_LF == IDC_TERM_LF &&
              TERM_EOI == IDC_TERM_EOI, "terminators are their radio buttons");
static_assert(DATA_ASCII == IDC_DATA_ASCII && DATA_INT16 == IDC_DATA_INT16 &&
              DATA_UINT16 == IDC_DATA_UINT16 && DATA_INT32 == IDC_DATA_INT32 &&
              DATA_UINT32 == IDC_DATA_UINT32 && DATA_FLOAT32 == IDC_DATA_FLOAT32 &&
              DATA_FLOAT64 == IDC_DATA_FLOAT64, "data types are their radio buttons");

namespace {

constexpr GpibFieldChoice REQUEST_MODES[] = {
    {"normal", REQUEST_NORMAL}, {"serialPoll", REQUEST_SPOLL}, {"parallelPoll", REQUEST_PPOLL}, {nullptr, 0}};
constexpr GpibFieldChoice PPOLL_SENSES[] = {{"1", PPOLL_SENSE_1}, {"0", PPOLL_SENSE_0}, {nullptr, 0}};
constexpr GpibFieldChoice DATA_TYPES[] = {
    {"ascii", DATA_ASCII}, {"int16", DATA_INT16}, {"uint16", DATA_UINT16}, {"int32", DATA_INT32},
    {"uint32", DATA_UINT32}, {"float32", DATA_FLOAT32}, {"float64", DATA_FLOAT64}, {nullptr, 0}};
constexpr GpibFieldChoice TERMINATORS[] = {
    {"crlf", TERM_CRLF}, {"cr", TERM_CR}, {"lf", TERM_LF}, {"eoi", TERM_EOI}, {nullptr, 0}};
constexpr GpibFieldChoice OUT_MODES[] = {
    {"always", OUT_MODE_ALWAYS}, {"atStart", OUT_MODE_AT_START}, {"atEnd", OUT_MODE_AT_END}, {nullptr, 0}};

// Where the dialog and the start differ, on purpose:
// - a primary address of 31 is accepted by the dialog (stored blocks hold such values),
//   but 31 is the bus's unlisten/untalk address and has no slot in the device tables, so the
//   start refuses it and names the channel;
// - a request interval below 0.01 s is refused by the dialog, but a stored one starts: it is held
//   to the host's sample period anyway. Only no positive number up to the maximum is refused.
constexpr GpibStartRange NOT_AT_START = {0, 0, 0, 0, 0};
constexpr GpibStartRange BUS_SLOT = {1, 0, 0, GPIB_BUS_DEVICES - 1, 0};
constexpr GpibStartRange OWN_ROW = {1, 0, 0, GPIB_BUS_ROWS - 1, 0};
constexpr GpibStartRange RING_SIZE = {1, 1, RECV_BUFFER_KB_MIN, RECV_BUFFER_KB_MAX, 0};
constexpr GpibStartRange PACE = {1, 1, 0.0, REQUEST_INTERVAL_MAX, 1};

// What creation writes: a row's value (texts: all zero bytes), or nothing.
constexpr GpibCreation KEPT = {0, 0};
constexpr GpibCreation ZEROED = {1, 0};
constexpr GpibCreation MADE(double value) { return {1, value}; }

enum {
    PRIMARY_ADDRESS_DIALOG_MAX = TAVK_ADDRESS_MAX + 1,   // the unlisten address, see above
    CHANNEL_NAME_LONGEST = 19,   // the dialog stores 19 characters of the 24-byte field
};

}  // namespace

#define PARAM(field) offsetof(GpibModuleParams, field)
#define STRIDE(field) sizeof(((GpibModuleParams*)0)->field[0])
#define ADDR(member) PARAM(addr) + offsetof(GpibAddress, member), sizeof(GpibAddress)
#define INVALID(member) PARAM(invalid) + offsetof(GpibInvalidBytes, member), sizeof(GpibInvalidBytes)
#define CHANNEL(field) PARAM(field), STRIDE(field)
#define MODULE(field) PARAM(field), 0

// Rows in GpibFieldId order.
constexpr GpibField GPIB_FIELDS[GF_COUNT] = {
    // name, kind, offset and stride, min, max, choices, control, warning, hex, start, creation
    {"channelName", FIELD_TEXT, CHANNEL(channelName), 0, CHANNEL_NAME_LONGEST, nullptr,
     IDC_CHANNEL_NAME, nullptr, 0, NOT_AT_START, KEPT},
    {"commandText", FIELD_TEXT, CHANNEL(commandText), 0, GPIB_COMMAND_TEXT_SIZE - 1, nullptr,
     0, nullptr, 0, NOT_AT_START, ZEROED},   // each module type has its own command control
    {"primaryAddress", FIELD_INT16, ADDR(primaryAddress), 0, PRIMARY_ADDRESS_DIALOG_MAX, nullptr,
     IDC_PRIMARY, WARN_PRIMARY_ADDRESS, 0, BUS_SLOT, MADE(22)},
    {"secondaryAddress", FIELD_INT16, ADDR(secondaryAddress), INT16_MIN, INT16_MAX, nullptr,
     IDC_SECONDARY, nullptr, 0, NOT_AT_START, MADE(0)},   // taken without a range test
    {"requestMode", FIELD_CHOICE, CHANNEL(requestMode), 0, 0, REQUEST_MODES, 0, nullptr, 0, NOT_AT_START, KEPT},
    {"spollReadyBit", FIELD_INT32, CHANNEL(spollReadyBit), 0, 7, nullptr,
     IDC_SPOLL_READY, WARN_READY_BIT, 0, NOT_AT_START, MADE(0)},
    {"spollErrorBit", FIELD_INT32, CHANNEL(spollErrorBit), 0, 7, nullptr,
     IDC_SPOLL_ERROR, WARN_ERROR_BIT, 0, NOT_AT_START, MADE(0)},
    {"spollStopOnError", FIELD_FLAG, CHANNEL(spollStopOnError), 0, 1, nullptr,
     IDC_SPOLL_STOP, nullptr, 0, NOT_AT_START, MADE(0)},
    {"spollErrorText", FIELD_TEXT, CHANNEL(spollErrorText), 0, GPIB_SPOLL_TEXT_SIZE - 1, nullptr,
     IDC_SPOLL_TEXT, nullptr, 0, NOT_AT_START, ZEROED},
    {"ppollLine", FIELD_INT16, CHANNEL(ppollLine), 0, 7, nullptr,
     IDC_PPOLL_LINE, WARN_PPOLL_LINE, 0, NOT_AT_START, KEPT},
    {"ppollSense", FIELD_CHOICE16, CHANNEL(ppollSense), 0, 0, PPOLL_SENSES, 0, nullptr, 0, NOT_AT_START, KEPT},
    {"headerSize", FIELD_UINT32, CHANNEL(headerSize), 0, 65535, nullptr,
     IDC_RECV_HEADER, WARN_HEADER_SIZE, 0, NOT_AT_START, MADE(0)},
    {"recvBlockLength", FIELD_UINT32, CHANNEL(recvBlockLength), 1, 8192, nullptr,
     IDC_RECV_BLOCKLEN, WARN_BLOCK_LENGTH, 0, NOT_AT_START, MADE(1)},
    {"dataType", FIELD_CHOICE, CHANNEL(dataType), 0, 0, DATA_TYPES, 0, nullptr, 0, NOT_AT_START, MADE(DATA_ASCII)},
    {"invalidHead", FIELD_UINT32, INVALID(invalidHead), 0, 65535, nullptr,
     IDC_RECV_INV_HEAD, WARN_INVALID_HEAD, 0, NOT_AT_START, MADE(0)},
    {"invalidTail", FIELD_UINT32, INVALID(invalidTail), 0, 65535, nullptr,
     IDC_RECV_INV_TAIL, WARN_INVALID_TAIL, 0, NOT_AT_START, MADE(0)},
    {"terminator", FIELD_CHOICE, CHANNEL(terminator), 0, 0, TERMINATORS, 0, nullptr, 0, NOT_AT_START, MADE(TERM_CRLF)},
    {"maskText", FIELD_TEXT, CHANNEL(maskText), 0, GPIB_MASK_TEXT_SIZE - 1, nullptr,
     IDC_RECV_MASK, WARN_MASK, 1, NOT_AT_START, ZEROED},
    {"recvBufferKB", FIELD_UINT32, CHANNEL(recvBufferKB), RECV_BUFFER_KB_MIN, RECV_BUFFER_KB_MAX, nullptr,
     IDC_RECV_BUFFER, WARN_BUFFER, 0, RING_SIZE, MADE(8)},
    {"requestInterval", FIELD_DOUBLE, CHANNEL(requestInterval), REQUEST_INTERVAL_MIN, REQUEST_INTERVAL_MAX,
     nullptr, IDC_RECV_INTERVAL, WARN_INTERVAL, 0, PACE, MADE(1.0)},
    {"stopOnTimeout", FIELD_FLAG, CHANNEL(stopOnTimeout), 0, 1, nullptr,
     IDC_RECV_STOP_TIMEOUT, nullptr, 0, NOT_AT_START, MADE(0)},
    {"busTimeout", FIELD_INT32, MODULE(busTimeout), 0, 60, nullptr, IDC_TIMEOUT, WARN_TIMEOUT, 0, NOT_AT_START, KEPT},
    {"myAddress", FIELD_INT16, MODULE(myAddress), 0, GPIB_BUS_ROWS - 1, nullptr,
     IDC_MY_ADDRESS, WARN_MY_ADDRESS, 0, OWN_ROW, KEPT},
    {"outHasInputs", FIELD_FLAG, MODULE(outHasInputs), 0, 1, nullptr, IDC_OUT_HAS_INPUTS, nullptr, 0, NOT_AT_START, KEPT},
    {"outMode", FIELD_CHOICE, MODULE(outMode), 0, 0, OUT_MODES, 0, nullptr, 0, NOT_AT_START, KEPT},
};

// The rows follow the block, so GpibFieldId (in block order too) names each one.
static constexpr bool RowsFollowTheBlock()
{
    for (int i = 1; i < GF_COUNT; ++i)
        if (GPIB_FIELDS[i].offset <= GPIB_FIELDS[i - 1].offset) return false;
    return true;
}
static_assert(RowsFollowTheBlock(), "field rows in parameter-block order");

#undef MODULE
#undef CHANNEL
#undef INVALID
#undef ADDR
#undef STRIDE
#undef PARAM

const GpibField* FindGpibField(const char* name)
{
    for (const GpibField& f : GPIB_FIELDS)
        if (strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

const GpibFieldChoice* FindGpibChoice(const GpibField& field, int32_t value)
{
    if (!field.choices) return nullptr;
    for (const GpibFieldChoice* c = field.choices; c->name; ++c)
        if (c->value == value) return c;
    return nullptr;
}

uint8_t* GpibFieldEntry(void* base, const GpibField& field, int ch)
{
    return static_cast<uint8_t*>(base) + field.offset + (field.stride ? ch * field.stride : 0);
}

// Reads or writes one value of type T; the block is packed, so through memcpy.
template <typename T> static double Load(const uint8_t* at)
{
    T v;
    memcpy(&v, at, sizeof v);
    return static_cast<double>(v);
}

template <typename T> static void Save(uint8_t* at, double value)
{
    T v = static_cast<T>(value);
    memcpy(at, &v, sizeof v);
}

double GpibFieldNumber(const void* base, const GpibField& field, int ch)
{
    const uint8_t* at = GpibFieldEntry(const_cast<void*>(base), field, ch);
    switch (field.kind) {
    case FIELD_INT16: case FIELD_CHOICE16: return Load<int16_t>(at);
    case FIELD_INT32: case FIELD_CHOICE: case FIELD_FLAG: return Load<int32_t>(at);
    case FIELD_UINT32: return Load<uint32_t>(at);
    case FIELD_DOUBLE: return Load<double>(at);
    case FIELD_TEXT: break;
    }
    return 0.0;
}

void StoreGpibFieldNumber(void* base, const GpibField& field, int ch, double value)
{
    uint8_t* at = GpibFieldEntry(base, field, ch);
    switch (field.kind) {
    case FIELD_INT16: case FIELD_CHOICE16: Save<int16_t>(at, value); break;
    case FIELD_INT32: case FIELD_CHOICE: case FIELD_FLAG: Save<int32_t>(at, value); break;
    case FIELD_UINT32: Save<uint32_t>(at, value); break;
    case FIELD_DOUBLE: Save<double>(at, value); break;
    case FIELD_TEXT: break;
    }
}

void WriteCreationDefaults(void* base, int ch)
{
    for (const GpibField& f : GPIB_FIELDS) {
        if (!f.stride || !f.created.written) continue;
        if (f.kind == FIELD_TEXT) memset(GpibFieldEntry(base, f, ch), 0, static_cast<size_t>(f.max) + 1);
        else StoreGpibFieldNumber(base, f, ch, f.created.value);
    }
}

void StoreGpibFieldText(void* base, const GpibField& field, int ch, const char* text, size_t length)
{
    const size_t longest = static_cast<size_t>(field.max);
    uint8_t* at = GpibFieldEntry(base, field, ch);
    memset(at, 0, longest + 1);
    memcpy(at, text, length < longest ? length : longest);
}

int GpibStartAccepts(const GpibField& field, double value)
{
    const GpibStartRange& r = field.start;
    if (!r.checked) return 1;
    const int aboveMin = r.minOpen ? value > r.min : value >= r.min;
    return aboveMin && value <= r.max;
}

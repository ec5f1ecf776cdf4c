// "RECV": how channel c's answers are received and decoded, its buffer and request interval.
#include <stdio.h>
#include <string.h>

#include "extavik/data/fieldcheck.h"
#include "extavik/data/gpibfields.h"
#include "extavik/ui/subdialog.h"

const char* const RECV_BUFFER_CHOICES[11] = {
    "    4 Kbyte", "    8 Kbyte", "   16 Kbyte", "   32 Kbyte", "   64 Kbyte", "  128 Kbyte",
    "  256 Kbyte", "  512 Kbyte", " 1024 Kbyte", " 8192 Kbyte", "16384 Kbyte",
};
const char* const RECV_INTERVAL_CHOICES[9] = {
    " 0.050", " 0.100", " 0.500", " 1.000", " 2.000", " 5.000", "10.000", "30.000", "60.000",
};


static void FillRecv(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    SetDlgItemUnsigned(dialog, IDC_RECV_HEADER, p->headerSize[c]);
    SetDlgItemUnsigned(dialog, IDC_RECV_BLOCKLEN, p->recvBlockLength[c]);
    SetDlgItemUnsigned(dialog, IDC_RECV_INV_HEAD, p->invalid[c].invalidHead);
    SetDlgItemUnsigned(dialog, IDC_RECV_INV_TAIL, p->invalid[c].invalidTail);
    CheckRadioButton(dialog, IDC_DATA_ASCII, IDC_DATA_FLOAT64, p->dataType[c]);
    CheckRadioButton(dialog, IDC_TERM_CRLF, IDC_TERM_EOI, p->terminator[c]);
    char mask[GPIB_MASK_TEXT_SIZE + 1];
    memcpy(mask, p->maskText[c], GPIB_MASK_TEXT_SIZE);
    mask[GPIB_MASK_TEXT_SIZE] = '\0';   // a stored mask may fill its field
    SetDlgItemTextA(dialog, IDC_RECV_MASK, mask);

    char text[32];
    SendDlgItemMessageA(dialog, IDC_RECV_BUFFER, CB_RESETCONTENT, 0, 0);
    for (const char* choice : RECV_BUFFER_CHOICES)
        SendDlgItemMessageA(dialog, IDC_RECV_BUFFER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    snprintf(text, sizeof text, "%5d KByte", static_cast<int>(p->recvBufferKB[c]));
    SetDlgItemTextA(dialog, IDC_RECV_BUFFER, text);

    SendDlgItemMessageA(dialog, IDC_RECV_INTERVAL, CB_RESETCONTENT, 0, 0);
    for (const char* choice : RECV_INTERVAL_CHOICES)
        SendDlgItemMessageA(dialog, IDC_RECV_INTERVAL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    snprintf(text, sizeof text, "%.3lf", p->requestInterval[c]);
    SetDlgItemTextA(dialog, IDC_RECV_INTERVAL, text);

    CheckDlgButton(dialog, IDC_RECV_STOP_TIMEOUT, p->stopOnTimeout[c] ? BST_CHECKED : BST_UNCHECKED);
}

static bool RecvClick(GpibModuleParams* p, unsigned c, int id)
{
    if (id >= IDC_TERM_CRLF && id <= IDC_TERM_EOI) return p->terminator[c] = id, true;
    if (id >= IDC_DATA_ASCII && id <= IDC_DATA_FLOAT64) return p->dataType[c] = id, true;
    if (id == IDC_RECV_STOP_TIMEOUT) return ToggleFlag(&p->stopOnTimeout[c]);
    return false;
}

// The unsigned number fields of "RECV", checked in this order.
static const GpibFieldId RECV_NUMBER_FIELDS[] = {
    GF_HEADER_SIZE, GF_RECV_BLOCK_LENGTH, GF_INVALID_HEAD, GF_INVALID_TAIL,
};

static bool ReadRecvBuffer(HWND dialog, GpibModuleParams* p, unsigned c)
{
    const GpibField& f = GPIB_FIELDS[GF_RECV_BUFFER_KB];
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, f.controlId, field, sizeof field);
    for (char* ch = field; *ch; ++ch)
        if (*ch >= 'a' && *ch <= 'z') *ch = static_cast<char>(*ch - 'a' + 'A');
    if (char* unit = strstr(field, " KBYTE")) *unit = '\0';   // the list entries carry the unit
    int32_t value;
    if (!CheckIntegerText(field, static_cast<int32_t>(f.min), static_cast<int32_t>(f.max), &value)) {
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, f.warning);
        return false;
    }
    StoreGpibFieldNumber(p, f, static_cast<int>(c), value);
    return true;
}

static char HostDecimalSeparator()
{
    const char* separator = reinterpret_cast<const char*>(g_hostValues[HN_DezTrenn]);
    return separator ? *separator : '.';
}

static bool ReadRecvInterval(HWND dialog, GpibModuleParams* p, unsigned c)
{
    const GpibField& f = GPIB_FIELDS[GF_REQUEST_INTERVAL];
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, f.controlId, field, sizeof field);
    double seconds;
    if (!CheckDecimalText(field, f.min, f.max, HostDecimalSeparator(), &seconds)) {
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, f.warning);
        return false;
    }
    StoreGpibFieldNumber(p, f, static_cast<int>(c), seconds);
    // Advice only: requests faster than the host samples are kept as entered.
    if (seconds * 1000.0 < fGlobalMilliSecondsPerSample)
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, WARN_INTERVAL_FAST);
    return true;
}

static bool ReadBackRecv(HWND dialog, GpibModuleParams* p, unsigned c)
{
    for (GpibFieldId id : RECV_NUMBER_FIELDS)
        if (!ReadBackNumberField(dialog, id, WARN_TITLE_RECV, p, c)) return false;

    const GpibField& mask = GPIB_FIELDS[GF_MASK_TEXT];
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, mask.controlId, field, sizeof field);
    if (!CheckHexText(field)) {
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, mask.warning);
        return false;
    }
    StoreGpibFieldText(p, mask, static_cast<int>(c), field, strlen(field));

    return ReadRecvBuffer(dialog, p, c) && ReadRecvInterval(dialog, p, c);
}

static const int RECV_DISABLED[] = {
    IDC_RECV_HEADER, IDC_RECV_BLOCKLEN, IDC_RECV_INV_HEAD, IDC_RECV_INV_TAIL, IDC_RECV_MASK,
    IDC_DATA_ASCII, IDC_DATA_INT16, IDC_DATA_UINT16, IDC_DATA_INT32, IDC_DATA_UINT32,
    IDC_DATA_FLOAT32, IDC_DATA_FLOAT64, IDC_TERM_CRLF, IDC_TERM_CR, IDC_TERM_LF, IDC_TERM_EOI,
    IDC_RECV_STOP_TIMEOUT, IDC_RECV_BUFFER, IDC_RECV_INTERVAL,
};
static const EditLimit RECV_LIMITS[] = {
    {IDC_RECV_HEADER, 5}, {IDC_RECV_BLOCKLEN, 5}, {IDC_RECV_INV_HEAD, 5}, {IDC_RECV_INV_TAIL, 5},
    {IDC_RECV_MASK, 16},
};
static const SubDialog RECV_DIALOG = {
    DLG_RECV, FillRecv, RECV_DISABLED, COUNT_OF(RECV_DISABLED),
    RECV_LIMITS, COUNT_OF(RECV_LIMITS), IDC_RECV_HEADER, RecvClick, ReadBackRecv,
};


void OpenRecvSettings(HWND owner)
{
    OpenSubDialog(RECV_DIALOG, owner);
}

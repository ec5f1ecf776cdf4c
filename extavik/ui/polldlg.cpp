// "SPOLL" and "PPOLL": the serial-poll and parallel-poll settings of channel c.
#include <string.h>

#include "extavik/data/gpibfields.h"
#include "extavik/ui/subdialog.h"

// ---- "SPOLL" ----

static void FillSPoll(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    SetDlgItemUnsigned(dialog, IDC_SPOLL_READY, static_cast<uint32_t>(p->spollReadyBit[c]));
    SetDlgItemUnsigned(dialog, IDC_SPOLL_ERROR, static_cast<uint32_t>(p->spollErrorBit[c]));
    CheckDlgButton(dialog, IDC_SPOLL_STOP, p->spollStopOnError[c] ? BST_CHECKED : BST_UNCHECKED);
    char text[GPIB_SPOLL_TEXT_SIZE + 1];
    memcpy(text, p->spollErrorText[c], GPIB_SPOLL_TEXT_SIZE);
    text[GPIB_SPOLL_TEXT_SIZE] = '\0';
    SetDlgItemTextA(dialog, IDC_SPOLL_TEXT, text);
}

static bool SPollClick(GpibModuleParams* p, unsigned c, int id)
{
    return id == IDC_SPOLL_STOP ? ToggleFlag(&p->spollStopOnError[c]) : false;
}

static bool ReadBackSPoll(HWND dialog, GpibModuleParams* p, unsigned c)
{
    if (!ReadBackNumberField(dialog, GF_SPOLL_READY_BIT, WARN_TITLE_SPOLL, p, c)) return false;
    if (!ReadBackNumberField(dialog, GF_SPOLL_ERROR_BIT, WARN_TITLE_SPOLL, p, c)) return false;
    GetDlgItemTextA(dialog, GPIB_FIELDS[GF_SPOLL_ERROR_TEXT].controlId, p->spollErrorText[c],
                    TextRoom(GF_SPOLL_ERROR_TEXT));
    return true;
}

static const int SPOLL_DISABLED[] = {IDC_SPOLL_READY, IDC_SPOLL_ERROR, IDC_SPOLL_TEXT, IDC_SPOLL_STOP};
static const EditLimit SPOLL_LIMITS[] = {{IDC_SPOLL_READY, 1}, {IDC_SPOLL_ERROR, 1}, {IDC_SPOLL_TEXT, 256}};
static const SubDialog SPOLL_DIALOG = {
    DLG_SPOLL, FillSPoll, SPOLL_DISABLED, COUNT_OF(SPOLL_DISABLED),
    SPOLL_LIMITS, COUNT_OF(SPOLL_LIMITS), IDC_SPOLL_READY, SPollClick, ReadBackSPoll,
};

// ---- "PPOLL" ----

static void FillPPoll(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    SetDlgItemUnsigned(dialog, IDC_PPOLL_LINE, static_cast<uint16_t>(p->ppollLine[c]));
    CheckRadioButton(dialog, IDC_PPOLL_SENSE1, IDC_PPOLL_SENSE0, p->ppollSense[c]);
}

static bool PPollClick(GpibModuleParams* p, unsigned c, int id)
{
    if (id != IDC_PPOLL_SENSE1 && id != IDC_PPOLL_SENSE0) return false;
    p->ppollSense[c] = static_cast<int16_t>(id);
    return true;
}

// The line and sense reach the bus tables at the main dialog's next read back.
static bool ReadBackPPoll(HWND dialog, GpibModuleParams* p, unsigned c)
{
    return ReadBackNumberField(dialog, GF_PPOLL_LINE, WARN_TITLE_PPOLL, p, c);
}

static const int PPOLL_DISABLED[] = {IDC_PPOLL_LINE, IDC_PPOLL_SENSE1, IDC_PPOLL_SENSE0};
static const EditLimit PPOLL_LIMITS[] = {{IDC_PPOLL_LINE, 1}};
static const SubDialog PPOLL_DIALOG = {
    DLG_PPOLL, FillPPoll, PPOLL_DISABLED, COUNT_OF(PPOLL_DISABLED),
    PPOLL_LIMITS, COUNT_OF(PPOLL_LIMITS), IDC_PPOLL_LINE, PPollClick, ReadBackPPoll,
};

void OpenSPollSettings(HWND owner)
{
    OpenSubDialog(SPOLL_DIALOG, owner);
}

void OpenPPollSettings(HWND owner)
{
    OpenSubDialog(PPOLL_DIALOG, owner);
}

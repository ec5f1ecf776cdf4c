// Receive, poll and own-address dialogs, and the pieces the settings dialogs share.
#include "extavik/ui/gpibdlog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "extavik/ui/controls.h"
#include "extavik/data/fieldcheck.h"
#include "extavik/data/gpibfields.h"
#include "extavik/module/gpibbus.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/resources/resource.h"

GpibModuleParams* pWorkParams;
int32_t uiLastFocusId;

const char* const RECV_BUFFER_CHOICES[11] = {
    "    4 Kbyte", "    8 Kbyte", "   16 Kbyte", "   32 Kbyte", "   64 Kbyte", "  128 Kbyte",
    "  256 Kbyte", "  512 Kbyte", " 1024 Kbyte", " 8192 Kbyte", "16384 Kbyte",
};
const char* const RECV_INTERVAL_CHOICES[9] = {
    " 0.050", " 0.100", " 0.500", " 1.000", " 2.000", " 5.000", "10.000", "30.000", "60.000",
};

#define COUNT_OF(a) static_cast<int>(sizeof(a) / sizeof((a)[0]))

// ---- shared helpers ----

ModuleRecord* CurrentModule()
{
    ModuleRecord** current = reinterpret_cast<ModuleRecord**>(g_hostValues[HN_CurrentModulePtr_ADDR]);
    return current ? *current : nullptr;
}

unsigned CurrentChannelIndex()
{
    return uiCurrentChannel < GPIB_CHANNELS ? uiCurrentChannel : 0;
}

GpibModuleParams* AllocWorkCopy(const GpibModuleParams* from, const char* unit, int line)
{
    if (!from) return nullptr;
    GpibModuleParams* copy = static_cast<GpibModuleParams*>(
        HOST_CALL(NewMemAlloc)(sizeof(GpibModuleParams), unit, line));
    if (copy) memcpy(copy, from, sizeof(GpibModuleParams));
    return copy;
}

void FreeWorkCopy(GpibModuleParams** copy, const char* unit, int line)
{
    if (*copy) HOST_CALL(NewDoMemFree)(*copy, unit, line);
    *copy = nullptr;
}

void SetDlgItemSigned(HWND dialog, int id, int32_t value)
{
    SetDlgItemInt(dialog, id, static_cast<UINT>(value), TRUE);
}

void SetDlgItemUnsigned(HWND dialog, int id, uint32_t value)
{
    SetDlgItemInt(dialog, id, value, FALSE);
}

int ReadCheckedInteger(HWND dialog, int id, int32_t min, int32_t max, const char* title,
                       const char* text, int32_t* value)
{
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, id, field, sizeof field);
    if (CheckIntegerText(field, min, max, value)) return 1;
    HOST_CALL(ShowWarning)(title, text);
    return 0;
}

// Reads the field's control, checks it against the range the table gives the dialogs and stores
// it into channel c of p; shows the field's warning under title when it is refused.
static int ReadBackNumberField(HWND dialog, GpibFieldId id, const char* title, GpibModuleParams* p, unsigned c)
{
    const GpibField& f = GPIB_FIELDS[id];
    int32_t value;
    if (!ReadCheckedInteger(dialog, f.controlId, static_cast<int32_t>(f.min), static_cast<int32_t>(f.max),
                            title, f.warning, &value))
        return 0;
    StoreGpibFieldNumber(p, f, static_cast<int>(c), value);
    return 1;
}

// The room a text field's control is read with: its longest text and the ending zero.
static int TextRoom(GpibFieldId id)
{
    return static_cast<int>(GPIB_FIELDS[id].max) + 1;
}

void SetEditLimits(HWND dialog, const EditLimit* limits, int count)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, limits[i].id, EM_LIMITTEXT, limits[i].limit, 0);
}

void EnableControls(HWND dialog, const int* ids, int count, BOOL enable)
{
    for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(dialog, ids[i]), enable);
}

void SetDlgItemField(HWND dialog, int id, const char* field, size_t fieldSize)
{
    char text[GPIB_COMMAND_TEXT_SIZE + 1];
    size_t length = strnlen(field, fieldSize < sizeof text - 1 ? fieldSize : sizeof text - 1);
    memcpy(text, field, length);
    text[length] = '\0';
    SetDlgItemTextA(dialog, id, text);
}

// ---- the part both module settings dialogs share ----

void FillSettingsChannel(HWND dialog, const SettingsDialogKind& kind, unsigned c)
{
    GpibModuleParams* p = pWorkParams;
    if (!p || c >= GPIB_CHANNELS) return;
    TakeSharedSettings(p);
    SetDlgItemSigned(dialog, IDC_CURRENT_CHANNEL, static_cast<int32_t>(c));
    SetDlgItemField(dialog, IDC_CHANNEL_NAME, p->channelName[c], GPIB_CHANNEL_NAME_SIZE);
    SetDlgItemSigned(dialog, IDC_PRIMARY, p->addr[c].primaryAddress);
    SetDlgItemSigned(dialog, IDC_SECONDARY, p->addr[c].secondaryAddress);
    SetDlgItemSigned(dialog, IDC_TIMEOUT, p->busTimeout);
    kind.fillSpecific(dialog, p, c);
}

// Fields after a failing one keep their stored values and nothing is published.
int ReadBackSettingsChannel(HWND dialog, const SettingsDialogKind& kind, unsigned c)
{
    GpibModuleParams* p = pWorkParams;
    if (!p || c >= GPIB_CHANNELS) return 0;
    GetDlgItemTextA(dialog, GPIB_FIELDS[GF_CHANNEL_NAME].controlId, p->channelName[c], TextRoom(GF_CHANNEL_NAME));
    if (!ReadBackNumberField(dialog, GF_PRIMARY_ADDRESS, WARN_TITLE_GPIB, p, c)) return 0;

    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, GPIB_FIELDS[GF_SECONDARY_ADDRESS].controlId, field, sizeof field);
    p->addr[c].secondaryAddress = static_cast<int16_t>(strtol(field, nullptr, 10));

    if (!ReadBackNumberField(dialog, GF_BUS_TIMEOUT, WARN_TITLE_GPIB, p, c)) return 0;

    memset(p->commandText[c], 0, GPIB_COMMAND_TEXT_SIZE);
    GetDlgItemTextA(dialog, kind.commandId, p->commandText[c], TextRoom(GF_COMMAND_TEXT));
    PublishSharedSettings(p);
    return 1;
}

static INT_PTR AfterChannelBarAction(HWND dialog)
{
    uiLastFocusId = IDC_CH_FIRST;
    SetFocus(GetDlgItem(dialog, IDC_MODULE_NAME));
    return TRUE;
}

// A failed read back does not stop the change: the warning has been shown.
INT_PTR SettingsChannelBarCommand(HWND dialog, const SettingsDialogKind& kind, int id)
{
    ReadBackSettingsChannel(dialog, kind, CurrentChannelIndex());
    if (id == IDC_CH_REMOVE) RemoveChannel(dialog);
    else AddChannel(dialog);
    if (kind.channelCountChanged && pWorkParams) kind.channelCountChanged(pWorkParams);
    FillSettingsChannel(dialog, kind, CurrentChannelIndex());
    return AfterChannelBarAction(dialog);
}

INT_PTR SettingsChannelButtonDown(HWND dialog, const SettingsDialogKind& kind, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(lParam) == CHANNEL_PRESENT) {
        ReadBackSettingsChannel(dialog, kind, CurrentChannelIndex());
        SelectChannel(dialog, reinterpret_cast<HWND>(wParam));
        FillSettingsChannel(dialog, kind, CurrentChannelIndex());
    }
    return AfterChannelBarAction(dialog);
}

static unsigned CopyTargets()
{
    return uiChannelCount < unsigned(GPIB_CHANNELS) ? uiChannelCount : unsigned(GPIB_CHANNELS);
}

INT_PTR SettingsCopyNameToAll(HWND dialog, const SettingsDialogKind& kind)
{
    unsigned c = CurrentChannelIndex();
    ReadBackSettingsChannel(dialog, kind, c);
    FillSettingsChannel(dialog, kind, c);
    if (!pWorkParams || uiLastFocusId != IDC_CHANNEL_NAME) return FALSE;
    for (unsigned i = 0; i < CopyTargets(); ++i)
        if (i != c) memcpy(pWorkParams->channelName[i], pWorkParams->channelName[c], GPIB_CHANNEL_NAME_SIZE);
    return FALSE;
}

INT_PTR SettingsCopyChannelToAll(HWND dialog, const SettingsDialogKind& kind)
{
    unsigned c = CurrentChannelIndex();
    ReadBackSettingsChannel(dialog, kind, c);
    FillSettingsChannel(dialog, kind, c);
    GpibModuleParams* p = pWorkParams;
    if (!p) return FALSE;
    for (unsigned i = 0; i < CopyTargets(); ++i) {
        if (i == c) continue;
        memcpy(p->channelName[i], p->channelName[c], GPIB_CHANNEL_NAME_SIZE);
        memcpy(p->commandText[i], p->commandText[c], GPIB_COMMAND_TEXT_SIZE);
        p->requestMode[i] = p->requestMode[c];
    }
    return FALSE;
}

void ShowModuleTexts(HWND dialog, const ModuleRecord* module)
{
    SetDlgItemField(dialog, IDC_MODULE_NAME, module->moduleName, sizeof module->moduleName);
    SetDlgItemField(dialog, IDC_MODULE_COMMENT, module->moduleComment, sizeof module->moduleComment);
}

void StoreModuleTexts(HWND dialog, ModuleRecord* module)
{
    GetDlgItemTextA(dialog, IDC_MODULE_NAME, module->moduleName, sizeof module->moduleName);
    GetDlgItemTextA(dialog, IDC_MODULE_COMMENT, module->moduleComment, sizeof module->moduleComment);
}

// ---- placement and font of the main settings dialogs ----

static POINT ReferencePoint()
{
    POINT centre;
    RECT rect;
    if (g_hHostWindow && IsWindow(g_hHostWindow)) {
        GetClientRect(g_hHostWindow, &rect);
        centre.x = rect.right / 2;
        centre.y = rect.bottom / 2;
        ClientToScreen(g_hHostWindow, &centre);
    } else {
        GetWindowRect(GetDesktopWindow(), &rect);
        centre.x = rect.left + (rect.right - rect.left) / 2;
        centre.y = rect.top + (rect.bottom - rect.top) / 2;
    }
    return centre;
}

static int ClampToScreen(int position, int size, int screen)
{
    if (position + size > screen) position = screen - size;
    return position < 0 ? 0 : position;
}

static void MakeDialogFont(HWND dialog)
{
    if (hDialogFont) return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    LOGFONTA logFont;
    if (!font || !GetObjectA(font, sizeof logFont, &logFont)) return;   // the next dialog tries again
    logFont.lfWeight = FW_NORMAL;
    hDialogFont = HOST_CALL(CreateStackedFontIndirect)(&logFont);
}

static int KeepsOwnFont(HWND child)
{
    static const char* const classes[] = {"EDIT", "LISTBOX", "COMBOBOX"};
    char name[32] = "";
    GetClassNameA(child, name, sizeof name);
    for (const char* keep : classes)
        if (lstrcmpiA(name, keep) == 0) return 1;
    return 0;
}

void PlaceSettingsDialog(HWND dialog)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    POINT centre = ReferencePoint();
    int x = ClampToScreen(centre.x - width / 2, width, GetSystemMetrics(SM_CXSCREEN));
    int y = ClampToScreen(centre.y - height / 2, height, GetSystemMetrics(SM_CYSCREEN));
    MoveWindow(dialog, x, y, width, height, FALSE);

    MakeDialogFont(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (!KeepsOwnFont(child))
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(hDialogFont), FALSE);
}

// ---- "RECV", "SPOLL", "PPOLL": the common frame ----

// One sub-dialog of the GPIB-IN settings dialog, editing channel c of its own working copy.
struct SubDialog {
    const char* templateName;
    GpibModuleParams** copy;
    void (*fill)(HWND dialog, const GpibModuleParams* p, unsigned c);
    const int* disabledWhileRunning;
    int disabledCount;
    const EditLimit* limits;
    int limitCount;
    int focusId;
    int (*click)(GpibModuleParams* p, unsigned c, int id);   // 1 when id was a click it stores
    int (*readBack)(HWND dialog, GpibModuleParams* p, unsigned c);
};

static INT_PTR SubDialogInit(HWND dialog, const SubDialog& d)
{
    *d.copy = AllocWorkCopy(pWorkParams, UNIT_GPIBDLOG, __LINE__);
    if (!*d.copy) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    d.fill(dialog, *d.copy, CurrentChannelIndex());
    if (bExperimentIsRunning) EnableControls(dialog, d.disabledWhileRunning, d.disabledCount, FALSE);
    SetEditLimits(dialog, d.limits, d.limitCount);
    SetFocus(GetDlgItem(dialog, d.focusId));
    uiLastFocusId = 0;
    return FALSE;
}

static INT_PTR SubDialogOk(HWND dialog, const SubDialog& d)
{
    if (!d.readBack(dialog, *d.copy, CurrentChannelIndex())) return FALSE;
    memcpy(pWorkParams, *d.copy, sizeof(GpibModuleParams));
    FreeWorkCopy(d.copy, UNIT_GPIBDLOG, __LINE__);
    // The module takes the channel count shown in the main dialog now, even if that is cancelled.
    if (ModuleRecord* module = CurrentModule())
        HOST_CALL(ChangeModuleSize)(module, 0, static_cast<int>(uiChannelCount));
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR SubDialogCancel(HWND dialog, const SubDialog& d)
{
    FreeWorkCopy(d.copy, UNIT_GPIBDLOG, __LINE__);
    EndDialog(dialog, 0);
    return TRUE;
}

static INT_PTR SubDialogCommand(HWND dialog, const SubDialog& d, WPARAM wParam)
{
    int id = static_cast<int>(wParam);   // only plain clicks: the notification code must be 0
    switch (id) {
    case IDC_OK: return SubDialogOk(dialog, d);
    case IDC_CANCEL: return SubDialogCancel(dialog, d);
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    }
    if (*d.copy && d.click(*d.copy, CurrentChannelIndex(), id)) return TRUE;
    return FALSE;
}

static INT_PTR SubDialogProc(const SubDialog& d, HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG: return SubDialogInit(dialog, d);
    case WM_COMMAND: return SubDialogCommand(dialog, d, wParam);
    }
    return FALSE;
}

static int Toggle(int32_t* flag)
{
    *flag = *flag == 0 ? 1 : 0;
    return 1;
}

// ---- "RECV" ----

static GpibModuleParams* pRecvParams;

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

static int RecvClick(GpibModuleParams* p, unsigned c, int id)
{
    if (id >= IDC_TERM_CRLF && id <= IDC_TERM_EOI) return p->terminator[c] = id, 1;
    if (id >= IDC_DATA_ASCII && id <= IDC_DATA_FLOAT64) return p->dataType[c] = id, 1;
    if (id == IDC_RECV_STOP_TIMEOUT) return Toggle(&p->stopOnTimeout[c]);
    return 0;
}

// The unsigned number fields of "RECV", checked in this order.
static const GpibFieldId RECV_NUMBER_FIELDS[] = {
    GF_HEADER_SIZE, GF_RECV_BLOCK_LENGTH, GF_INVALID_HEAD, GF_INVALID_TAIL,
};

static int ReadRecvBuffer(HWND dialog, GpibModuleParams* p, unsigned c)
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
        return 0;
    }
    StoreGpibFieldNumber(p, f, static_cast<int>(c), value);
    return 1;
}

static char HostDecimalSeparator()
{
    const char* separator = reinterpret_cast<const char*>(g_hostValues[HN_DezTrenn]);
    return separator ? *separator : '.';
}

static int ReadRecvInterval(HWND dialog, GpibModuleParams* p, unsigned c)
{
    const GpibField& f = GPIB_FIELDS[GF_REQUEST_INTERVAL];
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, f.controlId, field, sizeof field);
    double seconds;
    if (!CheckDecimalText(field, f.min, f.max, HostDecimalSeparator(), &seconds)) {
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, f.warning);
        return 0;
    }
    StoreGpibFieldNumber(p, f, static_cast<int>(c), seconds);
    // Advice only: requests faster than the host samples are kept as entered.
    if (seconds * 1000.0 < fGlobalMilliSecondsPerSample)
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, WARN_INTERVAL_FAST);
    return 1;
}

static int ReadBackRecv(HWND dialog, GpibModuleParams* p, unsigned c)
{
    for (GpibFieldId id : RECV_NUMBER_FIELDS)
        if (!ReadBackNumberField(dialog, id, WARN_TITLE_RECV, p, c)) return 0;

    const GpibField& mask = GPIB_FIELDS[GF_MASK_TEXT];
    char field[FIELD_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, mask.controlId, field, sizeof field);
    if (!CheckHexText(field)) {
        HOST_CALL(ShowWarning)(WARN_TITLE_RECV, mask.warning);
        return 0;
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
    DLG_RECV, &pRecvParams, FillRecv, RECV_DISABLED, COUNT_OF(RECV_DISABLED),
    RECV_LIMITS, COUNT_OF(RECV_LIMITS), IDC_RECV_HEADER, RecvClick, ReadBackRecv,
};

static INT_PTR CALLBACK RecvDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return SubDialogProc(RECV_DIALOG, dialog, message, wParam);
}

// ---- "SPOLL" ----

static GpibModuleParams* pSPollParams;

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

static int SPollClick(GpibModuleParams* p, unsigned c, int id)
{
    return id == IDC_SPOLL_STOP ? Toggle(&p->spollStopOnError[c]) : 0;
}

static int ReadBackSPoll(HWND dialog, GpibModuleParams* p, unsigned c)
{
    if (!ReadBackNumberField(dialog, GF_SPOLL_READY_BIT, WARN_TITLE_SPOLL, p, c)) return 0;
    if (!ReadBackNumberField(dialog, GF_SPOLL_ERROR_BIT, WARN_TITLE_SPOLL, p, c)) return 0;
    GetDlgItemTextA(dialog, GPIB_FIELDS[GF_SPOLL_ERROR_TEXT].controlId, p->spollErrorText[c],
                    TextRoom(GF_SPOLL_ERROR_TEXT));
    return 1;
}

static const int SPOLL_DISABLED[] = {IDC_SPOLL_READY, IDC_SPOLL_ERROR, IDC_SPOLL_TEXT, IDC_SPOLL_STOP};
static const EditLimit SPOLL_LIMITS[] = {{IDC_SPOLL_READY, 1}, {IDC_SPOLL_ERROR, 1}, {IDC_SPOLL_TEXT, 256}};
static const SubDialog SPOLL_DIALOG = {
    DLG_SPOLL, &pSPollParams, FillSPoll, SPOLL_DISABLED, COUNT_OF(SPOLL_DISABLED),
    SPOLL_LIMITS, COUNT_OF(SPOLL_LIMITS), IDC_SPOLL_READY, SPollClick, ReadBackSPoll,
};

static INT_PTR CALLBACK SPollDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return SubDialogProc(SPOLL_DIALOG, dialog, message, wParam);
}

// ---- "PPOLL" ----

static GpibModuleParams* pPPollParams;

static void FillPPoll(HWND dialog, const GpibModuleParams* p, unsigned c)
{
    SetDlgItemUnsigned(dialog, IDC_PPOLL_LINE, static_cast<uint16_t>(p->ppollLine[c]));
    CheckRadioButton(dialog, IDC_PPOLL_SENSE1, IDC_PPOLL_SENSE0, p->ppollSense[c]);
}

static int PPollClick(GpibModuleParams* p, unsigned c, int id)
{
    if (id != IDC_PPOLL_SENSE1 && id != IDC_PPOLL_SENSE0) return 0;
    p->ppollSense[c] = static_cast<int16_t>(id);
    return 1;
}

// The line and sense reach the bus tables at the main dialog's next read back.
static int ReadBackPPoll(HWND dialog, GpibModuleParams* p, unsigned c)
{
    return ReadBackNumberField(dialog, GF_PPOLL_LINE, WARN_TITLE_PPOLL, p, c);
}

static const int PPOLL_DISABLED[] = {IDC_PPOLL_LINE, IDC_PPOLL_SENSE1, IDC_PPOLL_SENSE0};
static const EditLimit PPOLL_LIMITS[] = {{IDC_PPOLL_LINE, 1}};
static const SubDialog PPOLL_DIALOG = {
    DLG_PPOLL, &pPPollParams, FillPPoll, PPOLL_DISABLED, COUNT_OF(PPOLL_DISABLED),
    PPOLL_LIMITS, COUNT_OF(PPOLL_LIMITS), IDC_PPOLL_LINE, PPollClick, ReadBackPPoll,
};

static INT_PTR CALLBACK PPollDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return SubDialogProc(PPOLL_DIALOG, dialog, message, wParam);
}

void OpenRecvSettings(HWND owner)
{
    DialogBoxParamA(g_hInstance, RECV_DIALOG.templateName, owner, RecvDlgProc, 0);
}

void OpenSPollSettings(HWND owner)
{
    DialogBoxParamA(g_hInstance, SPOLL_DIALOG.templateName, owner, SPollDlgProc, 0);
}

void OpenPPollSettings(HWND owner)
{
    DialogBoxParamA(g_hInstance, PPOLL_DIALOG.templateName, owner, PPollDlgProc, 0);
}

// ---- "SELECT" ----

static ModuleRecord* s_selectingModule;   // the module being created, when the host names none

static INT_PTR SelectInit(HWND dialog)
{
    SetDlgItemSigned(dialog, IDC_MY_ADDRESS, DEFAULT_MY_ADDRESS);   // always proposed, whatever the block holds
    uiLastFocusId = 0;
    return FALSE;
}

static INT_PTR SelectOk(HWND dialog)
{
    const GpibField& f = GPIB_FIELDS[GF_MY_ADDRESS];
    int32_t address;
    if (!ReadCheckedInteger(dialog, f.controlId, static_cast<int32_t>(f.min), static_cast<int32_t>(f.max),
                            WARN_TITLE_SELECT, f.warning, &address))
        return TRUE;
    ModuleRecord* module = CurrentModule();
    if (!module) module = s_selectingModule;
    if (module && module->params) StoreGpibFieldNumber(module->params, f, 0, address);
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR SelectCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_OK: return SelectOk(dialog);
    case IDC_CANCEL: EndDialog(dialog, 0); return TRUE;
    case IDC_HELP_BUTTON: ShowVersionBox(dialog); return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK SelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return SelectInit(dialog);
    case WM_COMMAND: return SelectCommand(dialog, wParam);
    }
    return FALSE;
}

int SelectOwnAddress(ModuleRecord* module)
{
    s_selectingModule = module;
    INT_PTR result = DialogBoxParamA(g_hInstance, DLG_SELECT,
                                     module ? static_cast<HWND>(module->ownerWindow) : nullptr,
                                     SelectDlgProc, 0);
    s_selectingModule = nullptr;
    return result == 1;
}

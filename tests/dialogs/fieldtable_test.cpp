// The field table's ranges are what each of its readers does: the settings dialogs refuse one past
// the limit with the field's warning and store the limit, the worksheet loader does the same, and
// the start takes the dialog's limit except where it differs on purpose (primary address 31).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "extavik/texts/dlgtexts.h"
#include "extavik/data/gpibfields.h"
#include "extavik/ui/resources/resource.h"
#include "host/runner/worksheet.h"
#include "tests/dialogs/dialogtest.h"

namespace {

using dd::Command;
using dd::Nested;
using dd::SetText;

// Where the number fields that a dialog checks are typed, and the title they warn under.
struct Route {
    GpibFieldId id;
    int button;            // 0: the main settings dialog
    const char* title;     // of the sub-dialog
    const char* warnTitle;
};

const Route ROUTES[] = {
    {GF_PRIMARY_ADDRESS, 0, nullptr, WARN_TITLE_GPIB},
    {GF_BUS_TIMEOUT, 0, nullptr, WARN_TITLE_GPIB},
    {GF_HEADER_SIZE, IDC_RECV_SETTINGS, TITLE_RECV, WARN_TITLE_RECV},
    {GF_RECV_BLOCK_LENGTH, IDC_RECV_SETTINGS, TITLE_RECV, WARN_TITLE_RECV},
    {GF_INVALID_HEAD, IDC_RECV_SETTINGS, TITLE_RECV, WARN_TITLE_RECV},
    {GF_INVALID_TAIL, IDC_RECV_SETTINGS, TITLE_RECV, WARN_TITLE_RECV},
    {GF_RECV_BUFFER_KB, IDC_RECV_SETTINGS, TITLE_RECV, WARN_TITLE_RECV},
    {GF_REQUEST_INTERVAL, IDC_RECV_SETTINGS, TITLE_RECV, WARN_TITLE_RECV},
    {GF_SPOLL_READY_BIT, IDC_SPOLL_SETTINGS, TITLE_SPOLL, WARN_TITLE_SPOLL},
    {GF_SPOLL_ERROR_BIT, IDC_SPOLL_SETTINGS, TITLE_SPOLL, WARN_TITLE_SPOLL},
    {GF_PPOLL_LINE, IDC_PPOLL_SETTINGS, TITLE_PPOLL, WARN_TITLE_PPOLL},
};

std::string Number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

// A GPIB-IN worksheet whose module (or its channel) sets the field to value.
std::string SheetWith(const GpibField& f, double value)
{
    std::string field = "\"" + std::string(f.name) + "\": " + Number(value);
    std::string module = f.stride ? "\"channels\": [{" + field + "}]" : field;
    return "{\"modules\": [{\"name\": \"M\", \"type\": \"GPIB-IN\", " + module + "}]}";
}

class FieldTable : public DialogTest {};

TEST_F(FieldTable, DialogsWorksheetAndStartKeepTheTableRanges)
{
    for (const Route& r : ROUTES) {
        const GpibField& f = GPIB_FIELDS[r.id];
        SCOPED_TRACE(f.name);
        ASSERT_NE(nullptr, f.warning);

        // The dialog refuses one past the limit with the field's warning, then stores the limit.
        ModuleRecord* m = Create(false, 12);
        bool open = false;
        std::vector<dd::Action> typing = {SetText(f.controlId, Number(f.max + 1)), Command(IDC_OK),
                                          StillOpen(&open), SetText(f.controlId, Number(f.max)),
                                          Command(IDC_OK)};
        if (r.button) Settings(m, {Nested(r.button, r.title, typing), Command(IDC_OK)});
        else Settings(m, typing);
        EXPECT_TRUE(open);
        EXPECT_TRUE(Warned(r.warnTitle, f.warning)) << standin::WarningsAsUtf8();
        EXPECT_EQ(f.max, GpibFieldNumber(standin::Params(m), f, 0));

        // The worksheet takes the same range.
        Worksheet sheet;
        std::string error;
        EXPECT_TRUE(ParseWorksheetText(SheetWith(f, f.max), "t.json", sheet, error)) << error;
        EXPECT_TRUE(ParseWorksheetText(SheetWith(f, f.min), "t.json", sheet, error)) << error;
        EXPECT_FALSE(ParseWorksheetText(SheetWith(f, f.max + 1), "t.json", sheet, error));
        EXPECT_FALSE(ParseWorksheetText(SheetWith(f, f.min - 1), "t.json", sheet, error));

        // The start takes what the dialog stored, but for the one deliberate difference.
        standin::ClearRecords();
        const int started = standin::SendToModule(m, MM_START);
        EXPECT_EQ(r.id == GF_PRIMARY_ADDRESS ? 0 : 1, started) << standin::WarningsAsUtf8();
        standin::SendToModule(m, MM_STOP);
        standin::RemoveModule(m);
        standin::ClearRecords();
    }
}

}  // namespace

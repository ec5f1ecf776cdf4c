// Loading EXTAVIK.dll into the stand-in host: host binding, defined variables, the maker's menu,
// the module classes and the button window classes, and the clean-up at finish.
#include <string.h>
#include "extavik/host/entry.h"
#include "extavik/ui/controls.h"
#include "extavik/ui/resources/resource.h"
#include "tests/support/pluginfixture.h"

using testsupport::DEFAULT_BOARD;
using testsupport::NO_BOARD;
using testsupport::PluginTest;

namespace {

const char* const DEFINED_ORDER[] = {
    "fGlobalMilliSecondsPerSample", "uiGlobalBlockSize", "bAnimation", "bExperimentIsRunning",
    "bExperimentIsPaused", "dwExperimentStartTimeTicks", "BBoxModul",
};
const int DEFINED_SIZES[] = {8, 4, 4, 4, 4, 4, 4};

size_t CountLookups(unsigned kind)
{
    size_t n = 0;
    for (const standin::LookupRecord& r : standin::Lookups()) n += r.kind == kind;
    return n;
}

std::string MenuText(HMENU menu, UINT position)
{
    char text[64] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

bool ClassRegistered(const char* name)
{
    WNDCLASSA wc;
    return GetClassInfoA(standin::PluginModule(), name, &wc) != 0;
}

class EntryTest : public PluginTest {};

// ---- hosts that lack a name or refuse a definition ----

struct HostVariant {
    const char* what;
    const char* zeroName;          // answered 0
    const char* refusedVariable;   // DefineDllVariable answers 0
    bool refuseModule;
    int expectedResult;
    size_t variableLookups;
    size_t serviceLookups;
    size_t variablesDefined;
    bool menuInserted;
};

const HostVariant HOST_VARIANTS[] = {
    {"complete host", nullptr, nullptr, false, 1, 60, 102, 7, true},
    {"no &nWindowOrder", "&nWindowOrder", nullptr, false, 0, 60, 0, 0, false},
    {"no hInstVrel", "hInstVrel", nullptr, false, 0, 1, 0, 0, false},
    {"no wDateFormat (optional)", "wDateFormat", nullptr, false, 1, 60, 102, 7, true},
    {"no bDecLeadingZero (optional)", "bDecLeadingZero", nullptr, false, 1, 60, 102, 7, true},
    {"no NewMemAlloc", "NewMemAlloc", nullptr, false, 0, 60, 1, 0, false},
    {"no TimeBaseDialog", "TimeBaseDialog", nullptr, false, 0, 60, 102, 0, false},
    {"DefineDllModule refused", nullptr, nullptr, true, 0, 60, 102, 0, false},
    {"bExperimentIsPaused refused", nullptr, "bExperimentIsPaused", false, 0, 60, 102, 4, false},
    {"BBoxModul refused", nullptr, "BBoxModul", false, 0, 60, 102, 6, false},
};

TEST_F(EntryTest, HostVariants)
{
    for (const HostVariant& v : HOST_VARIANTS) {
        SCOPED_TRACE(v.what);
        Load(NO_BOARD, [&] {
            if (v.zeroName) standin::AnswerZeroFor(v.zeroName);
            if (v.refusedVariable) standin::RefuseVariable(v.refusedVariable);
            standin::RefuseDefineDllModule(v.refuseModule);
        });
        EXPECT_EQ(setupResult, v.expectedResult);
        EXPECT_EQ(CountLookups(HOST_LOOKUP_VARIABLE), v.variableLookups);
        EXPECT_EQ(CountLookups(HOST_LOOKUP_SERVICE), v.serviceLookups);
        ASSERT_EQ(standin::DefinedVariables().size(), v.variablesDefined);
        for (size_t i = 0; i < v.variablesDefined; i++) {
            EXPECT_EQ(standin::DefinedVariables()[i].name, DEFINED_ORDER[i]);
            EXPECT_EQ(standin::DefinedVariables()[i].size, DEFINED_SIZES[i]);
        }
        EXPECT_EQ(GetMenuItemCount(standin::MainMenu()), v.menuInserted ? 6 : 5);
        EXPECT_EQ(standin::MenuEntries().size(), v.menuInserted ? 1u : 0u);
        EXPECT_EQ(ClassRegistered(CLASS_CHANNEL_BUTTON), v.menuInserted);
        Unload();
    }
}

TEST_F(EntryTest, NamesAreSentAsListedInOrder)
{
    Load(NO_BOARD);
    ASSERT_EQ(setupResult, 1);
    const std::vector<standin::LookupRecord>& lookups = standin::Lookups();
    ASSERT_EQ(lookups.size(), (size_t)HOST_NAME_COUNT);
    for (int i = 0; i < HOST_NAME_COUNT; i++) {
        EXPECT_EQ(lookups[i].name, HOST_NAMES[i].name) << i;
        EXPECT_EQ(lookups[i].kind, HOST_NAMES[i].kind) << i;
        EXPECT_NE(lookups[i].answer, 0u) << lookups[i].name;
    }
    // Spellings that are easy to get wrong.
    EXPECT_EQ(lookups[HN_CurrentModulePtr_ADDR].name, "&CurrentModulePtr");
    EXPECT_EQ(lookups[HN_GlobalFlowChartInfo_Author].name, "GlobalFlowChartInfo.Author");
    EXPECT_EQ(lookups[59].name, "&nWindowOrder");
    EXPECT_EQ(lookups[60].name, "NewMemAlloc");
    EXPECT_EQ(lookups[161].name, "TimeBaseDialog");
}

TEST_F(EntryTest, DefinedVariablesFollowTheHost)
{
    Load(NO_BOARD);
    ASSERT_EQ(setupResult, 1);
    standin::SetSamplePeriodMs(2.5);
    standin::SetBlockSize(17);
    standin::SetPaused(1);
    for (const standin::DefinedVariable& v : standin::DefinedVariables()) {
        if (v.name == "fGlobalMilliSecondsPerSample") { EXPECT_EQ(*static_cast<double*>(v.address), 2.5); }
        if (v.name == "uiGlobalBlockSize") { EXPECT_EQ(*static_cast<uint32_t*>(v.address), 17u); }
        if (v.name == "bExperimentIsPaused") { EXPECT_EQ(*static_cast<int32_t*>(v.address), 1); }
    }
    EXPECT_TRUE(standin::HostErrors().empty());
}

// ---- the maker's menu ----

TEST_F(EntryTest, PopupIsInsertedAtPositionThree)
{
    Load(NO_BOARD);
    ASSERT_EQ(setupResult, 1);
    HMENU bar = standin::MainMenu();
    ASSERT_EQ(GetMenuItemCount(bar), 6);
    EXPECT_EQ(MenuText(bar, 2), "&Worksheet");
    EXPECT_EQ(MenuText(bar, KORVA_MENU_POSITION), KORVA_MENU_LABEL);
    EXPECT_EQ(MenuText(bar, 4), "&Run");
    HMENU popup = GetSubMenu(bar, KORVA_MENU_POSITION);
    ASSERT_NE(popup, nullptr);
    struct Item { UINT id; const char* text; };
    const Item items[] = {{IDM_GPIB_IN, "Tavik入力"}, {IDM_GPIB_OUT, "Tavik出力"}};
    ASSERT_EQ(GetMenuItemCount(popup), 2);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(GetMenuItemID(popup, i), items[i].id);
        EXPECT_EQ(MenuText(popup, i), items[i].text);
    }
}

TEST_F(EntryTest, SetupMenuHandlerShowsItsBox)
{
    Load(NO_BOARD);
    ASSERT_EQ(setupResult, 1);
    ASSERT_EQ(standin::MenuEntries().size(), 1u);
    EXPECT_EQ(standin::MenuEntries()[0].commandId, IDM_SETUP);
    std::string text;
    HWND owner = reinterpret_cast<HWND>(1);
    dialogdriver::Queue(SETUP_BOX_CAPTION, {
        dialogdriver::Call([&](HWND box) { text = dialogdriver::DialogText(box); owner = GetWindow(box, GW_OWNER); }),
        dialogdriver::Command(IDOK),
    });
    EXPECT_EQ(standin::InvokeMenuEntry(IDM_SETUP), IDOK);
    EXPECT_EQ(text, SETUP_BOX_TEXT);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(dialogdriver::PendingSteps(), 0u);
}

// ---- module classes ----

TEST_F(EntryTest, WithoutBoardNoClassIsRegistered)
{
    Load(NO_BOARD);
    EXPECT_EQ(setupResult, 1);
    EXPECT_TRUE(standin::ModuleClasses().empty());
    EXPECT_EQ(MenuText(standin::MainMenu(), KORVA_MENU_POSITION), KORVA_MENU_LABEL);
    EXPECT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
    EXPECT_TRUE(ClassRegistered(CLASS_CHANNEL_BUTTON));
    EXPECT_TRUE(ClassRegistered(CLASS_LESSMORE_BUTTON));
}

struct ExpectedClass {
    const char* className;
    int commandId;
    const char* displayName;
    const char* longName;
};
const ExpectedClass EXPECTED_CLASSES[] = {
    {CLASS_GPIB_IN, 2950, "GPIB-IN", "Tavik Input"},
    {CLASS_GPIB_OUT, 2951, "GPIB-OUT", "Tavik Output"},
};

void ExpectBitmapSize(void* handle, int width, int height)
{
    BITMAP bm = {};
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(GetObjectA(static_cast<HBITMAP>(handle), sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, width);
    EXPECT_EQ(bm.bmHeight, height);
}

TEST_F(EntryTest, WithBoardBothClassesRegister)
{
    Load(DEFAULT_BOARD);
    ASSERT_EQ(setupResult, 1);
    ASSERT_EQ(standin::ModuleClasses().size(), 2u) << standin::WarningsAsUtf8();
    static const uint8_t zeros[120] = {};
    for (int i = 0; i < 2; i++) {
        const standin::ModuleClass& c = standin::ModuleClasses()[i];
        const ExpectedClass& e = EXPECTED_CLASSES[i];
        SCOPED_TRACE(e.className);
        EXPECT_EQ(c.className, e.className);
        EXPECT_EQ(c.displayName, e.displayName);
        EXPECT_EQ(c.longName, e.longName);
        EXPECT_LE(c.displayName.size(), (size_t)DISPLAY_NAME_SIZE - 1);
        EXPECT_LE(c.longName.size(), (size_t)LONG_NAME_SIZE - 1);
        EXPECT_EQ(c.record.instance, standin::PluginModule());
        EXPECT_EQ(c.record.paramsSize, 18730);
#if defined(__i386__)  // the run-time records' sizes are those of the 32-bit product
        EXPECT_EQ(c.record.runtimeSize, 810);
        EXPECT_EQ(c.record.channelStateSize, 650);
#endif
        EXPECT_EQ(c.record.commandId, e.commandId);
        for (int r = 0; r < 3; r++) EXPECT_EQ(c.record.reserved32[r], 0);
        EXPECT_EQ(memcmp(c.record.reserved60, zeros, sizeof zeros), 0);
        ExpectBitmapSize(c.record.iconBitmap, 26, 24);
        ExpectBitmapSize(c.record.symbolBitmap, 64, 48);
        EXPECT_NE(c.record.moduleProc, nullptr);
        EXPECT_NE(c.record.processProc, nullptr);
    }
    EXPECT_NE(standin::ModuleClasses()[0].record.moduleProc, standin::ModuleClasses()[1].record.moduleProc);
    EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
}

TEST_F(EntryTest, ResourcesHoldTheTexts)
{
    Load(NO_BOARD);
    struct Text { UINT id; const char* text; };
    const Text texts[] = {
        {IDS_GPIB_IN, "GPIB-IN"}, {IDS_GPIB_OUT, "GPIB-OUT"}, {IDS_HELP_FILE, "EXTAVIK.HLP"},
        {IDS_ACTION_OUT, "出力ｺﾏﾝﾄﾞ実行"}, {IDS_ACTION_IN, "ﾃﾞ-ﾀﾘｸｴｽﾄｺﾏﾝﾄﾞ実行"},
        {IDS_LONG_IN, "Tavik Input"}, {IDS_LONG_OUT, "Tavik Output"},
    };
    for (const Text& t : texts) {
        char buffer[64] = {};
        LoadStringA(standin::PluginModule(), t.id, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer), t.text) << t.id << " " << standin::ToUtf8(buffer);
    }
    HBITMAP unused = LoadBitmapA(standin::PluginModule(), BITMAP_BUS_SYMBOL);
    ExpectBitmapSize(unused, 64, 48);
    DeleteObject(unused);
}

// ---- finish ----

TEST_F(EntryTest, FinishBeforeAnyDialogReleasesNoFont)
{
    Load(NO_BOARD);
    ASSERT_EQ(setupResult, 1);
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(standin::DeletedObjects().empty());
    EXPECT_FALSE(ClassRegistered(CLASS_CHANNEL_BUTTON));
    EXPECT_FALSE(ClassRegistered(CLASS_LESSMORE_BUTTON));
    EXPECT_EQ(standin::CallWEP(), 1);
}

TEST_F(EntryTest, ButtonClassesAsTheBarNeedsThem)
{
    Load(NO_BOARD);
    ASSERT_EQ(setupResult, 1);
    struct Expected { const char* name; UINT style; };
    const Expected classes[] = {{CLASS_CHANNEL_BUTTON, CS_DBLCLKS}, {CLASS_LESSMORE_BUTTON, 0}};
    for (const Expected& e : classes) {
        WNDCLASSA wc = {};
        ASSERT_TRUE(GetClassInfoA(standin::PluginModule(), e.name, &wc)) << e.name;
        EXPECT_EQ(wc.style, e.style) << e.name;
        EXPECT_EQ(wc.cbWndExtra, 2) << e.name;
        EXPECT_EQ(wc.cbClsExtra, 0) << e.name;
        EXPECT_EQ(wc.hbrBackground, GetStockObject(DKGRAY_BRUSH)) << e.name;
    }
}

}  // namespace

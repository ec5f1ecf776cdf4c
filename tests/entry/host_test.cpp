// Self-tests of the stand-in host where a fault would hide the plug-in's own faults: the heap's
// error detection, the tick counter patch and the dialog driver's safety net.
#include <string.h>
#include "host/dialogdriver.h"
#include "host/standin_host.h"
#include <gtest/gtest.h>

namespace {

template <typename Fn> Fn Service(const char* name)
{
    return reinterpret_cast<Fn>(standin::AnswerFor(HOST_LOOKUP_SERVICE, name));
}

class HostTest : public ::testing::Test {
protected:
    NewMemAllocFn alloc = nullptr;
    NewDoMemFreeFn release = nullptr;
    void SetUp() override
    {
        ASSERT_TRUE(standin::Start());
        alloc = Service<NewMemAllocFn>("NewMemAlloc");
        release = Service<NewDoMemFreeFn>("NewDoMemFree");
        ASSERT_TRUE(alloc && release);
    }
    void TearDown() override { standin::Shutdown(); }
};

bool AnyErrorContains(const char* what)
{
    for (const std::string& e : standin::HeapErrors())
        if (e.find(what) != std::string::npos) return true;
    return false;
}

struct HeapMisuse {
    const char* what;
    std::function<void(NewMemAllocFn, NewDoMemFreeFn)> misuse;
    const char* expectedError;
};

TEST_F(HostTest, HeapMisuseIsRecorded)
{
    static int notFromTheHeap;
    const HeapMisuse cases[] = {
        {"write behind the end", [](NewMemAllocFn a, NewDoMemFreeFn f) {
             char* p = static_cast<char*>(a(10, "unit", 1));
             p[10] = 1;
             f(p, "unit", 2);
         }, "guard bytes damaged"},
        {"write before the start", [](NewMemAllocFn a, NewDoMemFreeFn f) {
             char* p = static_cast<char*>(a(10, "unit", 1));
             p[-1] = 1;
             f(p, "unit", 2);
         }, "guard bytes damaged"},
        {"double free", [](NewMemAllocFn a, NewDoMemFreeFn f) {
             void* p = a(10, "unit", 1);
             f(p, "unit", 2);
             f(p, "unit", 3);
         }, "double free"},
        {"foreign pointer", [](NewMemAllocFn, NewDoMemFreeFn f) { f(&notFromTheHeap, "unit", 4); },
         "foreign pointer"},
        {"leak", [](NewMemAllocFn a, NewDoMemFreeFn) {
             a(33, "leaky", 77);
             standin::ReportLeaks();
         }, "leaky:77"},
    };
    for (const HeapMisuse& c : cases) {
        SCOPED_TRACE(c.what);
        standin::ClearHeapErrors();
        c.misuse(alloc, release);
        EXPECT_TRUE(AnyErrorContains(c.expectedError)) << (standin::HeapErrors().empty() ? "" : standin::HeapErrors()[0]);
        standin::FreeAllBlocks();
    }
}

TEST_F(HostTest, CheckHeapFindsDamageWithoutAFree)
{
    char* p = static_cast<char*>(alloc(8, "unit", 1));
    EXPECT_EQ(standin::CheckHeap(), 0);
    memset(p, 0, 9);
    EXPECT_EQ(standin::CheckHeap(), 1);
    ASSERT_EQ(standin::LiveBlocks().size(), 1u);
    EXPECT_EQ(standin::LiveBlocks()[0].file, "unit");
    EXPECT_EQ(standin::LiveBlocks()[0].size, 8u);
}

TEST_F(HostTest, TheNthAllocationFails)
{
    standin::FailAllocation(3);
    void* a = alloc(4, "u", 1);
    void* b = alloc(4, "u", 2);
    void* c = alloc(4, "u", 3);
    void* d = alloc(4, "u", 4);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_NE(d, nullptr);
    EXPECT_EQ(standin::LiveBlockCount(), 3u);
    for (void* p : {a, b, d}) release(p, "u", 5);
    EXPECT_EQ(standin::LiveBlockCount(), 0u);
    EXPECT_TRUE(standin::HeapErrors().empty());
}

int32_t WINAPI AnswerAnyMessage(ModuleRecord*, uint32_t, int32_t, intptr_t) { return 1; }
int32_t WINAPI ProcessNothing(ModuleRecord*) { return 1; }

bool AnyHostErrorContains(const char* what)
{
    for (const std::string& e : standin::HostErrors())
        if (e.find(what) != std::string::npos) return true;
    return false;
}

// The output-block services hand out the same memory again after a release: each offer must be
// a clean block, and each release checked the same whether the host keeps a record of it or not.
TEST_F(HostTest, OutputBlocksAreCleanWhenOfferedAndCheckedWhenReleased)
{
    ModuleClassRecord cls = {};
    cls.className = "BLOCKS";
    cls.displayName = cls.longName = "blocks";
    cls.paramsSize = cls.runtimeSize = cls.channelStateSize = 16;
    cls.moduleProc = AnswerAnyMessage;
    cls.processProc = ProcessNothing;
    Service<RegisterModuleClassFn>("RegisterModuleClass")(&cls);
    ModuleRecord* m = standin::AddModule("BLOCKS");
    ASSERT_NE(m, nullptr);
    void* output = m->outputChannel[0];
    auto offer = Service<GetCurrentOutputBlockFn>("GetCurrentOutputBlock");
    auto give = Service<NewReleaseOutputBlockFn>("NewReleaseOutputBlock");
    standin::SetBlockSize(4);
    for (bool kept : {true, false}) {
        SCOPED_TRACE(kept ? "kept" : "not kept");
        standin::RecordReleasedBlocks(kept);
        standin::ClearReleasedBlocks();
        standin::ClearHostErrors();
        SampleBlock* b = offer(output);
        ASSERT_NE(b, nullptr);
        for (int i = 0; i < 4; i++) b->samples[i] = float(i + 1);
        b->sampleCount = 4;
        give(output, "unit", 1);
        b = offer(output);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->sampleCount, 0);
        for (int i = 0; i < 4; i++) EXPECT_EQ(b->samples[i], 0.0f) << "sample " << i;
        b->samples[4] = 1.0f;   // one past the block
        b->sampleCount = 5;
        give(output, "unit", 2);
        EXPECT_TRUE(AnyHostErrorContains("outside its bounds"));
        EXPECT_TRUE(AnyHostErrorContains("released with 5 samples"));
        EXPECT_EQ(standin::ReleasedBlocks(m, 0).size(), kept ? 2u : 0u);
        if (kept) {
            EXPECT_EQ(standin::ReleasedSamples(m, 0), (std::vector<float>{1, 2, 3, 4, 0, 0, 0, 0}));
        }
    }
    standin::RecordReleasedBlocks(true);
    standin::RemoveAllModules();
}

TEST_F(HostTest, TickImportIsRedirected)
{
    // This program's own import of GetTickCount goes through the same kind of table.
    ASSERT_TRUE(standin::EnableSimulatedTicks(GetModuleHandleA(nullptr)));
    standin::SetTicks(0xFFFFFFF0u);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    standin::AdvanceTicks(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
    standin::SetTickStep(5);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(GetTickCount(), 0x15u);
}

TEST_F(HostTest, UnexpectedDialogIsCancelled)
{
    dialogdriver::Install();
    int result = MessageBoxA(nullptr, "nobody expects me", "Surprise", MB_OKCANCEL);
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(dialogdriver::UnexpectedDialogs().size(), 1u);
    EXPECT_EQ(dialogdriver::UnexpectedDialogs()[0], "Surprise");
    // A step that leaves its dialog open is closed for it.
    dialogdriver::Queue("Open", {dialogdriver::SetText(0, "x")});
    MessageBoxA(nullptr, "left open", "Open", MB_OKCANCEL);
    ASSERT_EQ(dialogdriver::LeftOpenDialogs().size(), 1u);
    dialogdriver::Uninstall();
}

TEST_F(HostTest, PicturesTellTheStatesApart)
{
    struct Set { int count; HBITMAP (*get)(int); int width, height; };
    const Set sets[] = {{4, standin::ChannelBitmap, 22, 30}, {6, standin::LessMoreBitmap, 24, 32}};
    for (const Set& s : sets) {
        std::vector<std::vector<uint32_t>> pixels;
        for (int i = 0; i < s.count; i++) {
            HBITMAP b = s.get(i);
            BITMAP bm = {};
            ASSERT_TRUE(GetObjectA(b, sizeof bm, &bm));
            EXPECT_EQ(bm.bmWidth, s.width);
            EXPECT_EQ(bm.bmHeight, s.height);
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = s.width;
            info.bmiHeader.biHeight = s.height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            std::vector<uint32_t> bits(s.width * s.height);
            HDC dc = GetDC(nullptr);
            GetDIBits(dc, b, 0, s.height, bits.data(), &info, DIB_RGB_COLORS);
            ReleaseDC(nullptr, dc);
            for (const std::vector<uint32_t>& earlier : pixels) EXPECT_NE(earlier, bits) << "state " << i;
            pixels.push_back(bits);
        }
    }
}

}  // namespace

// The window and screen statements: a layout script with every one of them
// runs headless, and a dump of the window tree it builds (anchor, parent,
// rectangle, routines by name, flags, font, text) is compared with
// golden/layout.windows; then the single cases (the parent operand, the
// font before WIN_FONT, closing a dialog, the profiler, wrong words) and
// the event trace of the same script. Run with KV_UPDATE_GOLDEN=1 to
// rewrite the golden dump after a deliberate change, then read the diff.
#include "interp_fixture.h"

#include "screens/engineering.h"
#include "script/keywords.h"
#include "script/windowstatements.h"
#include "system/canvas.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/text.h"
#include "system/trace.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_canvas.h"
#include "ui/drawtypes.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/messages.h"
#include "world/profiler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

const std::filesystem::path kGolden = std::filesystem::path(KV_SOURCE_DIR) / "tests/interp/golden/layout.windows";

// Every statement 52-77 once, WIN_METER in each of its styles (WIN_VIDEO's
// film is missing, so it makes no window).
const char* const kLayout = R"(WINDOW root early box boxc frame view wire video rast over sw strng text butt
WINDOW invis meter xy hbar chbar cvbar num sys logger prof card dialog clone
RESOURCE fontA picA picB txtA filmA
SCREEN_BEGIN "Layout"
WIN_MAIN root 3
WIN_STRNG TOP_L early 0 4 4 60 12
WIN_FONT fontA
WIN_BOX TOP_R box root 10 10 40 20 7
WIN_BOX BOT_L boxc root 10 10 40 20
WIN_RECT BOT_R frame root 5 5 100 50
WIN_3D TOP_L view root LASTSHIP 0 20 320 200
WIN_3D_WIRE CNTR wire view LASTSHIP 0 0 80 60
WIN_VIDEO TOP_L video root filmA 0 0 100 80
WIN_RAST TOP_L rast root picA 200 10
WIN_OVERLAY REL over rast picA 5 5 32 32
WIN_SWITCH TOP_L sw root picA picB 300 10
WIN_STRNG TOP_L strng root 330 10 60 12
WIN_TEXT TOP_L text root txtA 10 100 200 40
WIN_BUTT CLIP butt frame 90 40 30 20
WIN_INVIS TOP_L invis root 0 0 640 20
WIN_METER BAR_VERT TOP_L meter root 400 10 8 40
WIN_METER XYDEV TOP_L xy root 420 10 40 40
WIN_METER BAR_HORIZ TOP_L hbar root 400 60 40 8
WIN_METER BAR_CHORIZ TOP_L chbar root 400 72 40 8
WIN_METER BAR_CVERT TOP_L cvbar root 450 60 8 40
WIN_METER NUMERIC TOP_L num root 400 84 30 12
WIN_SYSTEM TOP_L sys root LASERS 10 150
WIN_LOGGER TOP_L logger root 10 170 100 40
WIN_PROFILE TOP_L prof root 500 10 100 100
WIN_CARD TOP_L card root 470 120 160 84
WIN_DIALOG TOP_L dialog root txtA 300 100 120 60 40
WIN_CLONE clone box 4 0
WIN_DESTROY box 1000
WIN_POPUP "Popped" 500
SCREEN_END "Layout"
SCREEN_USE "Layout"
)";

void DrawEarlyText(WindowHandle* w);

struct RoutineName {
    const void* routine;
    const char* name;
};
#define KV_ROUTINE(r) \
    { \
        reinterpret_cast<const void*>(r), #r \
    }
const RoutineName kRoutineNames[] = {
    KV_ROUTINE(guiTickWindow),
    KV_ROUTINE(guiHitTestRect),
    KV_ROUTINE(guiHitTestNever),
    KV_ROUTINE(guiDrawBoxWindow),
    KV_ROUTINE(guiDrawRectWindow),
    KV_ROUTINE(guiDrawRasterWindow),
    KV_ROUTINE(guiDrawSwitchWindow),
    KV_ROUTINE(guiDrawStringWindow),
    KV_ROUTINE(guiDrawButtonWindow),
    KV_ROUTINE(guiDrawTextWindow),
    KV_ROUTINE(guiDrawVerticalBarWindow),
    KV_ROUTINE(guiDrawHorizontalBarWindow),
    KV_ROUTINE(guiDrawCentredVBarWindow),
    KV_ROUTINE(guiDrawCentredHBarWindow),
    KV_ROUTINE(guiDrawLevelBarWindow),
    KV_ROUTINE(guiDrawNumberWindow),
    KV_ROUTINE(guiDrawXYDeviationWindow),
    KV_ROUTINE(guiDrawCheckBoxWindow),
    KV_ROUTINE(guiDrawUpArrowWindow),
    KV_ROUTINE(guiDrawDownArrowWindow),
    KV_ROUTINE(guiDrawCardWindow),
    KV_ROUTINE(guiDrawLoggerWindow),
    KV_ROUTINE(guiDrawProfileWindow),
    KV_ROUTINE(guiDrawVideoWindow),
    KV_ROUTINE(guiDrawOverlayWindow),
    KV_ROUTINE(guiDraw3DWindow),
    KV_ROUTINE(guiDraw3DWireWindow),
    KV_ROUTINE(guiToggleSystemPower),
    KV_ROUTINE(guiToggleElement),
    KV_ROUTINE(guiTextScrollBack),
    KV_ROUTINE(guiTextScrollForward),
    KV_ROUTINE(guiSystemOutputDraw),
    KV_ROUTINE(guiSystemHealthDraw),
    KV_ROUTINE(guiSystemTemperatureDraw),
    KV_ROUTINE(guiSystemLevelDraw),
    KV_ROUTINE(guiSelectedSystemDraw),
    KV_ROUTINE(guiPlainElementDraw),
    KV_ROUTINE(DrawEarlyText),
};
#undef KV_ROUTINE

template <typename F>
std::string NameOf(F routine)
{
    if (!routine)
        return "-";
    for (const RoutineName& r : kRoutineNames)
        if (r.routine == reinterpret_cast<const void*>(routine))
            return r.name;
    return "?";
}

// The symbol that holds a resource, or whose resource holds the data.
std::string ResourceName(const void* thing)
{
    if (!thing)
        return "-";
    for (uint32_t i = 0; i < gSymbols.count; ++i) {
        const ScriptSymbol& s = gSymbols.records[i];
        if (!(s.type & kSymbolResource) || !s.value || SymbolHoldsValueBytes(&s))
            continue;
        if (s.value == thing || static_cast<Resource*>(s.value)->data == thing)
            return s.name;
    }
    return "?";
}

std::string DumpWindows()
{
    std::ostringstream out;
    for (WindowHandle* w = gScreens.current->windows; w; w = w->next) {
        const bool visible = guiWindowRect(w, nullptr, nullptr);
        out << (w->elementName ? w->elementName : "-") << " anchor=" << w->anchor
            << " parent=" << (w->parent && w->parent->elementName ? w->parent->elementName : "-");
        if (w->attachTo)
            out << " attach=" << (w->attachTo->elementName ? w->attachTo->elementName : "?");
        out << " rect=" << w->rect[0] << "," << w->rect[1] << "," << w->rect[2] << "," << w->rect[3]
            << (visible ? "" : " hidden") << " frame=" << NameOf(w->frameHandler) << " draw=" << NameOf(w->draw)
            << " hit=" << NameOf(w->hitTest);
        if (w->clickHandler)
            out << " click=" << NameOf(w->clickHandler);
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%x", w->flags);
        out << " flags=" << flags << " font=" << ResourceName(w->font) << " colour=" << w->colour;
        if (w->text)
            out << " text=\"" << w->text << "\"";
        if (w->textResource)
            out << " textres=" << ResourceName(w->textResource);
        if (w->bitmapUp || w->bitmapDown)
            out << " pictures=" << ResourceName(w->bitmapUp) << "," << ResourceName(w->bitmapDown);
        if (w->check)
            out << " check=" << int(w->check);
        if (w->boundText)
            out << " bound";
        if (w->subject.kind == WindowSubject::Kind::SceneItems)
            out << " items";
        if (w->cloneOffsets[0] || w->cloneOffsets[1])
            out << " clone=" << w->cloneOffsets[0] << "," << w->cloneOffsets[1];
        out << " receiver=" << (w->receiver ? "yes" : "no") << "\n";
    }
    return out.str();
}

std::vector<std::string> gSetups;
RasterFont gTinyFont = {};

void DrawEarlyText(WindowHandle* w)
{
    static uint8_t pixels[64 * 16];
    const Canvas canvas{pixels, 64, 16};
    int16_t x = w->rect[0], y = w->rect[1];
    CanvasDrawText(canvas, x, y, w->text, &gTinyFont, 47, CanvasBounds(canvas));
}

void LayoutSetup()
{
    gSetups.push_back("Layout");
    guiBindDraw("early", DrawEarlyText);
}

class WindowStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        gSetups.clear();
        gTinyFont.height = 8;
        InitMessageBuffer();
        guiResetWindowPool();
        guiRegisterScreen("Layout", LayoutSetup, nullptr);
        gWindowFont = nullptr;
    }
    void TearDown() override
    {
        guiResetWindowPool();
        ResetValueRecorders();
        gWindowFont = nullptr;
        ResShutdown();
        InterpTest::TearDown();
    }

    // Declares the resources and gives each a block named after it; the
    // film's block names a film that does not exist.
    void GiveResources()
    {
        InterpTest::Run("RESOURCE fontA picA picB txtA filmA oldFont");
        for (const char* name : {"fontA", "picA", "picB", "txtA", "filmA", "oldFont"}) {
            Resource* record = ResAllocSized(0, 64);
            ASSERT_NE(record, nullptr);
            std::snprintf(record->name, sizeof record->name, "%s", std::strcmp(name, "filmA") ? name : "missing.smk");
            FindScriptSymbol(name)->value = record;
        }
    }

    void RunLayout()
    {
        GiveResources();
        gWindowFont = static_cast<Resource*>(FindScriptSymbol("oldFont")->value);
        EXPECT_EQ(ScriptTokenAt(InterpTest::Run(kLayout)).id, kw::END);
    }

    static WindowHandle* Window(const char* name)
    {
        const ScriptSymbol* symbol = FindScriptSymbol(name);
        return symbol && !SymbolHoldsValueBytes(symbol) ? static_cast<WindowHandle*>(symbol->value) : nullptr;
    }

    static void Frame(int32_t ticks = 20)
    {
        gFrameClock.frameTicks = ticks;
        gFrameClock.gameClock += static_cast<uint32_t>(ticks);
        guiUpdateScreen();
    }
};

TEST_F(WindowStatementTest, ALayoutWithEveryStatementBuildsTheGoldenWindowTree)
{
    RunLayout();
    EXPECT_EQ(gSetups, (std::vector<std::string>{"Layout"}));
    EXPECT_EQ(gScreens.current, guiFindScreen("Layout"));
    const std::string dump = DumpWindows();
    if (std::getenv("KV_UPDATE_GOLDEN")) {
        std::ofstream(kGolden, std::ios::binary) << dump;
        GTEST_SKIP() << "golden rewritten";
    }
    EXPECT_EQ(dump, ReadFileBytes(kGolden));
}

TEST_F(WindowStatementTest, TheSingleCasesOfTheLayout)
{
    RunLayout();
    // The number 0 as the parent is consumed: the window sits at 4, 4 with
    // no parent, in the font that was current before WIN_FONT.
    WindowHandle* early = Window("early");
    ASSERT_NE(early, nullptr);
    EXPECT_EQ(early->parent, nullptr);
    EXPECT_EQ(early->x, 4);
    EXPECT_EQ(early->font, FindScriptSymbol("oldFont")->value);
    EXPECT_EQ(Window("strng")->font, FindScriptSymbol("fontA")->value);
    // WIN_BOX without a colour has 0.
    EXPECT_EQ(Window("box")->colour, 7);
    EXPECT_EQ(Window("boxc")->colour, 0);
    // A film that does not start makes no window.
    EXPECT_EQ(Window("video"), nullptr);
    // The clone's offsets, only those that are not 0.
    EXPECT_EQ(Window("clone")->cloneOffsets[0], 4);
    EXPECT_EQ(Window("clone")->cloneOffsets[1], 0);
    // WIN_3D makes the main view; WIN_MAIN the screen's main window.
    EXPECT_EQ(gWindows.mainView, Window("view"));
    EXPECT_EQ(gScreens.current->mainWindow, Window("root"));
    EXPECT_EQ(gWindows.profileWindow, Window("prof"));
    EXPECT_EQ(gScreens.current->viewCount, 2);
}

TEST_F(WindowStatementTest, AfterAProfileWindowTheFramesSectionsAreRecorded)
{
    ASSERT_EQ(gFrameProfiler, nullptr);
    RunLayout();
    ASSERT_NE(gFrameProfiler, nullptr);
    StartProfileFrame(gFrameProfiler);
    MarkProfileSection(gFrameProfiler, "SIMULATION");
    MarkProfileSection(gFrameProfiler, "OTHER");
    EXPECT_STREQ(gFrameProfiler->names[0], "SIMULATION");
    EXPECT_STREQ(gFrameProfiler->names[1], "OTHER");
}

TEST_F(WindowStatementTest, ADialogAndADestroyedWindowCloseAfterTheirTicks)
{
    RunLayout();
    WindowHandle* dialog = Window("dialog");
    ASSERT_NE(dialog, nullptr);
    int children = 0;
    for (WindowHandle* w = gScreens.current->windows; w; w = w->next)
        children += w->parent == dialog;
    EXPECT_EQ(children, 4); // frame, check box, two arrows
    Frame();
    EXPECT_TRUE(dialog->flags & kWindowInUse);
    Frame();
    Frame();
    EXPECT_FALSE(dialog->flags & kWindowInUse);
    for (WindowHandle* w = gScreens.current->windows; w; w = w->next)
        EXPECT_NE(w->parent, dialog);
    // WIN_DESTROY box 1000; the clone of the box stays.
    for (int i = 0; i < 50; ++i)
        Frame();
    EXPECT_FALSE(Window("box")->flags & kWindowInUse);
    EXPECT_TRUE(Window("clone")->flags & kWindowInUse);
}

TEST_F(WindowStatementTest, AfterOneFrameTheLayoutsWindowsShowTheirDrawTypesColours)
{
    MemoryScreen screen;
    screen.Clear(250);
    BlockFont font(100);
    std::vector<uint8_t> pictureA(8 * 8, 77), pictureB(8 * 8, 78);
    Bitmap bitmapA{pictureA.data(), 8, 8, 0, 0}, bitmapB{pictureB.data(), 8, 8, 0, 0};
    static char text[] = "SOME TEXT";
    GiveResources();
    // The blocks carry our own font, pictures and text.
    static_cast<Resource*>(FindScriptSymbol("fontA")->value)->data = &font.font;
    static_cast<Resource*>(FindScriptSymbol("picA")->value)->data = &bitmapA;
    static_cast<Resource*>(FindScriptSymbol("picB")->value)->data = &bitmapB;
    static_cast<Resource*>(FindScriptSymbol("txtA")->value)->data = text;
    gWindowFont = static_cast<Resource*>(FindScriptSymbol("fontA")->value);
    ASSERT_EQ(ScriptTokenAt(InterpTest::Run(kLayout)).id, kw::END);
    Window("meter")->maximum = 100;
    Window("meter")->value = 50;
    for (const char* meter : {"hbar", "chbar", "cvbar"})
        Window(meter)->maximum = 100;
    Window("hbar")->value = 50;
    Window("chbar")->value = 0;
    Window("cvbar")->value = -50;
    Window("num")->value = 42;
    Frame();

    EXPECT_EQ(screen.At(620, 272), 3) << "WIN_MAIN fills the screen's main window";
    EXPECT_EQ(screen.At(600, 10), 7) << "WIN_BOX in its colour";
    EXPECT_EQ(screen.At(600, 20), 3);
    EXPECT_EQ(screen.At(20, 245), 47) << "WIN_BOX without a colour";
    EXPECT_EQ(screen.At(560, 220), 24) << "WIN_RECT edge";
    EXPECT_EQ(screen.At(560, 240), 0) << "WIN_RECT inside";
    EXPECT_EQ(screen.Colours(201, 11, 207, 17), (std::set<int>{77})) << "WIN_RAST";
    EXPECT_EQ(Window("rast")->width, 8);
    EXPECT_EQ(screen.At(301, 11), 77) << "WIN_SWITCH released";
    EXPECT_EQ(screen.Colours(331, 11, 388, 20), (std::set<int>{0, 100})) << "WIN_STRNG";
    EXPECT_EQ(screen.At(403, 10), 29) << "BAR_VERT outline";
    EXPECT_EQ(screen.Colours(401, 31, 406, 48), (std::set<int>{64})) << "BAR_VERT bar";
    EXPECT_EQ(screen.Colours(401, 11, 406, 28), (std::set<int>{0}));
    EXPECT_EQ(screen.At(439, 29), 29) << "XYDEV cross";
    EXPECT_EQ(screen.At(425, 15), 0);
    // BAR_HORIZ (400, 60)-(439, 67) at half: the bar ends at 420.
    EXPECT_EQ(screen.At(420, 60), 247) << "BAR_HORIZ outline";
    EXPECT_EQ(screen.Colours(401, 61, 419, 66), (std::set<int>{249})) << "BAR_HORIZ bar";
    EXPECT_EQ(screen.Colours(420, 61, 438, 66), (std::set<int>{0}));
    // BAR_CHORIZ (400, 72)-(439, 79) at 0: from the centre 419 to 421 in 133.
    EXPECT_EQ(screen.At(410, 72), 29) << "BAR_CHORIZ outline";
    EXPECT_EQ(screen.Colours(419, 73, 421, 78), (std::set<int>{133})) << "BAR_CHORIZ near zero";
    EXPECT_EQ(screen.At(418, 75), 0);
    // BAR_CVERT (450, 60)-(457, 99) at -50: down from the centre 79 to 86 in 64.
    EXPECT_EQ(screen.Colours(451, 79, 456, 86), (std::set<int>{64})) << "BAR_CVERT below the centre";
    EXPECT_EQ(screen.Colours(451, 61, 456, 78), (std::set<int>{0}));
    // NUMERIC (400, 84)-(429, 95): "42" on the baseline 94, 4 pixels in.
    EXPECT_EQ(screen.At(410, 84), 24) << "NUMERIC edge";
    EXPECT_EQ(screen.Colours(404, 89, 407, 94), (std::set<int>{100})) << "NUMERIC digit";
    EXPECT_EQ(screen.At(408, 92), 0);
    // The pop-up (80, 112)-(559, 161) is drawn over what it covers.
    EXPECT_EQ(screen.Colours(11, 101, 79, 138), (std::set<int>{0, 100})) << "WIN_TEXT";
    EXPECT_EQ(screen.At(10, 120), 24);
    EXPECT_EQ(screen.At(300, 112), 24) << "the pop-up button";
    EXPECT_EQ(screen.At(600, 120), 24) << "WIN_CARD frame";
    EXPECT_EQ(Window("card")->width, 158);
    EXPECT_EQ(screen.At(627, 120), 24) << "its right edge at full height";
    EXPECT_EQ(screen.Colours(560, 121, 626, 202), (std::set<int>{0}));
    EXPECT_EQ(screen.At(430, 100), 24) << "the dialog's check box";
}

TEST_F(WindowStatementTest, AWrongAnchorOrMeterWordIsUnrecognized)
{
    InterpTest::Run("WINDOW bad");
    for (const char* text : {"WIN_RECT bad bad 0 1 2 3 4", "WIN_RECT BAR_VERT bad 0 1 2 3 4",
                             "WIN_METER TOP_L TOP_L bad 0 1 2 3 4", "WIN_METER NUMERIC CNTR bad 0 1 2 3 4"}) {
        const ScriptStop stop = RunUntilStop(text);
        const bool wantsError = std::strstr(text, "NUMERIC") == nullptr;
        EXPECT_EQ(stop.text.find("Unrecognized Token") != std::string::npos, wantsError) << text << ": " << stop.text;
    }
}

// A screen whose set-up binds nothing.
void NoScreenSetup() {}

TEST_F(WindowStatementTest, TheTraceListsWindowsTextsAndTheScreenChange)
{
    ScratchFolder scratch{"trace"};
    const std::string file = (scratch / "events.txt").string();
    setenv("KELVANDRIST_TRACE", file.c_str(), 1);
    TraceStart();
    unsetenv("KELVANDRIST_TRACE");
    ASSERT_TRUE(TraceOn());
    RunLayout();
    guiRegisterScreen("Other", NoScreenSetup, nullptr);
    EXPECT_EQ(ScriptTokenAt(InterpTest::Run("SCREEN_USE \"Other\"\nSCREEN_USE \"Layout\"")).id, kw::END);
    guiUpdateScreen();
    for (int i = 0; i < 3; ++i) // the dialog closes
        Frame();
    TraceStop();

    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(file));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("0 window+ \"root\" 0 0 0 639 274"));
    EXPECT_TRUE(has("0 window+ \"early\" 0 4 4 63 15"));
    EXPECT_TRUE(has("0 window+ \"box\" 1 590 10 629 29"));
    EXPECT_TRUE(has("0 window+ \"clone\" 1 590 10 629 29"));
    EXPECT_TRUE(has("0 window+ \"-\" 6 80 112 559 161")) << "the pop-up, centred on the screen's main window";
    EXPECT_TRUE(has("0 screen \"Other\""));
    EXPECT_TRUE(has("0 screen \"Layout\""));
    EXPECT_TRUE(has("0 text 4 4 47 8 \"early\""));
    EXPECT_TRUE(has("0 window- \"dialog\" 0 300 100 419 159"));
    const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line); };
    EXPECT_LT(at("0 window+ \"root\" 0 0 0 639 274"), at("0 screen \"Layout\""));
    EXPECT_LT(at("0 screen \"Layout\""), at("0 text 4 4 47 8 \"early\""));
    int windows = 0;
    for (const std::string& line : lines)
        windows += line.rfind("0 window+ ", 0) == 0 ? 1 : line.rfind("0 window- ", 0) == 0 ? -1
                                                                                           : 0;
    // Every window of the tree, and the pop-up's, less those closed.
    int listed = 0;
    for (WindowHandle* w = gScreens.current->windows; w; w = w->next)
        ++listed;
    EXPECT_EQ(windows, listed);
}

} // namespace

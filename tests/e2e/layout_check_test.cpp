// The layout check: every screen of the demo data, as the game lays it out
// and draws it, read back from its trace. Each caption sits inside the
// window it is drawn in, windows of one screen meet only where the layout
// says they may ("// overlap A B" in its file), and text that the game draws
// at fixed places lies inside some window made for it. A screen's main window
// is its frame, not one of its windows, and so is a window over the whole
// screen (a console picture, the end of the flight's backdrop), which hides
// the windows made before it; a window marked "// clips A" (a 3D view, whose
// labels follow the ships off its edges) may cut its text. A failure names
// the screen, the windows and by how many pixels.
#include "system/res/font.h"

#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive

    bool Empty() const { return right < left || bottom < top; }
    bool Holds(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    bool Contains(const Box& b) const { return Holds(b.left, b.top) && Holds(b.right, b.bottom); }
    bool Meets(const Box& b) const
    {
        return left <= b.right && b.left <= right && top <= b.bottom && b.top <= bottom;
    }
    long Area() const { return long(right - left + 1) * (bottom - top + 1); }
};

// A window as the trace shows it live on a screen: its box, and when it was
// made (a window over the whole screen hides those made before it).
struct Live {
    Box box;
    long made = 0;
};
constexpr Box kWholeScreen{0, 0, 639, 479};

// The bitmap fonts of the tree by line height (fonts of one height are
// measured together: the check takes the widest).
class Fonts {
public:
    explicit Fonts(const fs::path& folder)
    {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() != ".fon")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const std::size_t size = FontBuildSize(file, FontFile::Fon);
            if (size == 0)
                continue;
            blocks_.emplace_back(new uint64_t[size / 8 + 1]);
            std::span<uint8_t> block(reinterpret_cast<uint8_t*>(blocks_.back().get()), size);
            if (const RasterFont* font = FontBuild(file, FontFile::Fon, block))
                byHeight_[font->height].push_back(font);
        }
    }

    // The pixels the text's glyphs cover with the pen at (x, y), as the
    // game places them; empty for a height no font has.
    Box Ink(const std::string& text, int x, int y, int height) const
    {
        Box all;
        const auto found = byHeight_.find(height);
        if (found == byHeight_.end())
            return all;
        bool any = false;
        for (const RasterFont* font : found->second) {
            int px = x, py = y;
            for (const char c : text) {
                const auto code = static_cast<uint8_t>(c);
                if (c == '\n') {
                    px = x;
                    py += font->height;
                    continue;
                }
                const Raster* g = font->glyphs[code];
                if (c != ' ' && g && g->width > 0 && g->height > 0) {
                    const Box b{px - g->xOffset, py - g->yOffset, px - g->xOffset + g->width - 1,
                                py - g->yOffset + g->height - 1};
                    all = any ? Box{std::min(all.left, b.left), std::min(all.top, b.top),
                                    std::max(all.right, b.right), std::max(all.bottom, b.bottom)}
                              : b;
                    any = true;
                }
                px += font->widths[code];
            }
        }
        return all;
    }

private:
    std::vector<std::unique_ptr<uint64_t[]>> blocks_;
    std::map<int, std::vector<const RasterFont*>> byHeight_;
};

// The layouts' screens: each screen's window names in the order the files
// make them, and the overlaps the files allow.
struct Layouts {
    std::vector<std::pair<std::string, std::string>> windows; // screen, window
    std::set<std::pair<std::string, std::string>> overlaps;   // both orders
    std::set<std::string> mains, clipping;
};

void ReadLayout(const fs::path& file, Layouts& layouts)
{
    std::ifstream in(file);
    std::set<std::string> symbols;
    std::string screen;
    const std::regex overlap(R"re(//\s*overlap\s+(\S+)\s+(\S+))re"), clips(R"re(//\s*clips\s+(\S+))re");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, overlap)) {
            layouts.overlaps.insert({m[1], m[2]});
            layouts.overlaps.insert({m[2], m[1]});
            continue;
        }
        if (std::regex_search(line, m, clips)) {
            layouts.clipping.insert(m[1]);
            continue;
        }
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "WINDOW") {
            while (words >> word)
                symbols.insert(word);
        } else if (word == "SCREEN_BEGIN") {
            words >> screen;
            screen = screen.substr(1, screen.size() - 2);
        } else if (word == "SCREEN_END") {
            screen.clear();
        } else if (!screen.empty() && word.rfind("WIN_", 0) == 0 && word != "WIN_FONT") {
            const bool main = word == "WIN_MAIN";
            while (words >> word)
                if (symbols.count(word)) {
                    layouts.windows.push_back({screen, word});
                    if (main)
                        layouts.mains.insert(word);
                    break;
                }
        }
    }
}

std::string Unquote(const std::string& quoted)
{
    std::string text;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 2 < quoted.size()) {
            ++i;
            text += quoted[i] == 'n' ? '\n' : quoted[i];
        } else {
            text += quoted[i];
        }
    }
    return text;
}

std::string Describe(const Box& b)
{
    return "(" + std::to_string(b.left) + "," + std::to_string(b.top) + ")-(" + std::to_string(b.right) + "," +
           std::to_string(b.bottom) + ")";
}

// By how many pixels `inner` reaches out of `outer` on its worst side.
int Overreach(const Box& inner, const Box& outer)
{
    return std::max({outer.left - inner.left, inner.right - outer.right, outer.top - inner.top,
                     inner.bottom - outer.bottom, 0});
}

bool StartsInsideOrCentred(const Box& ink, const Box& window)
{
    const bool inside = ink.left >= window.left && ink.top >= window.top;
    const bool centred = std::abs((ink.left + ink.right) - (window.left + window.right)) <= 4;
    return inside || centred;
}

// How far past a 3D view's edges its labels may be drawn (and cut): a
// ship's name and hull beside its box at the view's edge.
constexpr int kViewLabelReach = 64;
// A glyph's ink may reach a pixel past the point it is drawn from (a T's
// bar, a 0's bowl): text drawn flush with a window's edge, and clipped to
// it, is not a caption that does not fit.
constexpr int kGlyphBearing = 1;

// Checks the screens the trace shows against the layouts; one line for each
// fault (each named once however many frames show it).
std::set<std::string> CheckLayouts(const std::string& trace, const Layouts& layouts, const Fonts& fonts)
{
    std::set<std::string> faults;
    std::map<std::string, std::map<std::string, Live>> live; // screen -> window -> box
    long made = 0;
    std::size_t cursor = 0;
    std::string screen, screenPass;
    std::set<std::string> seen;
    const std::regex window(R"re((\d+) window([+-]) ("(?:[^"\\]|\\.)*") -?\d+ (-?\d+) (-?\d+) (-?\d+) (-?\d+))re");
    const std::regex screenLine(R"re((\d+) screen "(.*)")re");
    const std::regex text(R"re((\d+) text (-?\d+) (-?\d+) -?\d+ (-?\d+) ("(?:[^"\\]|\\.)*"))re");
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, window)) {
            const std::string name = Unquote(m[3]);
            const Box box{std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[7])};
            std::string owner = screen;
            if (m[1] == "0") {
                // Made with the layouts: the screen whose file makes it.
                std::size_t at = cursor;
                while (at < layouts.windows.size() && layouts.windows[at].second != name)
                    ++at;
                if (at == layouts.windows.size())
                    continue;
                owner = layouts.windows[at].first;
                cursor = at + 1;
            }
            if (layouts.mains.count(name))
                continue;
            if (m[2] == "+")
                live[owner][name] = {box, ++made};
            else
                live[owner].erase(name);
        } else if (std::regex_match(line, m, screenLine)) {
            screen = m[2];
            screenPass = m[1];
            if (seen.insert(screen).second) {
                // Windows that meet without one holding the other.
                const auto& windows = live[screen];
                for (auto a = windows.begin(); a != windows.end(); ++a)
                    for (auto b = std::next(a); b != windows.end(); ++b) {
                        const Box& p = a->second.box;
                        const Box& q = b->second.box;
                        if (p.Empty() || q.Empty() || !p.Meets(q) || p.Contains(q) || q.Contains(p) ||
                            layouts.overlaps.count({a->first, b->first}))
                            continue;
                        const int across = std::min(p.right, q.right) - std::max(p.left, q.left) + 1;
                        const int down = std::min(p.bottom, q.bottom) - std::max(p.top, q.top) + 1;
                        faults.insert(screen + ": windows " + a->first + " " + Describe(p) + " and " + b->first +
                                      " " + Describe(q) + " overlap by " + std::to_string(across) + " x " +
                                      std::to_string(down) + " pixels");
                    }
            }
        } else if (std::regex_match(line, m, text) && !screen.empty() && m[1] != screenPass) {
            // (The pass that changes the screen still ends the old one's
            // drawing.)
            const std::string said = Unquote(m[5]);
            const Box ink = fonts.Ink(said, std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]));
            if (ink.Empty())
                continue;
            // The windows shown: none that a later window over the whole
            // screen covers. A window over the whole screen is a backdrop,
            // not a frame made for text.
            std::map<std::string, Box> shown;
            for (const auto& [name, w] : live[screen])
                if (!w.box.Contains(kWholeScreen) && std::none_of(live[screen].begin(), live[screen].end(), [&](const auto& over) {
                        return over.second.made > w.made && over.second.box.Contains(kWholeScreen);
                    }))
                    shown[name] = w.box;
            // Text that starts inside a 3D view is the view's: its clip cuts
            // what reaches past the view's edge.
            if (std::any_of(shown.begin(), shown.end(), [&](const auto& w) {
                    return layouts.clipping.count(w.first) && w.second.Holds(ink.left, ink.top);
                }))
                continue;
            // The smallest window holding the middle of the ink is the one
            // the text is drawn in.
            const int cx = (ink.left + ink.right) / 2, cy = (ink.top + ink.bottom) / 2;
            const std::pair<const std::string, Box>* in = nullptr;
            for (const auto& w : shown)
                if (!w.second.Empty() && w.second.Holds(cx, cy) && (!in || w.second.Area() < in->second.Area()))
                    in = &w;
            // A 3D view's labels follow their ships a little past its
            // edges, where the view's clip cuts them.
            const bool byAView = std::any_of(shown.begin(), shown.end(), [&](const auto& w) {
                const Box& b = w.second;
                return layouts.clipping.count(w.first) &&
                       Box{b.left - kViewLabelReach, b.top - kViewLabelReach, b.right + kViewLabelReach,
                           b.bottom + kViewLabelReach}
                           .Holds(cx, cy);
            });
            if (!in && !byAView) {
                faults.insert(screen + ": text \"" + said + "\" at " + Describe(ink) + " lies in no window");
            } else if (const int out = in ? Overreach(ink, in->second) : 0;
                       out > kGlyphBearing && !layouts.clipping.count(in->first) &&
                       // a caption starts inside its window or is centred
                       // on it; a view's label that runs into a window
                       // beside the view is neither, and the view cuts it
                       !(byAView && !StartsInsideOrCentred(ink, in->second))) {
                faults.insert(screen + ": \"" + said + "\" " + Describe(ink) + " reaches " + std::to_string(out) +
                              " pixels out of " + in->first + " " + Describe(in->second));
            }
        }
    }
    return faults;
}

Layouts ReadLayouts(const fs::path& folder)
{
    Layouts layouts;
    for (const char* file : {"stations.gui", "front.gui", "bridge.gui"})
        ReadLayout(folder / "zqk/resource/scripts/gui" / file, layouts);
    return layouts;
}

// The screens a player walks through, each held for a few passes: the
// front end's home, roster and a new career's timeline, the yes/no question
// its Delete asks, the disc request that Play makes without the disc's film,
// the credits and the options, mission 1's four stations, the end of its
// flight, and the demonstration's summary and debrief.
std::vector<std::string> TracesOfTheScreens(const fs::path& folder)
{
    std::ofstream(folder / "front.txt") << "100 click FrRosSq\n250 click RosSlot\n400 click TimDelete\n"
                                           "450 click CnfCancel\n500 key Up\n520 click TimPlayMN\n"
                                           "600 click InsCDCancel\n650 quit\n";
    std::ofstream(folder / "credits.txt") << "100 click FrCrdSq\n250 quit\n";
    std::ofstream(folder / "options.txt") << "100 click FrSysSq\n250 quit\n";
    std::ofstream(folder / "stations.txt") << "100 key F2\n140 key F3\n180 key F4\n220 key F1\n260 quit\n";
    // The end key at WEP: the flight is over and its summary shows.
    std::ofstream(folder / "summary.txt") << "100 key F3\n140 key q\n200 quit\n";
    // The demonstration is won after half a minute: its summary and its
    // debrief's text.
    std::ofstream(folder / "debrief.txt") << "700 quit\n";
    // Without the first disc's film, Play asks for the disc.
    const fs::path probe = folder / "zqk/resource/video/m01_3.smk", aside = folder / "m01_3.smk";
    fs::rename(probe, aside);
    std::vector<std::string> traces;
    for (const auto& [table, args] : {std::pair<std::string, std::vector<std::string>>{"front", {"-w"}},
                                      {"credits", {"-w"}},
                                      {"options", {"-w"}},
                                      {"stations", {"-w", "mission01.scr"}},
                                      {"summary", {"-w", "mission01.scr"}},
                                      {"debrief", {"-w", "demo00.scr"}}}) {
        const fs::path file = folder / (table + ".trace");
        fs::remove(file);
        const GameRun run = RunGame(args,
                                    {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                                     "KELVANDRIST_FRAME_SECONDS=0.05", "ASAN_OPTIONS=detect_leaks=0",
                                     "KELVANDRIST_LOCK_DIR=" + folder.string(),
                                     "KELVANDRIST_INPUT=" + (folder / (table + ".txt")).string(),
                                     "KELVANDRIST_TRACE=" + file.string()},
                                    folder);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        std::ifstream in(file);
        traces.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (table == "front")
            fs::rename(aside, probe);
    }
    return traces;
}

// The screens a trace shows, with the texts drawn on each.
std::map<std::string, std::set<std::string>> ScreensShown(const std::string& trace)
{
    std::map<std::string, std::set<std::string>> screens;
    const std::regex screen(R"re(\d+ screen "(.*)")re"), text(R"re(\d+ text -?\d+ -?\d+ -?\d+ -?\d+ (".*"))re");
    std::istringstream lines(trace);
    std::string current;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, screen))
            screens[current = m[1]];
        else if (!current.empty() && std::regex_match(line, m, text))
            screens[current].insert(Unquote(m[1]));
    }
    return screens;
}

// The faults of every run's screens together; `shown` gets the screens
// the runs went through and the texts drawn on them.
std::set<std::string> CheckScreens(const fs::path& folder,
                                   std::map<std::string, std::set<std::string>>* shown = nullptr)
{
    const Layouts layouts = ReadLayouts(folder);
    const Fonts fonts(folder / "zqk/resource/fonts");
    std::set<std::string> faults;
    const std::vector<std::string> traces = TracesOfTheScreens(folder);
    for (const std::string& trace : traces)
        faults.merge(CheckLayouts(trace, layouts, fonts));
    if (shown)
        for (const std::string& trace : traces)
            for (auto& [screen, texts] : ScreensShown(trace))
                (*shown)[screen].merge(texts);
    return faults;
}

std::string Join(const std::set<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

} // namespace

TEST(LayoutCheck, EveryScreenOfTheDemoDataPasses)
{
    ScratchFolder scratch{"layoutcheck"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    std::map<std::string, std::set<std::string>> shown;
    const std::set<std::string> faults = CheckScreens(folder, &shown);
    EXPECT_TRUE(faults.empty()) << Join(faults);
    for (const char* screen : {"FrontHome", "FrontRoster", "FrontTime", "Confirm", "InsertCD", "FrontCredits",
                               "OptionScreen", "COM", "NAV", "WEP", "ENG"})
        EXPECT_TRUE(shown.count(screen)) << screen << " was not walked";
    // The questions are drawn whole, however long their line.
    EXPECT_TRUE(shown["Confirm"].count("Delete this career and start again?")) << Join(shown["Confirm"]);
    EXPECT_TRUE(shown["InsertCD"].count("Please insert disc 1.")) << Join(shown["InsertCD"]);
}

// One station button made too narrow for its caption: the check names the
// screen, the window and the pixels, where the layout as shipped has no
// such fault.
TEST(LayoutCheck, ACaptionTooLongForItsButtonIsNamedWithItsScreenAndPixels)
{
    ScratchFolder scratch{"layoutcheck_long"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    const std::set<std::string> before = CheckScreens(folder);
    const fs::path stations = folder / "zqk/resource/scripts/gui/stations.gui";
    std::ifstream in(stations);
    std::string layout((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::string wide = "WIN_BUTT TOP_L CMDDoc 0 510 52 120 ", narrow = "WIN_BUTT TOP_L CMDDoc 0 510 52 40 ";
    ASSERT_NE(layout.find(wide), std::string::npos);
    layout.replace(layout.find(wide), wide.size(), narrow);
    std::ofstream(stations) << layout;
    const std::set<std::string> after = CheckScreens(folder);
    const std::regex named(R"re(COM: "Documents" \(\d+,\d+\)-\(\d+,\d+\) reaches (\d+) pixels out of CMDDoc \(510,52\)-\(549,\d+\))re");
    int found = 0;
    for (const std::string& fault : after) {
        std::smatch m;
        if (std::regex_match(fault, m, named)) {
            EXPECT_GT(std::stoi(m[1]), 0);
            EXPECT_FALSE(before.count(fault)) << fault;
            ++found;
        }
    }
    EXPECT_EQ(found, 1) << Join(after);
}

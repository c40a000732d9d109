// The developers' script runner as a program on a copy of the demo tree
// (the shape loader writes its caches beside the shapes): the field dump of
// a mission (script_run -d) runs the mission's statements, shapes and all,
// with no display, and lists every ship the mission creates before it waits
// on the player. The tour missions (tests/e2e/tour) are flown to their end
// (script_run -f): each checks the effects of a handful of statements by
// its own branches and is won only when all of them held, and the test
// reads what the statements left in the field dump, the trace and the
// files written. The tours whose statements need the bridge's screens, the
// command view or the display are flown in the game instead.
#include "../script/script_test_support.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/script_run_program.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::filesystem::path kMissions = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/scripts/missions";
const std::filesystem::path kTours = std::filesystem::path(KV_SOURCE_DIR) / "tests/e2e/tour";

// The names of the ships a script creates: the first operand of each
// CREATE_SHIP statement.
std::set<std::string> CreatedShips(const std::filesystem::path& script)
{
    std::set<std::string> names;
    std::istringstream lines(ReadFileBytes(script));
    const std::regex create(R"(^\s*CREATE_SHIP\s+(\S+))");
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, create))
            names.insert(match[1]);
    return names;
}

// The symbols of the ships in a field dump.
std::set<std::string> DumpedShips(const std::string& dump)
{
    std::set<std::string> names;
    std::istringstream lines(dump);
    const std::regex ship(R"(^ship (\S+) kind )");
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, ship))
            names.insert(match[1]);
    return names;
}

} // namespace

// Each of these missions creates all its ships before its briefing.
TEST(ScriptRunProgram, TheFieldDumpOfAMissionListsEveryShipItCreates)
{
    ScratchFolder scratch{"scriptrun"};
    const std::filesystem::path data = CopyDemoData(scratch.Path());
    for (const char* mission : {"mission01.scr", "mission02.scr", "mission03.scr"}) {
        SCOPED_TRACE(mission);
        const std::set<std::string> created = CreatedShips(kMissions / mission);
        ASSERT_GE(created.size(), 4u); // the script was read
        const ProgramRun run = RunScriptRun(data, std::string("-d ") + mission);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find("\nend 100 stop "), std::string::npos) << run.out;
        EXPECT_EQ(DumpedShips(run.out), created) << run.out;
    }
}

// Mission 5's mine field: its six mines lie round the raider depot, each
// under its order to go for intruders, beside the defence net's guns and
// the gun platform in their own orders.
TEST(ScriptRunProgram, MissionFiveLaysItsMineFieldBesideTheNetAndThePlatform)
{
    ScratchFolder scratch{"scriptrun_minefield"};
    const std::filesystem::path data = CopyDemoData(scratch.Path());
    const ProgramRun run = RunScriptRun(data, "-f -n 3 -d mission05.scr");
    ASSERT_EQ(run.status, 0) << run.out;
    std::istringstream lines(run.out);
    const std::regex mine(R"(^ship - kind 11 \(Mine\))");
    const std::regex position(R"(^  position (-?[\d.]+) (-?[\d.]+) (-?[\d.]+))");
    int mines = 0;
    bool inMine = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line.rfind("ship ", 0) == 0)
            inMine = std::regex_search(line, mine);
        if (inMine && std::regex_search(line, m, position)) {
            ++mines;
            // Within the field's radii of its centre by the depot.
            EXPECT_LT(std::fabs(std::stod(m[1]) - 450000.0), 120001.0) << line;
            EXPECT_LT(std::fabs(std::stod(m[3]) - 600000.0), 120001.0) << line;
        }
    }
    EXPECT_EQ(mines, 6) << run.out;
    EXPECT_NE(run.out.find("\"DismantleIntruders\""), std::string::npos);
    EXPECT_NE(run.out.find("slot 1 \"IndieDefNetGun\""), std::string::npos);
    EXPECT_NE(run.out.find("slot 1 \"NavyGunPlatform\""), std::string::npos);
}

namespace {

struct Tour {
    const char* name;                    // tests/e2e/tour/tour_<name>.scr
    const char* keywords;                // the statements it shows at work, each of which must run
    std::vector<const char*> dump = {};  // patterns the field dump at its end must hold
    std::vector<const char*> trace = {}; // patterns the game's trace must hold
    // Files it writes in the data folder, each with the bytes it must start
    // with (none: any that is not empty).
    std::vector<std::pair<const char*, std::string>> files = {};
};

// The keywords of the statements that ran, as the flight's statement trace
// ("<frame> <file>(<line>) <keyword>") names them.
std::set<std::string> TracedKeywords(const std::string& trace)
{
    std::set<std::string> keywords;
    std::istringstream lines(trace);
    const std::regex statement(R"(^\d+ \S+\(\d+\) (\w+))");
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, statement))
            keywords.insert(match[1]);
    return keywords;
}

const std::string kCutPcxHeader{"\x0a\x05\x01\x08\0\0\0\0\x0f\0\x07\0", 12};

class ScriptRunTour : public ::testing::TestWithParam<Tour> {};

} // namespace

TEST_P(ScriptRunTour, IsWonWithEveryStatementRun)
{
    const Tour& tour = GetParam();
    ScratchFolder scratch{"tour"};
    const std::filesystem::path data = CopyDemoData(scratch.Path());
    const std::string file = std::string("tour_") + tour.name + ".scr";
    std::filesystem::copy_file(kTours / file, data / "zqk/resource/scripts/missions" / file);
    const std::filesystem::path events = scratch.Path() / "trace.txt";
    const ProgramRun run = RunScriptRun(data, "-f -v -d -k 60 -n 20000 " + file, "KELVANDRIST_TRACE='" + events.string() + "' ");
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_GE(run.out.size(), 8u) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 8), "SUCCESS\n") << run.out;
    const std::set<std::string> ran = TracedKeywords(run.out);
    std::istringstream expected(tour.keywords);
    for (std::string keyword; expected >> keyword;)
        EXPECT_TRUE(ran.count(keyword)) << keyword << " did not run";
    for (const char* pattern : tour.dump)
        EXPECT_TRUE(std::regex_search(run.out, std::regex(pattern))) << pattern << "\n"
                                                                     << run.out;
    const std::string eventLines = ReadFileBytes(events);
    for (const char* pattern : tour.trace)
        EXPECT_TRUE(std::regex_search(eventLines, std::regex(pattern))) << pattern << "\n"
                                                                        << eventLines;
    for (const auto& [name, start] : tour.files) {
        const std::string bytes = ReadFileBytes(data / name);
        EXPECT_FALSE(bytes.empty()) << name << " was not written";
        EXPECT_EQ(bytes.substr(0, start.size()), start) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tours, ScriptRunTour,
    ::testing::Values(Tour{"flow", "BEGIN SET_MORE_BY_DIFFICULTY SET_LESS_BY_DIFFICULTY ADD SUB BEQ BNE SET_INC DECBNE "
                                   "DECBEQ BRA_IF_NOT RAND RANDS CALL CALL_IF CALL_IF_NOT CALL_ONCE CALL_ONCE_IF_NOT "
                                   "TIMER_SET WAIT WAIT_IF_NOT CALL_WHEN CALL_ONCE_WHEN CALL_WHEN_NOT "
                                   "CALL_ONCE_WHEN_NOT"},
                      Tour{"ships",
                           "NEW_GROUP GROUP GROUP_LEADER GET_LEADER UNLEADER CREATE SHIP SHIP_SILENT NAME_INC PLACE_INC "
                           "NEW_ALLEG ADD_SENSE CLR_SENSE FIRST_SCN NEXT_SCN SET_SHIP_CLOCK RANK SKILL SHIP_SCORE "
                           "ALLEG_SCORE REPAIRS NO_UNDOCK REMOTE_OK FTLSOURCE ANNOUNCE DEBUG",
                           {// NAME_INC's second name, PLACE_INC's second place (hundreds of metres).
                            R"(ship hulk kind 1 \(Freighter\) name "Beta")",
                            R"(ship hulk [^\n]*\n[^\n]*\n[^\n]*\n  position 4000\.0 0\.0 0\.0)",
                            // NO_UNDOCK's and REMOTE_OK's Sim flags.
                            R"(ship hulk [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x.[89a-f])",
                            R"(ship wing [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x[13579bdf])",
                            R"(ship lead [^\n]*\n  side 1 group \d+ leader - leaderflag \d rank 5 )",
                            R"(ship wing [^\n]*\n  side 1 group 1000 leader \S+ leaderflag 0 rank 3 skill 80\n)"}},
                      Tour{"places",
                           "PLACE RELATIVE ABSOLUTE PLACE_BETWEEN PLACE_BEHIND PLACE_RANDOM PLACE_IN_ORBIT ROT ORIENT "
                           "NOCONTACT CONTROL VEL VEL_TOWARDS INDESTRUCT DSHIELD CREATE SET_MODEL FLIP ADDCHILD ADDMOTOR",
                           {// PLACE; b's quarter turn (ROT).
                            R"(ship b [^\n]*\n[^\n]*\n[^\n]*\n  position 100000\.0 0\.0 0\.0 [^\n]*\n)"
                            R"(  axes 0\.000 0\.000 -1\.000 / 0\.000 1\.000 0\.000 / 1\.000 0\.000 0\.000)",
                            // 200 above b (RELATIVE), then b's turn about the origin (ORIENT).
                            R"(ship near [^\n]*\n[^\n]*\n[^\n]*\n  position 0\.0 20000\.0 -100000\.0 [^\n]*\n)"
                            R"(  axes 0\.000 0\.000 -1\.000)",
                            // 300 out from a's surface, facing b.
                            R"(ship far [^\n]*\n[^\n]*\n[^\n]*\n  position 3\d{4}\.\d 0\.0 0\.0 )",
                            // Square to the line a-b, an altitude unit and half a's radius out.
                            R"(ship orbiter [^\n]*\n[^\n]*\n[^\n]*\n  position 0\.0 0\.0 100\d{3}\.\d )",
                            // About a second at 1000 (VEL) and at 2000 towards b (VEL_TOWARDS),
                            // no control routine (CONTROL).
                            R"(ship drift [^\n]*\n[^\n]*\n[^\n]*control none[^\n]*\n  position 0\.0 0\.0 -(99[01]|98[89])\d\d\.\d )",
                            R"(ship towards [^\n]*\n[^\n]*\n[^\n]*control none[^\n]*\n  position 100000\.0 0\.0 -(98[01]|97[89])\d\d\.\d )",
                            // INDESTRUCT's and DSHIELD's Sim flags.
                            R"(ship towards [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x..8.4...)"}},
                      Tour{"fate",
                           "REPAIRS PLAYER_DAMAGE SHIP_SYSKILL SET_SHIP_TYPE DISRUPT NO_LDS SPAWN DESTROY SET_MAX_EXTRAS "
                           "FIXED_AST COUNT_SHOOTINGS",
                           {// SET_SHIP_TYPE.
                            R"(ship target kind 7 \(C-Fighter\))",
                            // DISRUPT's brake and NO_LDS's bar.
                            R"(ship braked [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x.22)",
                            // 200 ahead of the carrier, then moving away at 50.
                            R"(ship launched [^\n]*\n[^\n]*\n[^\n]*\n  position -40000\.0 0\.0 2\d{4}\.\d )"}},
                      Tour{"models",
                           "SIZE SCALE SCALE_ONCE SLIDE REFLECT MATERL COLOUR WIREFR",
                           {// Each marker 10000 beyond its ship's surface; unedited, the three
                            // models' ships have radii of 1831, 1893 and 1333.
                            R"(ship mark1 [^\n]*\n[^\n]*\n[^\n]*\n  position 129\d\d\.\d 0\.0 0\.0 )",
                            R"(ship mark2 [^\n]*\n[^\n]*\n[^\n]*\n  position 147\d\d\.\d )",
                            R"(ship mark3 [^\n]*\n[^\n]*\n[^\n]*\n  position 129\d\d\.\d )",
                            R"(ship mark4 [^\n]*\n[^\n]*\n[^\n]*\n  position 139\d\d\.\d )"}},
                      Tour{"world",
                           "WAYPT COUNT_WAYPTS ATTACH_WAYPT LAGRANGE FIND_PLANET ALIENDEV ASTEROID MACROOB ATTACH_SINK "
                           "ATTACH_LDS_FIELD ADD_VITAL REMOVE_VITAL SHATTER DINK STATIC VENT ADDCHAOSEFFECT LDA",
                           {// The sink's and the field's own collision responses.
                            R"(ship sink [^\n]*\n[^\n]*\n  sense [^\n]*collision other)",
                            R"(ship field [^\n]*\n[^\n]*\n  sense [^\n]*collision other)",
                            // SHATTER's pieces, nameless and passive.
                            R"(ship - kind 8 \(S-Fighter\) name "Spare"[^\n]*\n[^\n]*\n[^\n]*tail 1 )"}},
                      Tour{"gear",
                           "DEC_OBJV SET_OBJV_IF SET_OBJV_IF_NOT TIME_OBJV LIGHT LIGHTS PLAYSOUND ATTACH_SND DO_WHEN "
                           "PLAY_WHEN",
                           {// LIGHTS OFF lets the corvette's engine stop.
                            R"(ship hero [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x[0-9a-f]{6}[2367abef])"}},
                      Tour{"config",
                           "MODEL 3DP 2DMODEL WINDOW ORDERNAME COPY_SCN LOAD LOCK UNLOCK UNLOAD PASSIVE PERMANENT "
                           "SIM_PRIORITY DEFINE LOD_SWAP INIT_VAR GAMMA CONSOLE ENGINEERING DIALOGUEDIR",
                           {// SIM_PRIORITY puts b ahead of c, which the list would hold first;
                            // PASSIVE moves a to the tail group.
                            R"(ship b [^\n]*\n(  [^\n]*\n)*ship c [^\n]*\n(  [^\n]*\n)*ship a [^\n]*\n[^\n]*\n[^\n]*tail 1 )"}},
                      // Conditions run inside the statements that ask them: the trace names the
                      // statements, and the tour is won only when each answered as it should.
                      Tour{"senses", "BRA_IF BRA_IF_NOT WAIT_IF"},
                      // The panel's shapes: no ship line shows them, the run shows they hold.
                      Tour{"map", "2DMODEL 2DOBJ LINK_OBJ PLACE RELOC_OBJ VIEW_OBJ"},
                      Tour{"stars", "GENESIS RECSYSTEM LOCATION SET_TARG_LP MOTHERSHIP"},
                      // The pictures cut are 16 x 8 PCX files of 8 bits a pixel, run-length
                      // coded: maker 10, version 5, coding 1, 8 bits, corners (0, 0) and (15, 7).
                      Tour{"tools",
                           "GRABRAST SAVERAST CHOOSEFNT SAVEFNT SPHMAP CYLMAP PLNMAP ROTX90 SAVEMODEL LOADMAP",
                           {},
                           {},
                           {{"tourcut.pcx", kCutPcxHeader},
                            {"tourplain.pcx", kCutPcxHeader},
                            {"tourfull.fnt", ""},
                            {"tourhalf.fnt", ""},
                            {"tourflat.hxm", ""}}},
                      // Each window made (the pop-up line is nameless), in the game's trace.
                      Tour{"windows",
                           "WIN_BOX WIN_TEXT WINHELP WIN_LOGGER WIN_PROFILE WIN_DIALOG WIN_CLONE WIN_POPUP WIN_DESTROY",
                           {},
                           {R"(window\+ "tourbox")", R"(window\+ "tourtext")", R"(window\+ "tourlog")",
                            R"(window\+ "tourprofile")", R"(window\+ "tourtalk")", R"(window\+ "tourcopy")",
                            R"(window\+ "-")"}},
                      // Each mount's flags (0x100 empty, 0x2000 charges), load (rounds, magazine
                      // size, spare magazines), charges and system.
                      Tour{"weapons",
                           "WEAPON WEPSYSLINK WEPLOADOUT WEAPON_LOAD RAPIDFIRE",
                           {R"(  weapon 1 kind 0 flags 0x2[02468ace][0-9a-f]{2} load 0 0 0 charges 25\.0 system FWD PBC\n)",
                            R"(  weapon 2 kind 0 flags 0x[0-9a-f]?[13579bdf][0-9a-f]{2} load 0 0 0 charges 0\.0 system -\n)",
                            R"(  weapon 3 kind 5 flags 0x[0-9a-f]?[02468ace][0-9a-f]{2} load 3 \d+ 2 )",
                            R"(  weapon 4 kind 5 flags 0x[0-9a-f]?[02468ace][0-9a-f]{2} load (\d+) \1 6 )"}},
                      Tour{"orders",
                           "ORDER ASSERT_ORDER CANCEL_ORDER TARGET NAVTARGET IGNORE_NAV IGNORE_WEP PLAYER_ORDER",
                           {// ASSERT_ORDER's slot current; CANCEL_ORDER's slot named, without evaluator
                            // or state; IGNORE_NAV took the tender's navigation target only.
                            R"(ship tender [^\n]*\n(  [^\n]*\n)*  orders current 3\n[^\n]*\n[^\n]*\n)"
                            R"(    slot 2 "Loiter" weight 5 none 0 0 state 0 0 0 0\n[^\n]*\n  targets decoy - -\n)",
                            // IGNORE_WEP took the sentry's target only.
                            R"(ship sentry [^\n]*\n(  [^\n]*\n)*  targets - - flare\n)",
                            // PLAYER_ORDER: slot 1 of the player's ship, its target, computer
                            // control (Sim flag 4) and LDS (2); OFF winds the LDS down.
                            R"(ship hero [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x[0-9a-f]{7}[67ef] [^\n]*\n)"
                            R"(  position [^\n]* spool -\d+ [^\n]*\n(  [^\n]*\n)*    slot 1 "StayNear" weight 80 )"
                            R"([^\n]*\n  targets decoy )"}},
                      Tour{"docking",
                           "DOCKPT DOCK_MODEL DOCK NO_UNDOCK UNDOCK DOCK_READY DOCK_UNREADY MONOLINK",
                           {// DOCK_READY opened point 1 with the hand-over flag (0x10 | 0x8);
                            // DOCK_UNREADY closed point 0, which keeps DOCK_DISAPPEAR's 0x20.
                            R"(ship depot [^\n]*\n(  [^\n]*\n)*  dock 0 flags 0x20 [^\n]*\n  dock 1 flags 0x18 )",
                            // UNDOCK cleared the tug's no-undock Sim flag (0x8000000).
                            R"(ship tug [^\n]*\n[^\n]*\n  sense \S+ item \S+ sim 0x[0-9a-f][0-7])",
                            // DOCK_MODEL's model; the bow merged into the stern.
                            R"(ship stern [^\n]*\n(  [^\n]*\n)*  dock 0 flags 0x10 mask 16 kind 0 model yes )",
                            R"(ship pod1 [^\n]*\n(  [^\n]*\n)*  position \d+\.\d 0\.0 0\.0 )",
                            // MONOLINK: the ferry steers by its pods, which ride on it.
                            R"(ship ferry [^\n]*\n[^\n]*\n[^\n]*control other [^\n]*\n(  [^\n]*\n)*  targets pod1 pod2 -\n)"}},
                      Tour{"sky",
                           "PLANET PLACE CORPSE",
                           {// Each body where PLACE put it (hundreds of metres), its radius from its
                            // size: half the size in units of 200000, the sun's as the planet's.
                            R"(\nitem world control none position 0\.0 0\.0 90000000\.0 radius 4000000\.0\n)",
                            R"(\nitem star control none position 0\.0 500000000\.0 0\.0 radius 9000000\.0\n)",
                            // The wreck's body, nameless, tumbling away from where the fighter is.
                            R"(\nitem - control none position -?\d+\.\d -?\d+\.\d (19|20)\d{3}\.\d radius )"}}),
    [](const ::testing::TestParamInfo<Tour>& info) { return std::string(info.param.name); });

// MAPFNT: the font saved after it is the one saved before with only its
// glyphs' colours changed: the same size, the same header, other pixels.
TEST(ScriptRunTourFiles, TheDisplayTourRecoloursItsFont)
{
    ScratchFolder scratch{"tour_display"};
    const std::filesystem::path data = CopyDemoData(scratch.Path());
    std::filesystem::copy_file(kTours / "tour_display.scr", data / "zqk/resource/scripts/missions/tour_display.scr");
    const ProgramRun run = RunScriptRun(data, "-f -v tour_display.scr");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(") MAPFNT\n"), std::string::npos) << run.out;
    const std::string before = ReadFileBytes(data / "tourfont.fnt");
    const std::string after = ReadFileBytes(data / "tourredfont.fnt");
    ASSERT_GT(before.size(), 1000u);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, 64), before.substr(0, 64));
    EXPECT_NE(after, before);
}

namespace {

// Flies a tour in the game, for the statements that need what only the
// game has (the bridge's screens, the command view that plays a briefing's
// clip, the full-screen film), for 100 frames; returns its trace.
// `table` is the input table's lines before its "100 quit", `switches` the
// game's switches after -w.
std::string FlyTourInTheGame(const ScratchFolder& scratch, const char* name, const std::string& table = "",
                             const std::string& switches = "")
{
    const std::filesystem::path data = CopyDemoData(scratch.Path());
    const std::string file = std::string("tour_") + name + ".scr";
    std::filesystem::copy_file(kTours / file, data / "zqk/resource/scripts/missions" / file);
    std::ofstream(data / "table.txt") << table << "100 quit\n";
    const GameRun run = RunGame({"-w" + switches, file},
                                {"KELVANDRIST_LOCK_DIR=" + data.string(), "SDL_VIDEODRIVER=dummy",
                                 "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                                 "KELVANDRIST_INPUT=" + (data / "table.txt").string(),
                                 "KELVANDRIST_TRACE=" + (data / "trace.txt").string()},
                                data);
    EXPECT_EQ(run.hung, "") << run.output;
    return ReadFileBytes(data / "trace.txt");
}

} // namespace

// The screens tour: its windows are made, SCREEN_USE brings up the weapons
// station, the director's shot takes the view outside at the navigation
// station, and the mission is won.
TEST(ScriptRunTourInTheGame, TheScreensTourMakesItsWindowsAndChangesScreens)
{
    ScratchFolder scratch{"tour_screens"};
    const std::string trace = FlyTourInTheGame(scratch, "screens");
    // WIN_3D, WIN_3D_WIRE, WIN_VIDEO with its film, WIN_OVERLAY, and WIN_SYSTEM's
    // row of eight elements.
    for (const char* made : {R"(window\+ "tourview" 0 0 0 639 299\n)", R"(window\+ "tourwire" 0 440 310 639 479\n)",
                             R"(film "zqk\\\\resource\\\\video\\\\plasma\.smk"\n\d+ window\+ "tourfilm" )",
                             R"(window\+ "tourover" )", R"((window\+ "tourpower" [^\n]*\n[^\n]*){8})"})
        EXPECT_TRUE(std::regex_search(trace, std::regex(made))) << made;
    EXPECT_TRUE(std::regex_search(trace, std::regex(R"(\n\d+ screen "WEP"\n\d+ screen "NAV"\n)"))) << trace.substr(0, 4000);
    EXPECT_NE(trace.find("log \"Mission complete."), std::string::npos);
}

// The media tour: the briefing's clip plays in the command view and the
// section that waits on it ends; the films named by their leaf in the
// video folder (VIDEODIR) and by a resource play full screen, the film
// window plays its film (PLAYAVI); the monologue is typed and waited out.
TEST(ScriptRunTourInTheGame, TheMediaTourPlaysItsFilmsAndItsMonologue)
{
    ScratchFolder scratch{"tour_media"};
    const std::string trace = FlyTourInTheGame(scratch, "media");
    const std::regex order(R"(\d+ clip "zqk\\\\resource\\\\video\\\\m01_3\.smk"\n[\s\S]*)"
                           R"(\d+ film "CmdLft1\.smk"\n[\s\S]*)"
                           R"(\d+ film "zqk\\\\resource\\\\video\\\\plasma\.smk"\n[\s\S]*)"
                           R"(\d+ film-window "zqk\\\\resource\\\\video\\\\entry\.smk"\n[\s\S]*)"
                           R"(\d+ log "0:\d\d Captain, the hauler Atlas [^\n]*\n[\s\S]*)"
                           R"(\d+ log "Mission complete\.)");
    EXPECT_TRUE(std::regex_search(trace, order)) << trace.substr(0, 6000);
}

// The look tour: ROOTDIR names the data folder again and the shapes are
// still found: CONVERT2PTS writes the fighter's points as text (with
// "debugfile" its closing note goes to the log, not a box); SETVID keeps
// the 640 x 480 mode; SETPALETTE's palette shows in the frames, whose black
// background turns the front end palette's first colour; FULLSCREEN and
// the mission is won.
TEST(ScriptRunTourInTheGame, TheLookTourWritesItsPointsAndShowsItsPalette)
{
    ScratchFolder scratch{"tour_look"};
    const std::filesystem::path data = scratch.Path();
    const std::string trace = FlyTourInTheGame(
        scratch, "look", "30 shot " + (data / "game.ppm").string() + "\n52 shot " + (data / "front.ppm").string() + "\n",
        ",-debugfile");
    EXPECT_NE(trace.find("log \"Mission complete."), std::string::npos);
    const std::string points = ReadFileBytes(data / "tourpoints.txt");
    EXPECT_TRUE(std::regex_search(points, std::regex(R"(^(-?\d+,-?\d+,-?\d+, ){20})"))) << points;
    // The top left pixel of each frame, past the PPM header of a 640 x 480
    // picture.
    const std::string header = "P6\n640 480\n255\n";
    for (const auto& [shot, colour] : {std::pair{"game.ppm", std::string("\0\0\0", 3)},
                                       std::pair{"front.ppm", std::string("\0\x08\x28", 3)}}) {
        const std::string picture = ReadFileBytes(data / shot);
        ASSERT_EQ(picture.substr(0, header.size()), header) << shot;
        EXPECT_EQ(picture.substr(header.size(), 3), colour) << shot;
    }
}

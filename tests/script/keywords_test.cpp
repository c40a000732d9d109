// The keyword table against the vocabulary as written down for modders: every
// name with its id, in order, aliases included; and the hash lookup against
// a plain linear search of the table.
#include "script/keywords.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One line per group: "NAME id" pairs separated by ", "; "A / B id" is an alias pair.
constexpr const char* kVocabulary = R"(LBM2PALETTE 2, LBM2RAST 3, PCX2PALETTE 5, PCX2RAST 6, PCX2BACKRAST 7, CM2COLOURMAP 8, FNT2RFONT 9, FON2RFONT 10, RVF2VFONT 11, ASC2HXM 12, DAT2HXM 13, SCR2AVT 14, TXT2TXT 15, LWO2HXM 16, LWO2WRI 17, HXVIDEO 18, AVI 19, WAV2SND 20
MODEL 22, SCENEITEM 23, 3DP 24, VAR 25, WINDOW 26, RESOURCE 27, DEFINE 28, ORDERNAME 29, 2DMODEL 30
REGISTER 31, LOAD 32, UNLOAD 33, LOCK 34, UNLOCK 35, REGLOAD 36, LOADMAP 37, GRABRAST 38, SAVERAST 39, STRING 40, MAPFNT 41, CHOOSEFNT 42, SAVEFNT 43, ENGINEERING 44, GENESIS 45, SETVID 46, FULLSCREEN 47, SETPALETTE 48, TRANSTAB 49, GAMMA 50, WINHELP 51
WIN_BOX 52, WIN_RECT 53, WIN_3D 54, WIN_3D_WIRE 55, WIN_VIDEO 56, WIN_RAST 57, WIN_OVERLAY 58, WIN_SWITCH 59, WIN_STRNG 60, WIN_TEXT 61, WIN_BUTT 62, WIN_INVIS 63, WIN_METER 64, WIN_SYSTEM 65, WIN_LOGGER 66, WIN_PROFILE 67, WIN_CARD 68, WIN_FONT 69, WIN_DESTROY 70, WIN_POPUP 71, WIN_DIALOG 72, WIN_MAIN 73, WIN_CLONE 74
SCREEN_BEGIN 75, SCREEN_END 76, SCREEN_USE 77
TOP_L 78, TOP_R 79, BOT_L 80, BOT_R 81, REL 82, CLIP 83, CNTR 84, BAR_VERT 85, BAR_HORIZ 86, BAR_CVERT 87, BAR_CHORIZ 88, XYDEV 89, NUMERIC 90
COPY_SCN 91, ABSOLUTE 92, RELATIVE 93, PASSIVE 94, PERMANENT 95, SIM_PRIORITY 96, LOD_SWAP 97
CREATE 98, CONTROL 99, SET_MODEL 100, PLANET 101, FIND_PLANET 102, PLAYER 103, INDESTRUCT 104, DSHIELD 105, PLACE 106, ORIENT 107, NOCONTACT 108, PLACE_IN_ORBIT 109, PLACE_BETWEEN 110, PLACE_BEHIND 111, PLACE_RANDOM 112, BOUNDS_BOX 113, MAKE_BOUNDS_BOX 114, VEL 115, VEL_TOWARDS 116, ROT 117, FLIP 118, ADDCHILD 119, ADDMOTOR 120, CAMERA 121, DIRECTOR 122, SIZE 123, SCALE 124, SCALE_ONCE 125, SLIDE 126, REFLECT 127, ROTX90 128, SPHMAP 129, CYLMAP 130, PLNMAP 131, MATERL 132, COLOUR 133, WIREFR 134, NEBMODEL 135, ADDCHAOSEFFECT 136, MACROOB 137, ATTACH_LDS_FIELD 138, ATTACH_SINK 139, SHATTER 140, SAVEMODEL 141, STARFIELD 142, VENT 143, CORPSE 144, 2DOBJ 145, LINK_OBJ 146, VIEW_OBJ 147, RELOC_OBJ 148, SCHEMATIC 149, CONVERT2PTS 150
CONTROL_NULL 151, CONTROL_MAIN 152, CONTROL_TEST 153, CONTROL_AI 154, CONTROL_AIFREE 155, CONTROL_FREE 156
SIM_NULL 158, SIM_MAIN 159, SIM_ENG 160, SIM_CHAOS 161, SIM_STARGATE 162
CAM_FIXED 164, CAM_TRACK 165, CAM_CHASE 166, CAM_PLAYER 167, CAM_CONTACT 168, CAM_PURSUIT 169
LOCATION 170, DISRUPT 171, ADD_VITAL 172, REMOVE_VITAL 173, SHIP 174, SHIP_SILENT 175, ANNOUNCE 176, NAME_INC 177, PLACE_INC 178, CREATE_SHIP 179, SET_SHIP_TYPE 180, SET_MAX_EXTRAS 181, SPAWN 182
NEUTRAL 183, NAVY 184, INDIE 185, BLACK 186, ALIEN 187, EXERCISE 188, ALLIANCE 189
ENGINE 191, SHINFO 192, LIGHT 193, LIGHTS 194, DOCKPT 195, RANK 196, FTLSOURCE 197, SKILL 198, SHIP_SCORE 199, ALLEG_SCORE 200, DOCK_MODEL 201, WEAPON 202, WEAPON_LOAD 203, WEPSYSLINK 204, RAPIDFIRE 205, WEPLOADOUT 206, DOCK 207, UNDOCK 208, DOCK_READY 209, DOCK_UNREADY 210, MONOLINK 211, SET_SHIP_CLOCK 212, LDA 213, ORDER 214, ORDER_PARAMS 215, PLAYER_ORDER 216, ASSERT_ORDER 217, CANCEL_ORDER 218, TARGET / WEPTARGET 219, NAVTARGET 220, IGNORE_NAV 221, IGNORE_WEP 222, WAYPT 223, ATTACH_WAYPT 224, COUNT_WAYPTS 225, LAGRANGE 226, SYSTEM 227, RECSYSTEM 228, SET_TARG_LP 229, PLAYER_DAMAGE 230, REPAIRS 231, NO_UNDOCK 232, REMOTE_OK 233, SHIP_SYSKILL 234, DESTROY 235
DIALOGUE 236, MONOLOGUE 237, DEC_OBJV 238, SCORE_OBJV 239, TIME_OBJV 240, SET_OBJV 241, SET_OBJV_IF 242, SET_OBJV_IF_NOT 243, SHOW_OBJV 244, HUD_STRING 245, PLAYSOUND 246, ATTACH_SND 247, DO_WHEN 248, CALL_WHEN 249, CALL_ONCE_WHEN 250, CALL_WHEN_NOT 251, CALL_ONCE_WHEN_NOT 252, PLAY_WHEN 253
GROUP 254, NEW_GROUP / NEWGROUP 255, GROUP_LEADER 256, UNLEADER 257, GET_LEADER 258, DINK 259, STATIC 260, FIXED_AST 261, ASTEROID 262, NO_LDS 263, SUCCESS 264, FAILURE 265, OUTCOME 266, MOTHERSHIP 267
EMIT_DRONE 268, EMIT_FIGHTER 269, EMIT_ARMED 270, EMIT_CARGO 271, EMIT_FREIGHTER 272, EMIT_MOTHERSHIP 273
CORVETTE 275, FREIGHTER 276, COMMAND 277, HCORVETTE 278, TRANSPORT 279, CRUISER 280, PATCOM 281, CFIGHTER 282, SFIGHTER 283, TUG 284, MISSILE 285, MINE 286, DRONE 287, STATION 288, DESTROYER 289, CARRIER 290, COMMRELAY 291, GUNBASE 292, RING 293
SN_DEBRIS 295, SN_MANUFACTURED 296, SN_STARSHIP 297, SN_BASE 298, SN_MISSILE 299, SN_PROJECTILE 300, SN_NEUTRAL 301, SN_COMMONWEALTH / SN_NAVY 302, SN_INDEPENDENT / SN_INDIE 303, SN_BLACKSHIPS / SN_BLACK 304, SN_ALIEN 305, SN_EXERCISE 306, SN_ALLIANCE 307, SN_DAMAGED 308, SN_DUMMY 309, SN_OFFENSIVE 310, SN_TRANSPORT 311, SN_LIGHT 312, SN_CARGO 313, SN_CARRIER 314, SN_SERVICE 315, SN_CIVILLIAN 316, SN_WAYPOINT 317, SN_LAGRANGE 319, SN_PLANET 320, SN_CRIPPLED 321, SN_RUNNING_AWAY 322, SN_FACTION_ONE 323, SN_FACTION_TWO 324, SN_LEPER 325
DEBUG 327, ADD_SENSE 328, CLR_SENSE 329, NEW_ALLEG 330, ALIENDEV 331, BRF_DECLARE 332, BRF_BEGIN 333, BRF_SECT 334, BRF_VIDEO 335, BRF_PAUSE 336, BRF_WAITTEXT 337, BRF_WAITVIDEO 338, BRF_END 339
NEW 340, FAIL 341, DONE 342
AT_DISMANTLE 344, AT_DAMAGE 345, AT_EMG_CAPS 346, AT_ENT_CAPS 347, AT_ESCAPE_POD 348, AT_DOCKED 349, AT_UNDOCKED 350, AT_IMPACT 351, AT_LEFTBEHIND 352, AT_EMG_LDS 353, AT_ENT_LDS 354
AF_ADD_VENT 356, AF_ANTIMATTER_EXP 357, AF_CARRIER_DOCK 358, AF_STARGATE 359, AF_BIG_ANTIMATTER_EXP 360
COMBAT 362, DEFENSE 363, RETALIATION 364, RUN_AWAY 365, RECKLESS 366, RESUPPLY 367
BEAMCANN 369, HEAVYBEAMCANN 370, LIGHTBEAMCANN 371, GATLEBEAMCANN 372, LONGBEAMCANN 373, MISSLNCH 374, LDS_SEEK 375, PROBE 376, ANTIMATTER 377, CHAOS 378, PBCXL 379, PROXMINE 380, SLOWBEAMCANN 381, RECON 382, REM_MISSILE 383, ECMFLARE 384, DISRUPTOR 385
ARC_FWD 387, ARC_FWD_LFT 388, ARC_LFT 389, ARC_AFT_LFT 390, ARC_AFT 391, ARC_AFT_RHT 392, ARC_RHT 393, ARC_FWD_RHT 394, ARC_COMPLETE 395, ARC_60 396, ARC_WIDE 397, ARC_TIGHT 398, ARC_30 399, ARC_UPPER 400, ARC_LOWER 401, ARC_FULL 402, ARC_MEDIUM 403, ARC_NORM 404
DOCKTYPE_UNIVERSAL 405, DOCKTYPE_COMMAND 406, DOCK_OVERRIDE 407, DOCK_DISAPPEAR 408, DOCK_DISAPPEAR_INVIS 409, DOCK_NORMAL 410
BEGIN 412, END 413, BRA 414, BEQ 415, BNE 416, DECBEQ 417, DECBNE 418, BRA_IF 419, BRA_IF_NOT 420, RETURN 421, CALL 422, CALL_ONCE 423, CALL_IF 424, CALL_IF_NOT 425, CALL_ONCE_IF_NOT 426, CALL_ONCE_IF 427
NEARTO 429, FARFROM 430, ALT_LOWER 431, VELMATCH 432, DESTROYED 433, ATTACKED 434, INSYSTEM 435, IMPACTS_GT 436, AUTOPILOT 437, IS_TARGET 438, WAYPTCOUNT_EQ 439, DOCKED 440, UNDOCKED 441, PLAYER_LINKED 442, DAMAGE_LT 443, DAMAGE_GT 444, SYS_OUT 445, EMIT_GT 446, LOOKING_AT 447, DIALOGUE_OVER 448, SHIPCOUNT_LT 449, SENSECOUNT_LT 450, GROUPCOUNT_LT 451, NOSHIPS 452, NONETOBRINGIN 453, VALID_SCN 454, SCN_SENSE 455, TOWED_BY 456, CONTACT 457, TIMER_OUT 458, TIMER_LT 459, SHIP_CLOCK 460, SHIP_TYPE 461, IN_GROUP 462, HASFIRED 463, EQUAL 464, GT 465, IN_LDS 466, PROBED 467, OBJV 468, REMLINK 469, WEAPON_EMPTY 470
AND 472, OR 473
WAIT 475, WAIT_TIME 476, WAIT_IF / WAIT_UNTIL 477, WAIT_IF_NOT / WAIT_UNTIL_NOT 478
SET 479, SET_MORE_BY_DIFFICULTY 480, SET_LESS_BY_DIFFICULTY 481, SET_INC 482, ADD 483, SUB 484, RAND 485, RANDS 486, FIRST_SCN 487, NEXT_SCN 488, COUNT_SHOOTINGS 489, TIMER_SET 490
ON 491, OFF 492, NEG 493, POS 494, HIT 495, KILLED 496
CONSOLE 501, BRIEFING 502, PLAYVIDEO 503, PLAYAVI 504, ROOTDIR 505, VIDEODIR 506, DIALOGUEDIR 507, INIT_VAR 508, BINDKEY 509, BINDKEYTHR 510, ENGLISH 511, FRENCH 512, GERMAN 513)";

struct Pair {
    std::string name;
    uint32_t id;
};

std::vector<Pair> ParseVocabulary()
{
    std::vector<Pair> pairs;
    std::istringstream lines(kVocabulary);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t start = 0;
        while (start < line.size()) {
            std::size_t end = line.find(", ", start);
            if (end == std::string::npos)
                end = line.size();
            std::string item = line.substr(start, end - start);
            std::size_t space = item.rfind(' ');
            uint32_t id = static_cast<uint32_t>(std::stoul(item.substr(space + 1)));
            std::string names = item.substr(0, space);
            std::size_t slash = names.find(" / ");
            if (slash == std::string::npos) {
                pairs.push_back({names, id});
            } else {
                pairs.push_back({names.substr(0, slash), id});
                pairs.push_back({names.substr(slash + 3), id});
            }
            start = end + 2;
        }
    }
    return pairs;
}

uint32_t LinearLookup(const std::string& word)
{
    for (const KeywordRow& row : KeywordTable()) {
        if (!row.name)
            break;
        if (word == row.name)
            return row.id;
    }
    return 0;
}

} // namespace

TEST(KeywordTable, MatchesTheVocabularyRowByRow)
{
    std::vector<Pair> expected = ParseVocabulary();
    ASSERT_EQ(expected.size(), 497u);
    auto table = KeywordTable();
    ASSERT_EQ(table.size(), 498u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_NE(table[i].name, nullptr) << "row " << i;
        EXPECT_EQ(table[i].name, expected[i].name) << "row " << i;
        EXPECT_EQ(table[i].id, expected[i].id) << "row " << i << " " << expected[i].name;
    }
    EXPECT_EQ(table.back().name, nullptr);
    EXPECT_EQ(table.back().id, 0u);
}

TEST(KeywordTable, NamesAreUniqueAndIdsLeaveTheFixedGaps)
{
    std::set<std::string> names;
    std::set<uint32_t> ids;
    for (const KeywordRow& row : KeywordTable()) {
        if (!row.name)
            break;
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        ids.insert(row.id);
        EXPECT_GE(row.id, kw::kFirstId);
        EXPECT_LE(row.id, kw::kLastId);
    }
    EXPECT_EQ(ids.size(), 490u);
    const std::set<uint32_t> unnamed = {4, 21, 157, 163, 190, 274, 294, 318, 326, 343, 355,
                                        361, 368, 386, 411, 428, 471, 474, 497, 498, 499, 500};
    for (uint32_t id = kw::kFirstId; id <= kw::kLastId; ++id) {
        EXPECT_EQ(ids.count(id) == 0, unnamed.count(id) == 1) << id;
        EXPECT_EQ(KeywordName(id) == nullptr, unnamed.count(id) == 1) << id;
    }
}

TEST(KeywordLookup, AgreesWithALinearSearch)
{
    std::vector<std::string> words;
    for (const KeywordRow& row : KeywordTable()) {
        if (!row.name)
            break;
        std::string name = row.name;
        words.push_back(name);
        words.push_back(name + "_");
        words.push_back(name.substr(0, name.size() - 1));
        std::string middle = name; // for long names, a byte outside the first and last eight
        middle[middle.size() / 2] ^= 1;
        words.push_back(middle);
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        words.push_back(lower);
    }
    for (const char* extra : {"", "end", "End", "INCLUDE", "REM", "SN_", "WAIT_IF ", " WAIT_IF"})
        words.push_back(extra);
    for (const std::string& word : words)
        EXPECT_EQ(LookupKeyword(word), LinearLookup(word)) << '"' << word << '"';
}

TEST(KeywordLookup, AliasesShareAnIdAndCaseMatters)
{
    // clang-format off
    const std::pair<const char*, const char*> aliases[] = {
        {"NEW_GROUP", "NEWGROUP"},       {"TARGET", "WEPTARGET"},     {"SN_COMMONWEALTH", "SN_NAVY"},
        {"SN_INDEPENDENT", "SN_INDIE"},  {"SN_BLACKSHIPS", "SN_BLACK"}, {"WAIT_IF", "WAIT_UNTIL"},
        {"WAIT_IF_NOT", "WAIT_UNTIL_NOT"},
    };
    // clang-format on
    for (auto [first, second] : aliases) {
        EXPECT_NE(LookupKeyword(first), 0u) << first;
        EXPECT_EQ(LookupKeyword(first), LookupKeyword(second)) << first;
        EXPECT_STREQ(KeywordName(LookupKeyword(first)), first);
    }
    EXPECT_EQ(LookupKeyword("END"), 413u);
    EXPECT_EQ(LookupKeyword("end"), 0u);
    EXPECT_EQ(LookupKeyword("3DP"), 24u);
    EXPECT_EQ(KeywordName(0), nullptr);
    EXPECT_EQ(KeywordName(9999), nullptr);
}

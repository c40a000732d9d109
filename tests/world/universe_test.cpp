// The universe's tables: the csv of bodies, the star catalogue, the
// made-up values, the orbits and the lookups.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/world_fixture.h"
#include "system/crand.h"
#include "world/pools.h"
#include "world/universe.h"

using namespace worldtest;

namespace {

const char* kHeader = "id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n";

int Parse(const std::string& rows)
{
    const std::string text = kHeader + rows;
    return ParsePlanetarySystems(text.data(), text.size());
}

class UniverseTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ResetUniverse();
    }
    void TearDown() override
    {
        ResetUniverse();
        WorldTest::TearDown();
    }
};

} // namespace

TEST_F(UniverseTest, CsvFieldsAreReadByTheirRules)
{
    struct Case {
        const char* what;
        std::string rows;
        int count;
        int id;
        const char* name;
        float mass;
    };
    const std::string longName(120, 'n');
    const Case cases[] = {
        {"plain", "1,Sol,0,S,3,0,2e30,7,0,0,0,0,0\n", 1, 1, "Sol", 2e30f},
        {"quotes dropped", "\"1\",\"So\"\"l\",0,S,3,0,2e30,7,0,0,0,0,0\n", 1, 1, "Sol", 2e30f},
        {"empty fields read 0", "1,,,,,,,,,,,,\n", 1, 1, "", 0},
        {"leading zeros decimal", "010,Ten,0,S,0,0,5,1,0,0,0,0,0\n", 1, 10, "Ten", 5},
        {"hexadecimal", "0x10,Hex,0,S,0,0,5,1,0,0,0,0,0\n", 1, 16, "Hex", 5},
        {"no final newline", "1,Sol,0,S,3,0,2e30,7,0,0,0,0,0", 1, 1, "Sol", 2e30f},
        {"carriage returns", "1,Sol,0,S,3,0,2e30,7,0,0,0,0,0\r\n", 1, 1, "Sol", 2e30f},
        {"short row: the rest empty", "1,Sol,0\n2,B,1,P,0,0,9\n", 2, 1, "Sol", 0},
        {"extra fields ignored", "1,Sol,0,S,0,0,4,1,0,0,0,0,0,x,y\n", 1, 1, "Sol", 4},
        {"blank lines skipped", "\n\n1,Sol,0,S,0,0,4,1,0,0,0,0,0\n\n", 1, 1, "Sol", 4},
        {"long field cut", "1," + longName + ",0,S,0,0,4,1,0,0,0,0,0\n", 1, 1, nullptr, 4},
        {"unreadable numbers", "1,X,0,S,0,0,nan,abc,0,0,0,0,0\n", 1, 1, "X", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Parse(c.rows), c.count);
        EXPECT_EQ(gBodies[0].id, c.id);
        if (c.name)
            EXPECT_STREQ(gBodies[0].name, c.name);
        else
            EXPECT_EQ(std::strlen(gBodies[0].name), size_t(kBodyFieldSize - 1));
        EXPECT_FLOAT_EQ(gBodies[0].mass, c.mass);
    }
    Parse("1,Sol,0,S,0,0,4,1,0,0,0,0,0\n2,B,1,P,0,0,9\n");
    EXPECT_FLOAT_EQ(gBodies[1].mass, 9);
    EXPECT_EQ(gBodies[1].parent, &gBodies[0]);
}

TEST_F(UniverseTest, MoreThanTheTableHoldsStopsTheReading)
{
    std::string rows;
    for (int i = 0; i < kMaxBodies + 5; ++i)
        rows += std::to_string(i + 1) + ",B,0,S,0,0,0,0,0,0,0,0,0\n";
    EXPECT_EQ(Parse(rows), kMaxBodies);
    EXPECT_EQ(gBodyCount, kMaxBodies);
}

TEST_F(UniverseTest, ClassLettersGiveTheirFlagsAndTheTreeFollowsParents)
{
    Parse("100,Sun,0,S,0,0,0,0,0,0,0,0,0\n"
          "101,Earth,100,P,0,0,0,5,10,365,30,0,1\n"
          "102,Moon,101,M,0,0,0,0,0,0,0,0,0\n"
          "103,Belt,100,B,0,0,0,0,0,0,0,0,0\n"
          "104,Jove,100,G,0,0,0,0,20,0,0,0,0\n"
          "105,L4,101,L4,0,0,0,0,0,0,0,0,0\n"
          "106,L5,101,L5,0,0,0,0,0,0,0,0,0\n"
          "107,Odd,100,X,0,0,0,0,0,0,0,0,0\n"
          "200,Other,0,S,0,0,0,0,0,0,0,0,0\n"
          "201,Stray,101,P,0,0,0,0,0,0,0,0,0\n");
    const int32_t expected[] = {kBodyStar | kBodyLargestOrbitRecorded,
                                kBodyPlanet | kBodyHasLagrangePoints,
                                kBodyMoon, kBodyBelt, kBodyGasGiant | kBodyPlanet,
                                kBodyLagrange | kBodyL4, kBodyLagrange | kBodyL5, kBodyPlanet,
                                kBodyStar, kBodyPlanet};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(gBodies[i].classFlags, expected[i]) << gBodies[i].name;
    EXPECT_EQ(gBodies[2].parent, &gBodies[1]);
    EXPECT_EQ(gBodies[0].firstChild, &gBodies[1]);
    EXPECT_EQ(gBodies[1].nextSibling, &gBodies[3]);
    // The orbit of a body of system 2 onward grows by its parent's radius.
    EXPECT_FLOAT_EQ(gBodies[0].largestChildOrbit, 20);
    EXPECT_FLOAT_EQ(gBodies[1].inclination, 2);
    // Id 201 names a parent of the first system: the search starts at the
    // current root, so it stays a root of its own.
    EXPECT_EQ(gBodies[9].parent, nullptr);
    ASSERT_EQ(gSystemRootCount, 3);
    EXPECT_EQ(gSystemRoots[0], &gBodies[0]);
    EXPECT_EQ(gSystemRoots[1], &gBodies[8]);
    EXPECT_EQ(gSystemRoots[2], &gBodies[9]);
    for (int i = 0; i < 10; ++i) {
        EXPECT_GE(gBodies[i].phase, 0);
        EXPECT_LT(gBodies[i].phase, 1);
    }
}

TEST_F(UniverseTest, OrbitRadiusOfLaterSystemsGrowsAndEccentricityIsGuarded)
{
    Parse("200,Sun,0,S,0,0,0,3,0,0,0,0,0\n"
          "201,A,200,P,0,0,0,1,10,0,0,5,0\n"
          "202,B,200,P,0,0,0,1,0,0,0,5,0\n");
    EXPECT_FLOAT_EQ(gBodies[1].orbitRadius, 10 + 3 * 2000);
    EXPECT_FLOAT_EQ(gBodies[1].eccentricity, 5.0f / 6010);
    EXPECT_FLOAT_EQ(gBodies[2].eccentricity, 0); // over an orbit of 0
}

TEST_F(UniverseTest, FinishingPutsLagrangePointsBesideTheirPlanet)
{
    Parse("100,Sun,0,S,0,0,2e30,7e5,0,0,0,0,0\n"
          "101,Earth,100,P,0,0,6e24,6400,1.5e8,365,30,0.1,2\n"
          "102,L4,101,L4,0,0,0,0,0,0,0,0,0\n"
          "103,L5,101,L5,0,0,0,0,0,0,0,0,0\n");
    FinishBodies();
    for (int i : {2, 3}) {
        const SystemBody& l = gBodies[i];
        EXPECT_EQ(l.parent, &gBodies[0]);
        EXPECT_FLOAT_EQ(l.orbitRadius, gBodies[1].orbitRadius);
        EXPECT_FLOAT_EQ(l.period, 365);
        EXPECT_FLOAT_EQ(l.eccentricity, 0.1f);
        EXPECT_FLOAT_EQ(l.inclination, 4);
        EXPECT_FLOAT_EQ(l.phase, gBodies[1].phase);
    }
    EXPECT_FLOAT_EQ(gBodies[2].longitude, -30);
    EXPECT_FLOAT_EQ(gBodies[3].longitude, 90);
}

TEST_F(UniverseTest, AnLPointUnderARootStaysAsItWas)
{
    Parse("100,Sun,0,S,0,0,2e30,7e5,0,0,0,0,0\n"
          "101,L4,100,L4,0,0,0,0,0,0,12,0,0\n");
    FinishBodies();
    EXPECT_EQ(gBodies[1].parent, &gBodies[0]);
    EXPECT_FLOAT_EQ(gBodies[1].longitude, 12);
}

TEST_F(UniverseTest, MissingValuesAreMadeUpByRule)
{
    CRandSeed(1);
    Parse("100,Sun,0,S,0,0,0,0,0,0,0,0,0\n"
          "101,P,100,P,0,0,0,0,0,100,0,0,0\n"
          "102,Q,100,P,0,0,5e24,6000,1e8,0,0,0,0\n");
    FinishBodies();
    const SystemBody& sun = gBodies[0];
    EXPECT_GE(sun.mass, 1.4925e30f);
    EXPECT_LE(sun.mass, 2.4855e30f);
    EXPECT_NEAR(sun.radius, std::pow(sun.mass / 2.23e12, 0.3333), std::pow(sun.mass / 2.23e12, 0.3333) * 0.11);
    const SystemBody& p = gBodies[1];
    EXPECT_GE(p.mass, 5.98e24f * 0.75f);
    double a = std::cbrt(sun.mass * 6.81e-12 / ((2.0 / 100) * (2.0 / 100)));
    a = std::max(a, sun.radius * 200.0) + sun.radius * 2000.0;
    EXPECT_NEAR(p.orbitRadius, a, a * 1e-5);
    const SystemBody& q = gBodies[2];
    const double period = std::sqrt(4.0 * 1e24 / (sun.mass * 6.18e-12));
    EXPECT_NEAR(q.period, period, period * 1e-5);
    EXPECT_FLOAT_EQ(q.mass, 5e24f);
}

TEST_F(UniverseTest, OrbitalPositionsFollowTheOrbit)
{
    Parse("100,Sun,0,S,0,0,1,1,0,0,0,0,0\n"
          "101,P,100,P,0,0,1,1,1000,100,90,0.5,0\n");
    SystemBody& p = gBodies[1];
    p.phase = 0.25f;
    p.orbitRadius = 1000; // not grown by the parent's radius here
    p.inclination = 0;
    // t = 0: f = 0, angle = a quarter turn: x = (0 + 500) * 2, z = 500 * 2;
    // then turned 90 degrees about Y: x' = z = 1000, z' = -x = -1000.
    WorldPosition w = BodyOrbitalPosition(&p, 0, 2);
    EXPECT_NEAR(w.x, 1000, 1e-2);
    EXPECT_NEAR(w.y, 0, 1e-6);
    EXPECT_NEAR(w.z, -1000, 1e-2);
    // A quarter period later: half a turn, x = (-1000 + 500) * 2, z = 0,
    // turned: x' = 0, z' = 1000; plus the parent's position.
    WorldPosition parent{1, 2, 3};
    gBodies[0].position = &parent;
    w = BodyOrbitalPosition(&p, 25, 2);
    EXPECT_NEAR(w.x, 1, 1e-2);
    EXPECT_NEAR(w.y, 2, 1e-6);
    EXPECT_NEAR(w.z, 1003, 1e-2);
    gBodies[0].position = nullptr;
    // Inclination 90, no longitude: z goes into y.
    p.longitude = 0;
    p.inclination = 90;
    w = BodyOrbitalPosition(&p, 0, 1);
    EXPECT_NEAR(w.x, 500, 1e-2);
    EXPECT_NEAR(w.y, 500, 1e-2);
    EXPECT_NEAR(w.z, 0, 1e-2);
    // A period of 0 counts as 0.0001: no division by zero.
    p.period = 0;
    w = BodyOrbitalPosition(&p, 1.23456, 1);
    EXPECT_TRUE(std::isfinite(w.x) && std::isfinite(w.y) && std::isfinite(w.z));
}

TEST_F(UniverseTest, BodiesAreFoundByIdOrByNameWithinTheirSystem)
{
    Parse("0,Sun,0,S,0,0,0,0,0,0,0,0,0\n"
          "3,Earth,0,P,0,0,0,0,0,0,0,0,0\n"
          "100,Vega,0,S,0,0,0,0,0,0,0,0,0\n"
          "101,Earth,100,P,0,0,0,0,0,0,0,0,0\n");
    EXPECT_EQ(FindBody(7, "3"), &gBodies[1]);
    EXPECT_EQ(FindBody(1, "Earth"), &gBodies[1]);
    EXPECT_EQ(FindBody(2, "Earth"), &gBodies[3]);
    EXPECT_EQ(FindBody(3, "Earth"), nullptr);
    EXPECT_EQ(FindBody(1, "earth"), nullptr);
    EXPECT_STREQ(LookUpBodyName("101"), "Earth");
    EXPECT_EQ(LookUpBodyName("55"), nullptr);
}

TEST(StarRecord, IsWrittenInTheCatalogueLayout)
{
    Star s{};
    s.position = {1.0f, -2.0f, 0.5f};
    std::strcpy(s.name, "Sol");
    s.catalogueValue = 3.0f;
    s.magnitude = 12.5f;
    s.system = 26;
    s.flags = 0x01020384;
    uint8_t out[kStarRecordSize];
    std::memset(out, 0xEE, sizeof out);
    EncodeStarRecord(s, out);
    const uint8_t expected[kStarRecordSize] = {
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x3F, // x y z
        'S', 'o', 'l', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,       // name
        0x00, 0x00, 0x40, 0x40,                                                 // value
        0x00, 0x00, 0x48, 0x41,                                                 // magnitude
        26,                                                                     // system
        0x84, 0x03, 0x02, 0x01,                                                 // flags at 41
    };
    EXPECT_EQ(std::memcmp(out, expected, kStarRecordSize), 0);
    Star back{};
    DecodeStarRecord(expected, back);
    EXPECT_STREQ(back.name, "Sol");
    EXPECT_EQ(back.flags, 0x01020384);
    EXPECT_EQ(back.system, 26);
    EXPECT_FLOAT_EQ(back.magnitude, 12.5f);
    // A name of all twenty characters is still terminated.
    std::memset(out + 12, 'A', kStarNameSize);
    DecodeStarRecord(out, back);
    EXPECT_EQ(std::strlen(back.name), size_t(kStarNameSize));
}

TEST_F(UniverseTest, TheCatalogueIsSavedAndReadBackAndShortFilesLeaveTheSkyEmpty)
{
    ScratchFolder folder("stars", true);
    std::strcpy(gStars[0].name, "Sol");
    gStars[0].system = 1;
    gStars[5].flags = kStarFaint | kStarRepresentsSystem;
    std::strcpy(gStars[7].name, "Vega");
    gStars[7].system = 2;
    ASSERT_TRUE(SaveStars("stars.bin"));
    EXPECT_EQ(std::filesystem::file_size(folder / "stars.bin"), kStarFileSize);
    ResetUniverse();
    ASSERT_TRUE(LoadStars("stars.bin"));
    EXPECT_EQ(gStarsLoaded, kStarCount);
    EXPECT_EQ(gNamedStarCount, 2);
    EXPECT_EQ(gFaintStarCount, 1);
    EXPECT_EQ(gStars[5].flags, kStarFaint); // the system mark is set again by the map
    EXPECT_EQ(FindStar("Vega", kStarCount), &gStars[7]);
    EXPECT_EQ(FindStar("2", kStarCount), &gStars[7]);
    EXPECT_EQ(FindStar("2", 5), nullptr);
    EXPECT_EQ(FindStar("NULL", kStarCount), nullptr);
    EXPECT_STREQ(LookUpStarName(1), "Sol");
    EXPECT_STREQ(LookUpStarName(99), "");

    std::string bytes(kStarFileSize - 1, '\0');
    folder.Write("short.bin", bytes);
    EXPECT_FALSE(LoadStars("short.bin"));
    EXPECT_FALSE(LoadStars("missing.bin"));
    EXPECT_EQ(gStarsLoaded, 0);
    EXPECT_EQ(gNamedStarCount, 0);
    EXPECT_EQ(FindStar("Vega", kStarCount), nullptr);
    EXPECT_STREQ(LookUpStarName(1), "");
}

TEST_F(UniverseTest, AMissingEmptyOrRefusedBodyTableIsAFatalErrorNamingTheFile)
{
    ScratchFolder folder("nocsv", true);
    folder.Write("empty.csv", "");
    std::filesystem::create_directory(folder / "folder.csv");
    struct Case {
        const char* path;
        const char* line;
    };
    const Case cases[] = {
        {"nothing.csv", "cannot use the file nothing.csv: not found\n"},
        {"empty.csv", "cannot use the file empty.csv: empty\n"},
        {"folder.csv", "cannot use the file folder.csv: not a regular file\n"},
    };
    for (const Case& c : cases) {
        ClearFatalStops();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadPlanetarySystems(c.path));
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.line), std::string::npos) << err;
        ASSERT_FALSE(FatalStops().empty()) << c.path;
        EXPECT_EQ(FatalStops().back(), "Can't load planetary systems...");
    }
}

TEST_F(UniverseTest, ARowWithMissingColumnsIsNamedByItsLine)
{
    const std::string text = std::string(kHeader) + "1,Sol,1,S,3,0,1.99e30,696000,0,0,0,0,0\n2,Mercury,1,P\n";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ParsePlanetarySystems(text.data(), text.size()), 2);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "excelrichsys.csv line 3: 4 of the 13 columns; the missing ones read as 0\n");
}

// clang-format off
TEST_F(UniverseTest, TheImporterBuildsTheCatalogueFromFixedColumns) {
    ScratchFolder folder("import", true);
    //            0-11        12-23       24-35       36-39 40-59               60-69     70-79
    std::string text = "header\nheader\nheader\n";
    text += " 0  0  0    " "  0 0.0     " " 1000000    " "   1" "Sol                 " "  4.8     " "  2.0     \n";
    text += " 6  0  0    " " 30 0.0     " " 1000       " "   2" "  Far Star          " " 13.0     " "  1.0     \n";
    folder.Write("cat.txt", text);
    ASSERT_TRUE(ImportStarCatalogue("cat.txt", 0, "out.bin"));
    EXPECT_EQ(std::filesystem::file_size(folder / "out.bin"), kStarFileSize);
    EXPECT_STREQ(gStars[0].name, "Sol");
    EXPECT_EQ(gStars[0].position.x, 0); // star 0 sits at the origin
    EXPECT_EQ(gStars[0].flags, kStarHasSystem | kStarRepresentsSystem | kStarNear);
    EXPECT_STREQ(gStars[1].name, "Far Star");
    EXPECT_EQ(gStars[1].flags, kStarHasSystem | kStarRepresentsSystem | kStarFaint);
    // Right ascension 6h = 90 degrees, declination 30: x ~ 0, y = -sin 30 d.
    const double d = kDistanceUnit / std::sin(1000 / 10000.0 / 3600.0 * 0.017453292);
    EXPECT_NEAR(gStars[1].position.y, -0.5 * d, d * 1e-5);
    EXPECT_NEAR(gStars[1].position.z, std::cos(30 * 0.017453292) * d, d * 1e-5);
    EXPECT_NEAR(gStars[1].position.x, 0, d * 1e-4);
}
// clang-format on

// clang-format off
TEST_F(UniverseTest, TheImporterPlacesNoStarAtInfinity) {
    ScratchFolder folder("import_far", true);
    //            0-11        12-23       24-35       36-39 40-59               60-69     70-79
    std::string text = "header\nheader\nheader\n";
    text += " 0  0  0    " "  0 0.0     " " 1000000    " "   1" "Sol                 " "  4.8     " "  2.0     \n";
    text += " 0  0  0    " "  0 0.0     " " 1e-30      " "   0" "Tiny Parallax       " "  4.8     " "  2.0     \n";
    text += " 0  0  0    " "  0 inf     " " 1000       " "   0" "Infinite            " " nan      " " inf      \n";
    folder.Write("cat.txt", text);
    ASSERT_TRUE(ImportStarCatalogue("cat.txt", 0, "out.bin"));
    // A parallax too small for a float's distance stops at the largest float.
    EXPECT_EQ(gStars[1].position.z, 0);
    EXPECT_EQ(gStars[1].position.x, std::numeric_limits<float>::max());
    // "inf" and "nan" count as blank fields.
    const double d = kDistanceUnit / std::sin(1000 / 10000.0 / 3600.0 * 0.017453292);
    EXPECT_NEAR(gStars[2].position.x, d, d * 1e-5);
    EXPECT_EQ(gStars[2].position.y, 0);
    EXPECT_EQ(gStars[2].magnitude, 0);
    EXPECT_EQ(gStars[2].catalogueValue, 0);
}
// clang-format on

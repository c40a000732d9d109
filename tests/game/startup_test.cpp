// The start-up routines that stand alone: the mission number of a script's
// name and the look-at matrix.
#include "system/datalocation.h"
#include "system/gamemath.h"
#include "game/startup.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(StartupMissionNumber, TwoDigitsSixBeforeTheEndOrZero)
{
    const struct {
        const char* name;
        int32_t number;
    } rows[] = {
        {"mission07.scr", 7},
        {"mission12.scr", 12},
        {"demo00.scr", 0},
        {"7.scr", 7},         // shorter than six: read from its start
        {"missionxx.scr", 0}, // no number
        {"mis-5.scr", 0},     // outside 0..99
        {"", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StartupMissionNumber(row.name), row.number) << row.name;
}

TEST(CheckVideoFolder, MovesToTheFirstDriveOnlyWhenOneExists)
{
    const CdDriveList savedDrives = gCdDrives;
    const std::string savedFolder = gVideoFolder;
    const struct {
        const char* folder;
        char drive;
        const char* expected;
    } rows[] = {
        {"zqk\\resource\\video", 'E', "E:zqk\\resource\\video"},
        {"D:\\zqk\\resource\\video", 'E', "E:\\zqk\\resource\\video"},
        {"E:zqk\\resource\\video", 'E', "E:zqk\\resource\\video"},
        {"zqk\\resource\\video", 0, "zqk\\resource\\video"}, // no drive: it stays
    };
    for (const auto& row : rows) {
        gCdDrives = CdDriveList{};
        gCdDrives.first = row.drive;
        gVideoFolder = row.folder;
        CheckVideoFolder();
        EXPECT_EQ(gVideoFolder, row.expected) << row.folder;
    }
    gCdDrives = savedDrives;
    gVideoFolder = savedFolder;
}

void ExpectOrthonormal(const Matrix4& m)
{
    for (int r = 0; r < 3; ++r) {
        const Vector3 a{m.m[r * 4], m.m[r * 4 + 1], m.m[r * 4 + 2]};
        EXPECT_NEAR(VecLength(a), 1.0f, 1e-5f) << r;
        for (int s = r + 1; s < 3; ++s) {
            const Vector3 b{m.m[s * 4], m.m[s * 4 + 1], m.m[s * 4 + 2]};
            EXPECT_NEAR(VecDot(a, b), 0.0f, 1e-5f) << r << s;
        }
    }
}

TEST(LookAtTarget, RowsFromTheForwardAxis)
{
    Matrix4 m{};
    ASSERT_TRUE(LookAtTarget(m, {1, 2, 3}, {1, 2, 13}));
    // forward (0,0,1); side = forward x (0,-1,0) = (1,0,0); up = forward x side = (0,1,0)
    const float expected[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(m.m[r * 4 + c], expected[r][c], 1e-6f) << r << c;
}

TEST(LookAtTarget, StraightUpStaysValidAndOnTheTargetKeepsTheMatrix)
{
    Matrix4 m{};
    ASSERT_TRUE(LookAtTarget(m, {0, 0, 0}, {0, 50, 0}));
    ExpectOrthonormal(m);
    EXPECT_NEAR(m.m[9], 1.0f, 1e-6f); // row 2 points up

    Matrix4 kept{};
    for (int i = 0; i < 16; ++i)
        kept.m[i] = static_cast<float>(i);
    Matrix4 same = kept;
    EXPECT_FALSE(LookAtTarget(same, {4, 4, 4}, {4, 4, 4}));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(same.m[i], kept.m[i]);
}

} // namespace

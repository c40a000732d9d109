// The joystick on SDL's virtual joystick: axes through divisors and dead
// zones, the throttle's ends, the hat, buttons in the KeyStateBlock, a
// device unplugged mid-run; force feedback on the haptic capture and
// without a device; the error texts and the bearing of a hit.
#include "platform/joystick.h"
#include "system/input.h"
#include "system/joystick.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// SDL axis values for a raw 0..65535 position: raw - 32768.
int16_t Sdl(int32_t raw)
{
    return static_cast<int16_t>(raw - 32768);
}

constexpr int32_t kCentre = 32767; // (0 + 65535) / 2

class JoystickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = gJoystickSettings;
        gForceFeedbackEnabled = 0;
        ASSERT_TRUE(platform::VirtualJoystickAttach(4, 8, 1));
        ResetInput();
        InitJoystick();
        ASSERT_NE(gJoystick.present, 0);
    }
    void TearDown() override
    {
        platform::VirtualJoystickDetach();
        platform::JoystickClose();
        gJoystickSettings = saved_;
        gForceFeedbackEnabled = 1;
        gJoystick = {};
    }

    static JoystickState Poll() { return PollJoystick(); }

    JoystickSettings saved_;
};

TEST_F(JoystickTest, StartUpReadsTheDevicesRangesAndCentres)
{
    EXPECT_EQ(gJoystick.capabilities, kJoyHasThrottle | kJoyHasRudder | kJoyHasHat);
    EXPECT_EQ(gJoystick.centreX, kCentre);
    EXPECT_EQ(gJoystick.centreRudder, kCentre);
    EXPECT_EQ(gJoystick.throttleMaximum, 65535);
    EXPECT_EQ(gJoystickSettings.throttleSpan, 65535);
}

TEST_F(JoystickTest, AxesAreCentredDividedAndDeadZoned)
{
    struct Case {
        int axis;       // 0 x, 1 y, 3 rudder
        int32_t offset; // raw units from the centre
        int16_t expected;
    };
    const Case cases[] = {
        {0, 30, 0},    // 0 after the divisor
        {0, 6000, 10}, // 60 - 50
        {0, -6000, -10},
        {0, 5000, 0}, // 50: inside the dead zone
        {0, 5100, 1},
        {0, 32768, 277},   // the right end: 327 - 50
        {1, -32767, -277}, // the top end
        {1, 4999, 0},
        {3, 16000, 10}, // rudder: 160 - 150
        {3, -14000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "axis " << c.axis << " offset " << c.offset);
        for (int a : {0, 1, 3})
            platform::VirtualJoystickSetAxis(a, Sdl(kCentre));
        platform::VirtualJoystickSetAxis(c.axis, Sdl(kCentre + c.offset));
        const JoystickState s = Poll();
        const int16_t got = c.axis == 0 ? s.x : c.axis == 1 ? s.y
                                                            : s.rudder;
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(JoystickTest, TheThrottleReadsFromItsMaximumUp)
{
    struct Case {
        int32_t raw;
        int16_t expected;
    };
    // (65535 - raw) x 105 / 65535, then the dead zone of 5.
    const Case cases[] = {{65535, 0}, {0, 100}, {32767, 47}, {62000, 0}, {59000, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        platform::VirtualJoystickSetAxis(2, Sdl(c.raw));
        EXPECT_EQ(Poll().throttle, c.expected);
    }
}

TEST_F(JoystickTest, TheHatIsInHundredthsOfADegree)
{
    struct Case {
        uint8_t bits;
        uint16_t hat;
    };
    // clang-format off
    const Case cases[] = {
        {0, 0xFFFF}, {1, 0}, {1 | 2, 4500}, {2, 9000}, {2 | 4, 13500},
        {4, 18000}, {4 | 8, 22500}, {8, 27000}, {8 | 1, 31500},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.bits));
        platform::VirtualJoystickSetHat(0, c.bits);
        EXPECT_EQ(Poll().hat, c.hat);
    }
}

TEST_F(JoystickTest, TheFirstFourButtonsAreHeldInTheKeyStateBlock)
{
    KeyStateBlock& keys = GetKeyStateBlock();
    platform::VirtualJoystickSetButton(1, true); // button 2
    Poll();
    EXPECT_EQ(keys[129], 255);
    EXPECT_EQ(keys[128], 0);
    EXPECT_EQ(gJoystick.buttons, 0x2u);
    platform::VirtualJoystickSetButton(0, true);
    platform::VirtualJoystickSetButton(3, true);
    platform::VirtualJoystickSetButton(5, true); // button 6 has no entry
    Poll();
    EXPECT_EQ(keys[128], 255);
    EXPECT_EQ(keys[129], 255);
    EXPECT_EQ(keys[130], 0);
    EXPECT_EQ(keys[131], 255);
    EXPECT_EQ(keys[132], 0);
    EXPECT_EQ(gJoystick.previousButtons, 0x2u);
    platform::VirtualJoystickSetButton(1, false);
    Poll();
    EXPECT_EQ(keys[129], 0);
    // A button word of 255 (all eight down) reads as no buttons at all.
    for (int b = 0; b < 8; ++b)
        platform::VirtualJoystickSetButton(b, true);
    Poll();
    EXPECT_EQ(gJoystick.buttons, 0u);
    EXPECT_EQ(keys[128], 0);
    EXPECT_EQ(keys[131], 0);
}

TEST_F(JoystickTest, AJoystickUnpluggedMidRunReadsAsNoneAndLetsGoOfItsButtons)
{
    platform::VirtualJoystickSetAxis(0, Sdl(kCentre + 6000));
    platform::VirtualJoystickSetButton(2, true);
    EXPECT_EQ(Poll().x, 10);
    EXPECT_EQ(GetKeyStateBlock()[130], 255);
    platform::VirtualJoystickDetach();
    JoystickState s = Poll();
    EXPECT_EQ(gJoystick.present, 0);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.throttle, 0);
    EXPECT_EQ(GetKeyStateBlock()[130], 0);
    s = Poll(); // and stays so
    EXPECT_EQ(s.x, 0);
}

// Zero axes and a centred hat: a hat reading 0 would be one held forward,
// which the flight code takes for the contact hat's repeated steps.
TEST(JoystickAbsentTest, WithoutAJoystickPollReturnsZerosAndACentredHat)
{
    gForceFeedbackEnabled = 0;
    KeyQueuePush(0x1E61);
    GetKeyStateBlock()[30] = 255;
    InitJoystick();
    EXPECT_EQ(KeyQueueCount(), 0); // start-up empties the input too
    EXPECT_EQ(GetKeyStateBlock()[30], 0);
    EXPECT_EQ(gJoystick.present, 0);
    const JoystickState s = PollJoystick();
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.rudder, 0);
    EXPECT_EQ(s.throttle, 0);
    EXPECT_EQ(s.hat, 0xFFFF);
    gForceFeedbackEnabled = 1;
}

TEST(JoystickTextTest, ErrorTextsAndNames)
{
    EXPECT_STREQ(JoystickErrorText(kJoyErrNoError), "SUCCESS");
    EXPECT_STREQ(JoystickErrorText(kJoyErrNoDriver), "The joystick driver is not present.");
    EXPECT_STREQ(JoystickErrorText(kJoyErrInvalidParam), "An invalid parameter was passed.");
    EXPECT_STREQ(JoystickErrorText(kJoyErrBadDeviceId), "The specified joystick identifier is invalid.");
    EXPECT_STREQ(JoystickErrorText(kJoyErrUnplugged), "Your joystick is unplugged.");
    EXPECT_STREQ(JoystickErrorText(3), "Unknown joystick error.");
    char name[64];
    FFErrorName(kFFNotFound, name);
    EXPECT_STREQ(name, "DIERR_NOTFOUND");
    FFErrorName(kFFUnsupported, name);
    EXPECT_STREQ(name, "DIERR_UNSUPPORTED");
    FFErrorName(1, name);
    EXPECT_STREQ(name, "DIERR_OLDDIRECTINPUTVERSION");
    FFErrorName(48, name);
    EXPECT_STREQ(name, "VFX_ERR_FILE_END_OF_FILE");
    FFErrorName(49, name);
    EXPECT_STREQ(name, "UNKNOWN");
}

TEST(JoystickBearingTest, BearingsGoClockwiseFromForwardAndZeroHasNone)
{
    struct Case {
        float x, y, bearing;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // clang-format off
    const Case cases[] = {
        {0, 1, 0}, {1, 1, 45}, {1, 0, 90}, {1, -1, 135}, {0, -1, 180},
        {-1, -1, -135}, {-1, 0, -90}, {-1, 1, -45}, {0, 0, 0}, {-0.0f, 0, 0}, {nan, 1, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << ", " << c.y);
        EXPECT_NEAR(JoystickBearing(c.x, c.y), c.bearing, 1e-4);
    }
}

// ---- Force feedback ------------------------------------------------------------

class ForceFeedbackTest : public ::testing::Test {
protected:
    void SetUp() override { platform::HapticCapture(true); }
    void TearDown() override
    {
        FFRelease();
        platform::HapticCapture(false);
    }
    static std::vector<platform::CapturedHaptic>& Effects() { return platform::CapturedHapticEffects(); }
};

TEST_F(ForceFeedbackTest, StartGivesAHalfStrengthSpringThatTheFlightCodeTunes)
{
    ASSERT_EQ(FFStart(), 1);
    EXPECT_TRUE(FFReady());
    EXPECT_EQ(FFReacquire(), 1);
    ASSERT_EQ(Effects().size(), 1u);
    EXPECT_EQ(Effects()[0].op, platform::CapturedHaptic::Op::Start);
    EXPECT_EQ(Effects()[0].effect.kind, platform::HapticKind::Spring);
    EXPECT_EQ(Effects()[0].effect.coefficientX, 5000);
    EXPECT_EQ(Effects()[0].effect.coefficientY, 5000);
    EXPECT_EQ(FFSetConditionStrength(7000, 2500), 1);
    ASSERT_EQ(Effects().size(), 2u);
    EXPECT_EQ(Effects()[1].op, platform::CapturedHaptic::Op::Update);
    EXPECT_EQ(Effects()[1].id, Effects()[0].id);
    EXPECT_EQ(Effects()[1].effect.coefficientX, 7000);
    EXPECT_EQ(Effects()[1].effect.coefficientY, 2500);
}

TEST_F(ForceFeedbackTest, JoltsReplaceTheirSlotsEffectAndTakeTheHitsBearing)
{
    ASSERT_EQ(FFStart(), 1);
    Effects().clear();
    struct Case {
        int (*play)();
        int32_t gain, direction;
    };
    const Case cases[] = {
        {[] { return FFPlayFireEffect(2000, 0); }, 10000, 0}, // fire is always full
        {[] { return FFPlayFireEffectGain(4000, 9000); }, 4000, 9000},
        {[] { return FFPlayHitEffect(2000, -1.0f, 0.0f); }, 2000, 27000},
        {[] { return FFPlayHitEffect2(50000, 1.0f, -1.0f); }, 10000, 13500}, // gain capped
        {[] { return FFPlayHitEffect(100, 0.0f, 0.0f); }, 100, 0},           // no direction
    };
    for (const Case& c : cases) {
        Effects().clear();
        EXPECT_EQ(c.play(), 1);
        ASSERT_FALSE(Effects().empty());
        const platform::CapturedHaptic& started = Effects().back();
        EXPECT_EQ(started.op, platform::CapturedHaptic::Op::Start);
        EXPECT_EQ(started.effect.kind, platform::HapticKind::Jolt);
        EXPECT_EQ(started.effect.gain, c.gain);
        EXPECT_EQ(started.effect.direction, c.direction);
    }
    // A second fire jolt releases the first one's effect before it starts.
    Effects().clear();
    FFPlayFireEffect(0, 0);
    const int first = Effects().back().id;
    Effects().clear();
    FFPlayFireEffect(0, 0);
    ASSERT_EQ(Effects().size(), 2u);
    EXPECT_EQ(Effects()[0].op, platform::CapturedHaptic::Op::Release);
    EXPECT_EQ(Effects()[0].id, first);
}

TEST_F(ForceFeedbackTest, WithoutADeviceEveryForceRoutineReturnsZero)
{
    platform::HapticCapture(false); // no capture and no haptic joystick
    EXPECT_EQ(FFStart(), 0);
    EXPECT_FALSE(FFReady());
    EXPECT_NE(std::strstr(FFLastMessage(), "Make sure JOYSTICKID1 has Force Feedback\r\nCode = 5: DIERR_NOTFOUND"),
              nullptr);
    EXPECT_EQ(FFSetConditionStrength(1, 1), 0);
    EXPECT_EQ(FFPlayFireEffect(0, 0), 0);
    EXPECT_EQ(FFPlayFireEffectGain(1, 0), 0);
    EXPECT_EQ(FFPlayHitEffect(1, 1, 1), 0);
    EXPECT_EQ(FFPlayHitEffect2(1, 1, 1), 0);
    EXPECT_EQ(FFReacquire(), 0);

    // Switched off, nothing is tried at all.
    platform::HapticCapture(true);
    gForceFeedbackEnabled = 0;
    EXPECT_EQ(FFStart(), 0);
    EXPECT_TRUE(Effects().empty());
    gForceFeedbackEnabled = 1;
}

} // namespace

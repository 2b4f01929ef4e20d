// Great-circle helpers checked against fixed cases and against GeographicLib
// on the same sphere (radius 6371000 m); TACAN radio numeric helpers.
#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "geo/geodesy.h"
#include "tests/unit/fake_panels.h"

namespace {

constexpr double PI = 3.141592653589793;

// Difference of two directions, radians, in (-pi, pi].
double angle_diff(double a, double b) { return std::remainder(a - b, TWO_PI); }

TEST(WrapAngle, FoldsOnceIntoZeroToTwoPi)
{
    struct Case {
        double in, out;
    };
    const Case cases[] = {
        {-0.5, TWO_PI - 0.5}, {TWO_PI, 0.0},      {7.0, 7.0 - TWO_PI},
        {3.0, 3.0},           {0.0, 0.0},         {-TWO_PI + 0.25, 0.25},
        {4.0 * PI - 0.25, 2.0 * PI - 0.25},
    };
    for (const Case& c : cases) EXPECT_NEAR(wrap_angle(c.in), c.out, 1e-12) << "x = " << c.in;
    EXPECT_TRUE(std::isnan(wrap_angle(NAN)));
    // A negative angle too small to survive 2pi - |x| must still land in range.
    const double tiny = wrap_angle(-1e-17);
    EXPECT_GE(tiny, 0.0);
    EXPECT_LT(tiny, TWO_PI);
}

TEST(InitialCourse, CardinalDirectionsWithWestPositiveLongitudes)
{
    // A negative west-positive longitude lies to the east.
    EXPECT_NEAR(initial_course(0, 0, 0, -0.01), PI / 2, 1e-12);
    EXPECT_NEAR(initial_course(0, 0, 0, 0.01), 3 * PI / 2, 1e-12);
    EXPECT_EQ(initial_course(0, 0, 0.01, 0), 0.0);
    EXPECT_NEAR(initial_course(0.01, 0, 0, 0), PI, 1e-12);
}

TEST(DestinationPoint, OneMileNorthAndEastOfOrigin)
{
    EXPECT_NEAR(destination_latitude(0, 1, 0), 1 / EARTH_RADIUS_NM, 1e-15);
    EXPECT_NEAR(destination_longitude(0, 0, 1, PI / 2), -1 / EARTH_RADIUS_NM, 1e-15);
    EXPECT_NEAR(destination_longitude(0, 0, 1, 3 * PI / 2), 1 / EARTH_RADIUS_NM, 1e-15);
    // The result is not folded into (-pi, pi]: 0.1 rad west of 3.1 rad west.
    EXPECT_NEAR(destination_longitude(0, 3.1, 0.1 * EARTH_RADIUS_NM, 3 * PI / 2), 3.2, 1e-12);
}

TEST(GreatCircleDistance, MeridianArcAndCoincidingPoints)
{
    EXPECT_NEAR(great_circle_distance(0.5, 0.2, 0.501, 0.2), 3.44006, 5e-6);
    // Coinciding points: exactly 0 at every latitude (no NaN, no residue of
    // a rounded cosine sum).
    for (int i = -900; i <= 900; ++i) {
        const double lat = i * 0.1 * RAD_PER_DEG;
        const double lon = i * 0.37 * RAD_PER_DEG;
        ASSERT_EQ(great_circle_distance(lat, lon, lat, lon), 0.0) << "lat deg " << i * 0.1;
    }
}

TEST(SlantRange, CombinesHeightAndHorizontal)
{
    EXPECT_DOUBLE_EQ(slant_range(1, 1, 3), 3.0);
    EXPECT_DOUBLE_EQ(slant_range(4, 1, 4), 5.0);
}

// Random point pairs over the whole sphere against GeographicLib's exact
// solution on the same sphere. Pairs closer than 1 km or within 100 km of
// antipodal are left out (acos and the course are ill-conditioned there), and
// points within 0.1 deg of a pole (course undefined).
TEST(SphericalAgreement, MatchesGeographicLibOnTheSameSphere)
{
    const GeographicLib::Geodesic sphere(6371000.0, 0.0);
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> lonDeg(-180.0, 180.0);
    const double halfCircumference = PI * 6371000.0;
    int compared = 0;
    while (compared < 2000) {
        const double lat1 = std::asin(unit(rng)) * DEG_PER_RAD;  // uniform on the sphere
        const double lat2 = std::asin(unit(rng)) * DEG_PER_RAD;
        const double lon1 = lonDeg(rng);
        const double lon2 = lonDeg(rng);
        if (std::fabs(lat1) > 89.9 || std::fabs(lat2) > 89.9) continue;
        double s12, azi1, azi2;
        sphere.Inverse(lat1, lon1, lat2, lon2, s12, azi1, azi2);
        if (s12 < 1000.0 || s12 > halfCircumference - 100000.0) continue;
        ++compared;

        // West-positive radians for the module.
        const double la1 = lat1 * RAD_PER_DEG, lo1 = -lon1 * RAD_PER_DEG;
        const double la2 = lat2 * RAD_PER_DEG, lo2 = -lon2 * RAD_PER_DEG;

        const double d = great_circle_distance(la1, lo1, la2, lo2) * METERS_PER_NM;
        ASSERT_NEAR(d, s12, 1e-9 * s12) << lat1 << "," << lon1 << " -> " << lat2 << "," << lon2;

        const double course = initial_course(la1, lo1, la2, lo2);
        ASSERT_GE(course, 0.0);
        ASSERT_LT(course, TWO_PI);
        ASSERT_NEAR(angle_diff(course, azi1 * RAD_PER_DEG), 0.0, 1e-9)
            << lat1 << "," << lon1 << " -> " << lat2 << "," << lon2;

        // Destination from point 1 along the same course and distance.
        const double dn = s12 / METERS_PER_NM;
        const double dc = azi1 * RAD_PER_DEG;
        EXPECT_NEAR(destination_latitude(la1, dn, dc), la2, 1e-9);
        EXPECT_NEAR(angle_diff(destination_longitude(la1, lo1, dn, dc), lo2), 0.0, 1e-9);
    }
}

TEST(RoundDecimals, HalvesAwayFromZeroAndNegativePlaces)
{
    struct Case {
        double value;
        int32_t places;
        double expected;
    };
    const Case cases[] = {
        {2.5, 0, 3.0},        {-2.5, 0, -3.0},     {0.4, 0, 0.0},     {-0.4, 0, 0.0},
        {1250, -2, 1300.0},   {1249, -2, 1200.0},  {1234, -2, 1200.0}, {-1250, -2, -1300.0},
        {117.956, 2, 117.96}, {108.05, 2, 108.05}, {3.14159, 3, 3.142},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(round_decimals(c.value, c.places), c.expected, 1e-9)
            << c.value << " to " << c.places << " places";
}

TEST(RebaseDigits, DecimalToPackedBcdAndBack)
{
    EXPECT_EQ(rebase_digits(11800, 10, 16), 0x11800u);
    EXPECT_EQ(rebase_digits(10805, 10, 16), 0x10805u);
    EXPECT_EQ(rebase_digits(0, 10, 16), 0u);
    EXPECT_EQ(rebase_digits(0x11795, 16, 10), 11795u);
    // Degenerate bases return the value instead of dividing by zero or looping.
    EXPECT_EQ(rebase_digits(1234, 0, 16), 1234u);
    EXPECT_EQ(rebase_digits(1234, 1, 16), 1234u);
}

TEST(SetNavFrequency, RaisesTheReceiversBcdEvent)
{
    FakePanels fake;
    set_nav_frequency(118.00, 1);
    set_nav_frequency(108.05, 2);
    set_nav_frequency(112.30, 0);  // anything but 2 is NAV1
    set_nav_frequency(117.999, 1); // truncated to hundredths, not rounded
    set_nav_frequency(NAN, 1);     // cannot be tuned: no event
    ASSERT_EQ(fake.keyEvents.size(), 4u);
    EXPECT_EQ(fake.keyEvents[0].id, 0x100ACu);
    EXPECT_EQ(fake.keyEvents[0].value, 0x11800u);
    EXPECT_EQ(fake.keyEvents[1].id, 0x100ADu);
    EXPECT_EQ(fake.keyEvents[1].value, 0x10805u);
    EXPECT_EQ(fake.keyEvents[2].id, 0x100ACu);
    EXPECT_EQ(fake.keyEvents[2].value, 0x11230u);
    EXPECT_EQ(fake.keyEvents[3].value, 0x11799u);
}

// Every VHF frequency paired with TACAN channels 17X-59Y and 70X-126Y, as the
// radio computes it (N / 100 in double precision), must tune to the BCD of N
// despite the truncation of mhz * 100. The X/Y switch reaches the same
// channels by adding or subtracting 0.05 to the other mode's frequency, which
// gives a different double; those must tune to N as well.
TEST(SetNavFrequency, EveryPairedTacanFrequencyTunesExactly)
{
    FakePanels fake;
    int checked = 0;
    for (int channel = 17; channel <= 126; ++channel) {
        if (channel > 59 && channel < 70) continue;
        for (int y = 0; y <= 1; ++y) {
            const int n = channel <= 59 ? (5 * channel + 5315) * 2 + 5 * y
                                        : (5 * channel + 5265) * 2 + 5 * y;
            // Decimal digits of n as nibbles, built independently of rebase_digits.
            uint32_t bcd = 0;
            for (int rest = n, shift = 0; rest > 0; rest /= 10, shift += 4)
                bcd |= static_cast<uint32_t>(rest % 10) << shift;

            const double fromChannel = n / 100.0;
            const double fromSwitch = y == 0 ? (n + 5) / 100.0 - 0.05 : (n - 5) / 100.0 + 0.05;
            for (double mhz : {fromChannel, fromSwitch}) {
                fake.keyEvents.clear();
                set_nav_frequency(mhz, 1);
                ASSERT_EQ(fake.keyEvents.size(), 1u);
                EXPECT_EQ(fake.keyEvents[0].value, bcd)
                    << "channel " << channel << (y ? "Y" : "X") << " N " << n << " mhz "
                    << std::hexfloat << mhz;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 200);  // 43 + 57 channels, X and Y: 108.00 to 117.95 MHz
}

}  // namespace

// Approach geometry against an independent construction: the ship's points
// and the aircraft are placed with GeographicLib on the same sphere (radius
// 6371000 m), converting ship-frame offsets by two legs (forward along the
// heading, then to starboard) instead of the module's polar form.
#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "geo/approach.h"
#include "geo/geodesy.h"
#include "state/module_state.h"
#include "tests/unit/fake_panels.h"

namespace {

const char* const MAGVAR = "(A:MAGVAR, radians)";
const char* const CG_HEIGHT = "(A:STATIC CG TO GROUND, meters)";

// The ship: degrees and metres; east-positive longitude as GeographicLib uses.
constexpr double SHIP_LAT = 36.9;
constexpr double SHIP_LON_EAST = -76.3;
constexpr double SHIP_HEADING = 5.0;
constexpr double RUNWAY_ANGLE = 9.0;
constexpr double GS_ANGLE = 3.5;
constexpr double DECK_ALT_NM = 0.002;
constexpr double ILS_X = -15.0, ILS_Y = 20.0, ILS_Z = -90.0;
constexpr double TCN_X = 25.0, TCN_Y = 45.0, TCN_Z = 20.0;
constexpr double CG_METRES = 2.0;
constexpr double MAGVAR_RAD = 0.1;

double wrap180(double deg) { return std::remainder(deg, 360.0); }

struct GeoPoint {
    double lat, lon;  // degrees, east-positive
};

class ApproachTest : public ::testing::Test {
protected:
    const GeographicLib::Geodesic sphere{6371000.0, 0.0};
    FakePanels fake;
    CarrierEntry* carrier = nullptr;
    UserAircraftData* plane = nullptr;

    void SetUp() override
    {
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        carrier = moduleState->carrier;
        plane = moduleState->userAircraft;
        *carrier = CarrierEntry{};
        *plane = UserAircraftData{};
        approachSolution = ApproachSolution{};
        carrier->CarrierType = CARRIER_TYPE_SHIP;
        carrier->GS_Angle = GS_ANGLE;
        carrier->RunwayAngle = RUNWAY_ANGLE;
        carrier->ILS_Xcoord = ILS_X;
        carrier->ILS_Ycoord = ILS_Y;
        carrier->ILS_Zcoord = ILS_Z;
        carrier->TCN_Xcoord = TCN_X;
        carrier->TCN_Ycoord = TCN_Y;
        carrier->TCN_Zcoord = TCN_Z;
        carrier->deckAltitude = DECK_ALT_NM;
        carrier->deckLatitude = SHIP_LAT * RAD_PER_DEG;
        carrier->deckLongitude = -SHIP_LON_EAST * RAD_PER_DEG;  // west-positive
        carrier->deckHeading = SHIP_HEADING * RAD_PER_DEG;
        carrierFound = 1;
        fake.results[MAGVAR] = MAGVAR_RAD;
        fake.results[CG_HEIGHT] = CG_METRES;
    }

    // Other suites share the module-wide values: leave them at their start values.
    void TearDown() override
    {
        carrierFound = 0;
        approachSolution = ApproachSolution{};
        *carrier = CarrierEntry{};
        *plane = UserAircraftData{};
    }

    void run_pass()
    {
        compute_ils_solution();
        compute_tacan_solution();
        update_validity();
    }

    double heading() const { return carrier->deckHeading * DEG_PER_RAD; }
    double landing_direction() const { return heading() - carrier->RunwayAngle; }

    // Ship-frame offset (x starboard, z forward, metres): z along the heading,
    // then x square to the right.
    GeoPoint deck_point(double x, double z) const
    {
        double lat1, lon1, azi, lat2, lon2;
        sphere.Direct(SHIP_LAT, SHIP_LON_EAST, heading(), z, lat1, lon1, azi);
        sphere.Direct(lat1, lon1, azi + 90.0, x, lat2, lon2);
        return {lat2, lon2};
    }

    // The aim point: touchdown point moved forward along the landing
    // direction by CG height / tan(glide slope).
    GeoPoint aim_point(double cgMetres) const
    {
        const GeoPoint touchdown = deck_point(ILS_X, ILS_Z);
        const double shift = cgMetres / std::tan(carrier->GS_Angle * RAD_PER_DEG);
        GeoPoint aim;
        sphere.Direct(touchdown.lat, touchdown.lon, landing_direction(), shift, aim.lat, aim.lon);
        return aim;
    }

    // Puts the aircraft `metres` from `from`, leaving it on azimuth `azimuth`
    // (degrees); returns the true course from the aircraft back to `from`.
    double place_aircraft(GeoPoint from, double azimuth, double metres, double altitudeNm)
    {
        double lat, lon, azi2;
        sphere.Direct(from.lat, from.lon, azimuth, metres, lat, lon, azi2);
        plane->planeLatitude = lat * RAD_PER_DEG;
        plane->planeLongitude = lon * RAD_PER_DEG;  // east-positive, as the simulator sends it
        plane->planeAltitude = altitudeNm;
        return wrap180(azi2 + 180.0);
    }

    double metres_between(GeoPoint a, double latRad, double lonWestRad) const
    {
        double s12;
        sphere.Inverse(a.lat, a.lon, latRad * DEG_PER_RAD, -lonWestRad * DEG_PER_RAD, s12);
        return s12;
    }
};

// Aircraft behind the aim point on the extended landing line (or beside it),
// at the slope angle plus `aboveSlope` degrees.
TEST_F(ApproachTest, GlideSlopeAndLocaliserErrorsMatchIndependentGeometry)
{
    struct Case {
        double nm, aboveSlope, offsetLeft;  // offsetLeft: degrees of azimuth at the aim point
    };
    const Case cases[] = {
        {1.0, 0.0, 0.0}, {3.0, 0.0, 0.0},  {8.0, 0.0, 0.0},   {3.0, 1.0, 0.0},
        {3.0, -1.0, 0.0}, {5.0, 0.0, 5.0}, {5.0, 0.0, -5.0},
    };
    const double refAltNm = ILS_Y / METERS_PER_NM + DECK_ALT_NM;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nm << " nm, " << c.aboveSlope << " deg above, "
                                        << c.offsetLeft << " deg left");
        const GeoPoint aim = aim_point(CG_METRES);
        const double metres = c.nm * METERS_PER_NM;
        const double angle = (GS_ANGLE + c.aboveSlope) * RAD_PER_DEG;
        const double altitude = refAltNm + c.nm * std::tan(angle);
        const double courseToAim =
            place_aircraft(aim, landing_direction() + 180.0 + c.offsetLeft, metres, altitude);
        run_pass();

        const ApproachSolution& s = approachSolution;
        // Aim point placed within 1 cm of the independent one.
        EXPECT_LT(metres_between(aim, s.ilsLat, s.ilsLon), 0.01);
        EXPECT_NEAR(s.gsError, c.aboveSlope, 1e-3);
        EXPECT_NEAR(s.locError, wrap180(courseToAim - landing_direction()), 1e-3);
        // Only the meridians' convergence separates it from the azimuth offset.
        EXPECT_NEAR(s.locError, c.offsetLeft, 0.05);
        if (c.offsetLeft == 0.0) {
            EXPECT_NEAR(s.locError, 0.0, 0.01);
        }
        EXPECT_NEAR(s.ilsTrueRadial * DEG_PER_RAD, courseToAim + (courseToAim < 0 ? 360.0 : 0.0), 1e-3);
        EXPECT_NEAR(s.ilsSlantRange, std::hypot(c.nm, altitude - refAltNm), 1e-6);
        EXPECT_EQ(s.tcnValid, 1);
    }
}

TEST_F(ApproachTest, RunwayHeadingsAndRadialsSubtractMagneticVariation)
{
    for (double magvar : {MAGVAR_RAD, -0.2}) {
        SCOPED_TRACE(magvar);
        fake.results[MAGVAR] = magvar;
        place_aircraft(aim_point(CG_METRES), 200.0, 4 * METERS_PER_NM, 0.3);
        run_pass();
        const ApproachSolution& s = approachSolution;
        EXPECT_EQ(s.magneticVariation, magvar);
        EXPECT_DOUBLE_EQ(s.BRC, SHIP_HEADING * RAD_PER_DEG);
        // 5 deg heading, deck angled 9 deg to the left: 356 deg.
        EXPECT_NEAR(s.rwyTrueHeading, TWO_PI - 4 * RAD_PER_DEG, 1e-12);
        EXPECT_NEAR(s.rwyHeading, std::fmod(TWO_PI - 4 * RAD_PER_DEG - magvar + TWO_PI, TWO_PI), 1e-12);
        EXPECT_NEAR(s.ilsRadial, std::fmod(s.ilsTrueRadial - magvar + TWO_PI, TWO_PI), 1e-12);
        EXPECT_NEAR(s.tcnRadial, std::fmod(s.tcnTrueRadial - magvar + TWO_PI, TWO_PI), 1e-12);
    }
}

TEST_F(ApproachTest, CgHeightMovesAimPointAlongLandingDirection)
{
    place_aircraft(aim_point(0.0), 170.0, 3 * METERS_PER_NM, 0.2);
    run_pass();
    const double shiftedLat = approachSolution.ilsLat, shiftedLon = approachSolution.ilsLon;

    // No CG height from the host (nor a magnetic variation: the last one stays).
    fake.results.clear();
    run_pass();
    EXPECT_EQ(approachSolution.magneticVariation, MAGVAR_RAD);
    const GeoPoint unshifted = {approachSolution.ilsLat * DEG_PER_RAD, -approachSolution.ilsLon * DEG_PER_RAD};
    EXPECT_LT(metres_between(deck_point(ILS_X, ILS_Z), approachSolution.ilsLat, approachSolution.ilsLon), 0.01);

    double s12, azi1, azi2;
    sphere.Inverse(unshifted.lat, unshifted.lon, shiftedLat * DEG_PER_RAD, -shiftedLon * DEG_PER_RAD, s12, azi1, azi2);
    EXPECT_NEAR(s12, 32.70, 0.005);  // 2 m / tan(3.5 deg) = 32.6996 m
    EXPECT_NEAR(wrap180(azi1 - 356.0), 0.0, 0.01);
}

// A glide slope of 0 has no forward shift instead of an infinite one.
TEST_F(ApproachTest, ZeroGlideSlopeLeavesAimPointAtTouchdown)
{
    carrier->GS_Angle = 0.0;
    place_aircraft(aim_point(0.0), 180.0, 2 * METERS_PER_NM, 0.1);
    run_pass();
    const ApproachSolution& s = approachSolution;
    ASSERT_TRUE(std::isfinite(s.ilsLat) && std::isfinite(s.ilsLon) && std::isfinite(s.gsError));
    EXPECT_LT(metres_between(deck_point(ILS_X, ILS_Z), s.ilsLat, s.ilsLon), 0.01);
}

TEST_F(ApproachTest, TacanAsternAndAheadOfStraightDeck)
{
    carrier->RunwayAngle = 0.0;
    const GeoPoint tacan = deck_point(TCN_X, TCN_Z);
    const double antennaAltNm = TCN_Y / METERS_PER_NM + DECK_ALT_NM;

    const double courseAstern = place_aircraft(tacan, heading() + 180.0, 5 * METERS_PER_NM, 0.4);
    run_pass();
    EXPECT_NEAR(approachSolution.tcnCdi, wrap180(courseAstern - heading()), 1e-3);
    EXPECT_NEAR(approachSolution.tcnCdi, 0.0, 0.01);
    EXPECT_EQ(approachSolution.tcnToFrom, 1);
    EXPECT_NEAR(approachSolution.tcnSlantRange, std::hypot(5.0, 0.4 - antennaAltNm), 1e-6);

    place_aircraft(tacan, heading(), 5 * METERS_PER_NM, 0.4);
    run_pass();
    EXPECT_EQ(approachSolution.tcnToFrom, 2);
    EXPECT_NEAR(approachSolution.tcnSlantRange, std::hypot(5.0, 0.4 - antennaAltNm), 1e-6);
}

// Course deviation = course to the antenna minus the ship's heading.
TEST_F(ApproachTest, TacanDeviationLimitAndToFromBoundary)
{
    struct Case {
        double deviation, cdi;
        int toFrom;
    };
    const Case cases[] = {
        {5.0, 5.0, 1},     {-7.0, -7.0, 1},  {25.0, 10.0, 1},  {-25.0, -10.0, 1}, {89.5, 10.0, 1},
        {-89.5, -10.0, 1}, {90.5, 10.0, 2},  {-90.5, -10.0, 2}, {135.0, 10.0, 2}, {-135.0, -10.0, 2},
    };
    const GeoPoint tacan = deck_point(TCN_X, TCN_Z);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deviation);
        // Convergence over 2 nm shifts the course by under 0.05 deg.
        place_aircraft(tacan, heading() + c.deviation + 180.0, 2 * METERS_PER_NM, 0.2);
        run_pass();
        EXPECT_NEAR(approachSolution.tcnCdi, c.cdi, 0.05);
        EXPECT_EQ(approachSolution.tcnToFrom, c.toFrom);
    }
}

// On the equator, heading north, with the aircraft due west of the antenna
// the deviation is exactly 90 degrees, which counts as FROM.
TEST_F(ApproachTest, DeviationOfExactlyNinetyIsFrom)
{
    carrier->deckLatitude = 0.0;
    carrier->deckLongitude = 0.0;
    carrier->deckHeading = 0.0;
    carrier->TCN_Xcoord = carrier->TCN_Zcoord = 0.0;
    plane->planeLatitude = 0.0;
    plane->planeLongitude = -0.01;  // east-positive: west of the ship
    run_pass();
    EXPECT_EQ(approachSolution.tcnTrueRadial, 0.5 * M_PI);
    EXPECT_EQ(approachSolution.tcnCdi, 10.0);
    EXPECT_EQ(approachSolution.tcnToFrom, 2);
}

TEST_F(ApproachTest, ValidityWindows)
{
    struct Case {
        double range, loc, gs;
        int tcn, gsFlag, locFlag;
    };
    const Case cases[] = {
        {100.0, 0, 0, 1, 0, 0},      {20.0, 0, 0, 1, 0, 0},         {19.999, 0, 0, 1, 1, 1},
        {10, 20, 1, 1, 0, 1},        {10, 15.999, 31.999, 1, 1, 0}, {10, -16, 0, 1, 0, 1},
        {10, 0, -32, 1, 0, 0},       {10, 31.999, -5.999, 1, 0, 1}, {10, -32, 0, 1, 0, 0},
        {10, 0, 6, 1, 1, 0},         {100.000001, 0, 0, 0, 0, 0},   {NAN, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.range << " nm, LOC " << c.loc << ", GS " << c.gs);
        approachSolution = ApproachSolution{};
        approachSolution.tcnSlantRange = c.range;
        approachSolution.locError = c.loc;
        approachSolution.gsError = c.gs;
        approachSolution.tcnToFrom = 1;
        update_validity();
        EXPECT_EQ(approachSolution.tcnValid, c.tcn);
        EXPECT_EQ(approachSolution.ilsGsValid, c.gsFlag);
        EXPECT_EQ(approachSolution.ilsLocValid, c.locFlag);
        if (!c.tcn) {  // out of range: cleared
            EXPECT_EQ(approachSolution.tcnSlantRange, 0.0);
            EXPECT_EQ(approachSolution.locError, 0.0);
            EXPECT_EQ(approachSolution.tcnToFrom, 0);
        }
    }
}

// The same flag window reached through the geometry: 20 deg off the line,
// 1 deg above the slope, 10 nm out.
TEST_F(ApproachTest, OffLineAtTenMilesKeepsOnlyTheLocaliserFlag)
{
    const double altitude = ILS_Y / METERS_PER_NM + DECK_ALT_NM + 10.0 * std::tan(4.5 * RAD_PER_DEG);
    place_aircraft(aim_point(CG_METRES), landing_direction() + 200.0, 10 * METERS_PER_NM, altitude);
    run_pass();
    EXPECT_NEAR(approachSolution.locError, 20.0, 0.2);
    EXPECT_NEAR(approachSolution.gsError, 1.0, 1e-3);
    EXPECT_LT(approachSolution.tcnSlantRange, 20.0);
    EXPECT_EQ(approachSolution.ilsGsValid, 0);
    EXPECT_EQ(approachSolution.ilsLocValid, 1);
}

TEST_F(ApproachTest, LostCarrierClearsAllButRadialsAndIlsPoint)
{
    place_aircraft(aim_point(CG_METRES), landing_direction() + 183.0, 3 * METERS_PER_NM, 0.2);
    run_pass();
    approachSolution.meatballPosition = 12.0;
    const ApproachSolution before = approachSolution;
    ASSERT_EQ(before.tcnValid, 1);
    ASSERT_EQ(before.ilsGsValid, 1);
    ASSERT_NE(before.ilsRadial, 0.0);
    ASSERT_NE(before.tcnRadial, 0.0);

    carrierFound = 0;
    update_validity();
    const ApproachSolution& s = approachSolution;
    EXPECT_EQ(s.tcnValid, 0);
    EXPECT_EQ(s.ilsGsValid, 0);
    EXPECT_EQ(s.ilsLocValid, 0);
    EXPECT_EQ(s.tcnToFrom, 0);
    for (double v : {s.BRC, s.rwyTrueHeading, s.rwyHeading, s.gsError, s.locError, s.meatballPosition,
                     s.ilsTrueRadial, s.ilsSlantRange, s.tcnTrueRadial, s.tcnCdi, s.tcnSlantRange})
        EXPECT_EQ(v, 0.0);
    EXPECT_EQ(s.ilsRadial, before.ilsRadial);
    EXPECT_EQ(s.tcnRadial, before.tcnRadial);
    EXPECT_EQ(s.ilsLat, before.ilsLat);
    EXPECT_EQ(s.ilsLon, before.ilsLon);
    EXPECT_EQ(s.magneticVariation, before.magneticVariation);
}

TEST_F(ApproachTest, ExactlyTwoCalculatorEvaluationsPerPass)
{
    place_aircraft(aim_point(CG_METRES), 180.0, 3 * METERS_PER_NM, 0.2);
    run_pass();
    EXPECT_EQ(fake.executed, (std::vector<std::string>{MAGVAR, CG_HEIGHT}));
}

}  // namespace

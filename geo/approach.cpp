// The approach picture relative to the moving deck, recomputed on every frame
// of user-aircraft data while a carrier is selected.
//
// Frames and units: deck offsets are metres in the ship's frame (X starboard,
// Y up, Z towards the bow) from the ship's reference position; positions are
// radians with WEST-positive longitudes (the aircraft's east-positive
// longitude is negated before every helper call); distances and altitudes are
// nautical miles; glide-slope and localiser errors are degrees. The landing
// direction is the ship's heading minus RunwayAngle (the angled deck points
// to the left of the bow).
//
// Per pass: exactly two calculator evaluations, no allocation.
#include "geo/approach.h"

#include <cmath>

#include "geo/geodesy.h"
#include "module/host_services.h"
#include "state/module_state.h"

namespace {

// Thresholds of the validity flags: nautical miles and degrees.
constexpr double TACAN_RANGE_LIMIT_NM = 100.0;  // inclusive
constexpr double ILS_RANGE_LIMIT_NM = 20.0;     // exclusive
constexpr double GS_FLAG_LOC_WINDOW_DEG = 16.0;
constexpr double GS_FLAG_GS_WINDOW_DEG = 32.0;
constexpr double LOC_FLAG_LOC_WINDOW_DEG = 32.0;
constexpr double LOC_FLAG_GS_WINDOW_DEG = 6.0;
constexpr double CDI_LIMIT_DEG = 10.0;
constexpr double TO_FROM_BOUNDARY_DEG = 90.0;

// Places the ship-frame point (x starboard, z forward; metres) on the earth
// from the deck's live position. Exact on the sphere for the polar form of
// the offset; a deck offset of a few hundred metres is far below the sphere's
// own 0.5 % error.
void place_deck_point(const CarrierEntry& c, double x, double z, double* lat, double* lon)
{
    const double range = std::sqrt(x * x + z * z) / METERS_PER_NM;
    const double bearing = wrap_angle(std::atan2(x, z) + c.deckHeading);  // true
    *lat = destination_latitude(c.deckLatitude, range, bearing);
    *lon = destination_longitude(c.deckLatitude, c.deckLongitude, range, bearing);
}

}  // namespace

void compute_ils_solution()
{
    const CarrierEntry& c = *moduleState->carrier;
    const UserAircraftData& plane = *moduleState->userAircraft;
    ApproachSolution& s = approachSolution;

    // A failed evaluation leaves the previous variation in place.
    execute_calculator_code("(A:MAGVAR, radians)", &s.magneticVariation, nullptr, nullptr);
    s.BRC = c.deckHeading;
    const double runwayAngle = c.RunwayAngle * RAD_PER_DEG;
    s.rwyTrueHeading = wrap_angle(c.deckHeading - runwayAngle);
    s.rwyHeading = wrap_angle(s.rwyTrueHeading - s.magneticVariation);

    // Height of the aircraft's centre of gravity above its wheels, metres;
    // stays 0 (no correction) when the host gives nothing.
    double cgHeight = 0.0;
    execute_calculator_code("(A:STATIC CG TO GROUND, meters)", &cgHeight, nullptr, nullptr);

    // The aim point moves `shift` metres along the landing direction, so a
    // path at the slope angle aimed at it passes cgHeight above the touchdown
    // point: the wheels, not the CG, meet the deck there. A glide slope that
    // is not between 0 and 90 degrees has no such point (tan would make the
    // shift infinite or negative and the ILS values NaN): no shift then.
    double shift = 0.0;
    if (c.GS_Angle > 0.0 && c.GS_Angle < 90.0) shift = cgHeight / std::tan(c.GS_Angle * RAD_PER_DEG);
    const double x = c.ILS_Xcoord - std::sin(runwayAngle) * shift;
    const double z = c.ILS_Zcoord + std::cos(runwayAngle) * shift;
    place_deck_point(c, x, z, &s.ilsLat, &s.ilsLon);

    const double planeLat = plane.planeLatitude;
    const double planeLon = -plane.planeLongitude;  // west-positive
    s.ilsTrueRadial = initial_course(planeLat, planeLon, s.ilsLat, s.ilsLon);
    s.ilsRadial = wrap_angle(s.ilsTrueRadial - s.magneticVariation);

    const double horizontal = great_circle_distance(planeLat, planeLon, s.ilsLat, s.ilsLon);
    const double refAltitude = c.ILS_Ycoord / METERS_PER_NM + c.deckAltitude;
    s.ilsSlantRange = slant_range(plane.planeAltitude, refAltitude, horizontal);
    // Elevation above the local horizontal with the earth's curvature left
    // out (it would lower the elevation by d / (2 R): 0.08 deg at 10 nm).
    s.gsError = std::atan2(plane.planeAltitude - refAltitude, horizontal) * DEG_PER_RAD - c.GS_Angle;
    // Positive when the aircraft is left of the extended landing line.
    s.locError = wrap_signed(s.ilsTrueRadial - s.rwyTrueHeading) * DEG_PER_RAD;
}

void compute_tacan_solution()
{
    const CarrierEntry& c = *moduleState->carrier;
    const UserAircraftData& plane = *moduleState->userAircraft;
    ApproachSolution& s = approachSolution;

    // The antenna height (TCN_Ycoord) only enters the slant range.
    double tacanLat = 0.0;
    double tacanLon = 0.0;
    place_deck_point(c, c.TCN_Xcoord, c.TCN_Zcoord, &tacanLat, &tacanLon);

    const double planeLat = plane.planeLatitude;
    const double planeLon = -plane.planeLongitude;  // west-positive
    s.tcnTrueRadial = initial_course(planeLat, planeLon, tacanLat, tacanLon);
    s.tcnRadial = wrap_angle(s.tcnTrueRadial - s.magneticVariation);

    // Deviation of the course to the antenna from the ship's course, degrees;
    // the needle is limited, the TO/FROM flag uses the unlimited value.
    const double deviation = wrap_signed(s.tcnTrueRadial - s.BRC) * DEG_PER_RAD;
    if (deviation > CDI_LIMIT_DEG)
        s.tcnCdi = CDI_LIMIT_DEG;
    else if (deviation < -CDI_LIMIT_DEG)
        s.tcnCdi = -CDI_LIMIT_DEG;
    else
        s.tcnCdi = deviation;
    s.tcnToFrom = std::fabs(deviation) < TO_FROM_BOUNDARY_DEG ? 1 : 2;

    const double horizontal = great_circle_distance(planeLat, planeLon, tacanLat, tacanLon);
    s.tcnSlantRange =
        slant_range(plane.planeAltitude, c.TCN_Ycoord / METERS_PER_NM + c.deckAltitude, horizontal);
}

void update_validity()
{
    ApproachSolution& s = approachSolution;
    // The negated comparison also rejects a NaN range.
    if (!carrierFound || !(s.tcnSlantRange <= TACAN_RANGE_LIMIT_NM)) {
        clear_approach_solution();
        return;
    }
    s.tcnValid = 1;
    // Both ILS flags use the TACAN range; every window is exclusive.
    const bool inIlsRange = s.tcnSlantRange < ILS_RANGE_LIMIT_NM;
    const double loc = std::fabs(s.locError);
    const double gs = std::fabs(s.gsError);
    s.ilsGsValid = inIlsRange && loc < GS_FLAG_LOC_WINDOW_DEG && gs < GS_FLAG_GS_WINDOW_DEG;
    s.ilsLocValid = inIlsRange && loc < LOC_FLAG_LOC_WINDOW_DEG && gs < LOC_FLAG_GS_WINDOW_DEG;
}

void clear_approach_solution()
{
    // "ILS Radial", "TCN Radial", "ILS Lat", "ILS Lon" and the magnetic
    // variation keep their last values.
    ApproachSolution& s = approachSolution;
    s.tcnValid = 0;
    s.ilsGsValid = 0;
    s.ilsLocValid = 0;
    s.tcnToFrom = 0;
    s.BRC = 0.0;
    s.rwyTrueHeading = 0.0;
    s.rwyHeading = 0.0;
    s.gsError = 0.0;
    s.locError = 0.0;
    s.meatballPosition = 0.0;
    s.ilsTrueRadial = 0.0;
    s.ilsSlantRange = 0.0;
    s.tcnTrueRadial = 0.0;
    s.tcnCdi = 0.0;
    s.tcnSlantRange = 0.0;
}

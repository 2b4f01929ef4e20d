// The `Tacan_Navigation` gauge: watches the TACAN's NAV receiver, raises the
// tuning command when its active frequency changes, and otherwise publishes
// the approach picture as twenty-one named panel variables.
#include <cstring>

#include "module/gauge_registry.h"
#include "sim/command_events.h"
#include "state/module_state.h"

static ELEMENT_STATIC_IMAGE tacan_navigation_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1300, {9, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x1, 0},
};
static ELEMENT_HEADER* tacan_navigation_elements[] = {&tacan_navigation_background.header, nullptr};

// The published names, in publication order.
static const char* const PUBLISHED_NAMES[] = {
    "TCN Valid",       "Carrier_Is_Found", "CarrierType",     "BRC",          "RWY_True_Heading",
    "RWY_Heading",     "GS Error",         "LOC Error",       "ILS_LOC_VALID", "ILS_GS_VALID",
    "Meatball_Position", "ILS Radial",     "TCN Radial",      "TCN CDI",      "TCN_TOFROM",
    "ILS True Radial", "TCN True Radial",  "ILS Slant Range", "TCN Slant Range", "ILS Lat",
    "ILS Lon",
};
constexpr int PUBLISHED_COUNT = sizeof PUBLISHED_NAMES / sizeof PUBLISHED_NAMES[0];
static_assert(PUBLISHED_COUNT == 21, "twenty-one published values");

// Registers every name (the host returns the existing id of a known name),
// then sets the current values in the same order.
static void publish_approach_picture()
{
    int32_t ids[PUBLISHED_COUNT];
    for (int i = 0; i < PUBLISHED_COUNT; ++i) ids[i] = register_named_variable(PUBLISHED_NAMES[i]);

    const ApproachSolution& s = approachSolution;
    const double values[PUBLISHED_COUNT] = {
        static_cast<double>(s.tcnValid),
        static_cast<double>(carrierFound),
        static_cast<double>(moduleState->carrier->CarrierType),
        s.BRC,
        s.rwyTrueHeading,
        s.rwyHeading,
        s.gsError,
        s.locError,
        static_cast<double>(s.ilsLocValid),
        static_cast<double>(s.ilsGsValid),
        s.meatballPosition,
        s.ilsRadial,
        s.tcnRadial,
        s.tcnCdi,
        static_cast<double>(s.tcnToFrom),
        s.ilsTrueRadial,
        s.tcnTrueRadial,
        s.ilsSlantRange,
        s.tcnSlantRange,
        s.ilsLat,
        s.ilsLon,
    };
    for (int i = 0; i < PUBLISHED_COUNT; ++i) set_named_variable_value(ids[i], values[i]);
}

// Reads the receiver's active frequency (0.0 when the host gives nothing); a
// new one becomes the tuned frequency and raises the tuning command, and that
// update publishes nothing.
static void tacan_navigation_update()
{
    double frequency = 0.0;
    execute_calculator_code(tacanReceiver == 2 ? "(A:Nav2 Active Frequency, MHz)" : "(A:Nav1 Active Frequency, MHz)",
                            &frequency, nullptr, nullptr);
    if (!(frequency == tunedTacanFrequency)) {  // a NaN counts as different
        tunedTacanFrequency = frequency;
        tuningChanged = 1;
        trigger_key_event(CMD_TUNE, 0);
        return;
    }
    tuningChanged = 0;
    publish_approach_picture();
}

static void tacan_navigation_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
        // The parameter string selects NAV2 when it contains a "2" anywhere.
        if (header && header->parameters) tacanReceiver = std::strchr(header->parameters, '2') ? 2 : 1;
        break;
    case PANEL_SERVICE_PRE_UPDATE:
        tacan_navigation_update();
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Tacan_Navigation =
    make_gauge_header<tacan_navigation_elements>("Tacan_Navigation", 100, nullptr, tacan_navigation_callback);

// Every bitmap the module's gauges name, with its size in pixels. The
// generator (resources/make_bitmaps.cpp) draws one PNG per entry into the
// build's resources folder, named "<id>.png" or "<name>.png"; the bench's
// drawing loads them from there. The two logic gauges name ids (1330, 1340)
// that the resources tie to their named pictures.
#pragma once

#include <cstdint>

namespace resources {

struct BitmapInfo {
    int32_t id;        // resource id, or 0 for a bitmap known by name only
    const char* name;  // file stem: the id in decimal, or the resource name
    int width;
    int height;
    const char* what;
};

inline constexpr BitmapInfo BITMAPS[] = {
    // TACAN radio control head.
    {1000, "1000", 400, 149, "radio background"},
    {1010, "1010", 52, 52, "channel knob"},
    {1020, "1020", 14, 253, "digit drum strip 0-9,0"},
    {1021, "1021", 14, 23, "digit drum window"},
    {1030, "1030", 17, 23, "letter X"},
    {1031, "1031", 17, 23, "letter Y"},
    {1040, "1040", 10, 23, "hundreds digit blank"},
    {1041, "1041", 10, 23, "hundreds digit 1"},
    {1050, "1050", 40, 62, "main switch off"},
    {1051, "1051", 40, 62, "main switch on"},
    {1060, "1060", 66, 32, "tone switch off"},
    {1061, "1061", 66, 32, "tone switch on"},
    {1070, "1070", 20, 20, "power lamp dark"},
    {1071, "1071", 20, 20, "power lamp lit"},
    {1080, "1080", 66, 32, "X/Y switch at X"},
    {1081, "1081", 66, 32, "X/Y switch at Y"},
    // Carrier indicator.
    {1110, "1110", 256, 256, "compass card"},
    {1120, "1120", 210, 48, "bearing pointer"},
    {1130, "1130", 4, 112, "localizer bar"},
    {1140, "1140", 112, 4, "glide-slope bar"},
    {1151, "1151", 115, 23, "runway pointer"},
    {1160, "1160", 300, 300, "bezel"},
    {1170, "1170", 71, 19, "FIELD lamp, locked"},
    {1171, "1171", 71, 19, "FIELD lamp, no lock"},
    {1180, "1180", 71, 19, "SHIP lamp, locked"},
    {1181, "1181", 71, 19, "SHIP lamp, no lock"},
    {1190, "1190", 60, 19, "LSO legend"},
    {1200, "1200", 60, 19, "ILS legend"},
    {1210, "1210", 300, 300, "indicator face"},
    {1220, "1220", 36, 21, "NAV flag"},
    {1221, "1221", 36, 21, "DME flag"},
    {1230, "1230", 4, 112, "localizer bar at its limit"},
    {1240, "1240", 112, 4, "glide-slope bar at its limit"},
    // Navigation gauge, sub-panel box, logic gauges.
    {1300, "1300", 230, 259, "TACAN navigation gauge"},
    {150, "150", 19, 19, "sub-panel close box"},
    {1340, "BMP_APPROACH_CTRL_SMALL_BACKGROUND", 230, 259, "approach control"},
    {1330, "BMP_CUSTOMCATAPULT_SMALL_BACKGROUND", 230, 259, "catapult"},
};

inline const BitmapInfo* find_bitmap(int32_t id)
{
    for (const BitmapInfo& b : BITMAPS)
        if (b.id == id) return &b;
    return nullptr;
}

}  // namespace resources

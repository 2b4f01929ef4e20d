// Reader of the carrier list "./Gauges/ZEB_Carrier.xml": finds the entry of a
// tuned TACAN frequency and makes it the current carrier.
//
// Index: [helpers] [entry kinds] [load_carrier_entry]
#include "config/carrier_list.h"

#include <tinyxml.h>

#include "config/xml_file.h"
#include "config/xml_number.h"

#include <string>

#include "config/parameters.h"
#include "geo/geodesy.h"
#include "geo/numeric.h"
#include "state/module_state.h"

// [helpers] ---------------------------------------------------------------------
namespace {

constexpr double NM_PER_FOOT = 0.00016457883369330455;  // 0.3048 m / 1852 m

// Texts of an entry; an absent one reads as the explicit empty value "none",
// which is also what a cleared record holds.
void read_text(const TiXmlElement* entry, const char* name, std::string& field)
{
    const char* value = entry->Attribute(name);
    field = value ? value : "none";
}

// Absent or non-numeric attributes leave `field` as it was.
void read_double(const TiXmlElement* entry, const char* name, double& field)
{
    entry->QueryDoubleAttribute(name, &field);
}

// The record as it is when no entry matched the tuned frequency. The live
// speed, yaw rate and deflector values are left alone: they belong to the
// ship data, not to the list.
void clear_carrier(CarrierEntry& carrier, float frequency)
{
    carrier.Name = "none";
    carrier.Sim_Name = "none";
    carrier.Sim_Name_Helo = "none";
    carrier.Language = "none";
    carrier.FLOLS_Name = "none";
    carrier.Frequency = frequency;
    carrier.CarrierType = CARRIER_TYPE_NONE;
    carrier.Helo_Bearing = carrier.Helo_Distance = 0.0;
    carrier.GS_Angle = carrier.RunwayAngle = 0.0;
    carrier.ILS_Xcoord = carrier.ILS_Ycoord = carrier.ILS_Zcoord = 0.0;
    carrier.TCN_Xcoord = carrier.TCN_Ycoord = carrier.TCN_Zcoord = 0.0;
    carrier.Lat_FLOLS = carrier.Lon_FLOLS = 0.0;
    carrier.deckAltitude = carrier.deckLatitude = carrier.deckLongitude = carrier.deckHeading = 0.0;
    carrier.valid = 0;
}

// Sounds are (re)loaded after the tuning unless the carrier has none.
void set_sound_reload(const CarrierEntry& carrier)
{
    moduleState->sounds->soundReloadNeeded = carrier.Language != "none" ? 1 : 0;
}

// [entry kinds] ------------------------------------------------------------------

// A ship: its deck offsets (metres, X starboard, Y up, Z forward) and the
// landing area's angle come from the list; its position, heading and speed
// arrive later with the ship data. An absent offset keeps the previous value.
void read_ship(const TiXmlElement* entry, CarrierEntry& carrier)
{
    carrier.CarrierType = CARRIER_TYPE_SHIP;
    read_text(entry, "Sim_Name", carrier.Sim_Name);
    read_text(entry, "Sim_Name_Helo", carrier.Sim_Name_Helo);
    read_text(entry, "Language", carrier.Language);
    read_double(entry, "Helo_Bearing", carrier.Helo_Bearing);
    read_double(entry, "Helo_Distance", carrier.Helo_Distance);
    read_double(entry, "GS_Angle", carrier.GS_Angle);
    read_double(entry, "RunwayAngle", carrier.RunwayAngle);
    read_double(entry, "ILS_Xcoord", carrier.ILS_Xcoord);
    read_double(entry, "ILS_Ycoord", carrier.ILS_Ycoord);
    read_double(entry, "ILS_Zcoord", carrier.ILS_Zcoord);
    read_double(entry, "TCN_Xcoord", carrier.TCN_Xcoord);
    read_double(entry, "TCN_Ycoord", carrier.TCN_Ycoord);
    read_double(entry, "TCN_Zcoord", carrier.TCN_Zcoord);
    carrier.deckLatitude = carrier.deckLongitude = carrier.deckAltitude = carrier.deckHeading = 0.0;
    carrier.FLOLS_Name = "none";
    carrier.Lat_FLOLS = carrier.Lon_FLOLS = 0.0;
}

// A fixed site ashore: the file gives its position in degrees (east positive),
// its altitude in feet and the runway's true heading in degrees; the record
// holds radians with the longitude west positive, and nautical miles. Both the
// aim point and the TACAN sit at the site's position, so the offsets are 0.
void read_fixed_site(const TiXmlElement* entry, CarrierEntry& carrier)
{
    carrier.CarrierType = CARRIER_TYPE_FIXED_SITE;
    carrier.Sim_Name = "none";
    carrier.Sim_Name_Helo = "none";
    read_text(entry, "Language", carrier.Language);
    read_text(entry, "FLOLS_Name", carrier.FLOLS_Name);

    double runwayHeading_deg = 0.0, altitude_ft = 0.0, latitude_deg = 0.0, longitude_deg = 0.0;
    read_double(entry, "RunwayAngle", runwayHeading_deg);
    read_double(entry, "Alt", altitude_ft);
    read_double(entry, "Lat_coord", latitude_deg);
    read_double(entry, "Lon_coord", longitude_deg);
    read_double(entry, "GS_Angle", carrier.GS_Angle);
    read_double(entry, "Lat_FLOLS", carrier.Lat_FLOLS);  // degrees, handed on unchanged
    read_double(entry, "Lon_FLOLS", carrier.Lon_FLOLS);

    carrier.deckHeading = runwayHeading_deg * RAD_PER_DEG;
    carrier.deckAltitude = altitude_ft * NM_PER_FOOT;
    carrier.deckLatitude = latitude_deg * RAD_PER_DEG;
    carrier.deckLongitude = -longitude_deg * RAD_PER_DEG;

    carrier.RunwayAngle = 0.0;
    carrier.Helo_Bearing = carrier.Helo_Distance = 0.0;
    carrier.ILS_Xcoord = carrier.ILS_Ycoord = carrier.ILS_Zcoord = 0.0;
    carrier.TCN_Xcoord = carrier.TCN_Ycoord = carrier.TCN_Zcoord = 0.0;
}

}  // namespace

// [load_carrier_entry] --------------------------------------------------------------

int load_carrier_entry(TiXmlDocument& document, float frequency)
{
    if (!load_xml_file(document)) {
        report_load_failure(document);
        return 1;
    }

    const TiXmlElement* entry =
        TiXmlHandle(&document).FirstChildElement("CarrierList").FirstChildElement().ToElement();
    if (!entry) {
        report_missing_node();
        return 2;
    }

    // Frequencies compare in single precision, as the receiver's frequency
    // reaches us. An entry without a readable Frequency is compared with the
    // last one read (0 before any), so after a keyed entry it never matches.
    float entryFrequency = 0.0f;
    for (; entry; entry = entry->NextSiblingElement()) {
        double value = 0.0;
        if (entry->QueryDoubleAttribute("Frequency", &value) == TIXML_SUCCESS)
            entryFrequency = to_single_precision(value);
        if (entryFrequency == frequency) break;
    }

    CarrierEntry& carrier = *moduleState->carrier;
    if (!entry) {
        clear_carrier(carrier, frequency);
        set_sound_reload(carrier);
        return 0;
    }

    read_text(entry, "Name", carrier.Name);
    int32_t type = CARRIER_TYPE_NONE;
    query_int32_attribute(entry, "CarrierType", &type);
    if (type == CARRIER_TYPE_SHIP)
        read_ship(entry, carrier);
    else if (type == CARRIER_TYPE_FIXED_SITE)
        read_fixed_site(entry, carrier);
    // Any other type only renames the record and marks it valid: the other
    // fields, the type included, stay those of the previous carrier.

    carrier.Frequency = entryFrequency;
    carrier.valid = 1;
    set_sound_reload(carrier);
    return 1;
}

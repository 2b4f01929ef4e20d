// The carrier list reader against small lists written into a scratch
// simulator root, and the bundled carrier list of the bench's simulator.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/carrier_list.h"
#include "config/sound_list.h"
#include "host/process_services.h"
#include "scratch_root.h"
#include "state/module_state.h"

namespace {

const char* const SHIP =
    R"(<Carrier Frequency="112.70" Name="Ship" CarrierType="1" Sim_Name="Carrier Nimitz CVN-68" Sim_Name_Helo="Helo" )"
    R"(Language="English" Helo_Bearing="90" Helo_Distance="400" GS_Angle="3.5" RunwayAngle="9" ILS_Xcoord="-6" )"
    R"(ILS_Ycoord="19" ILS_Zcoord="-90" TCN_Xcoord="20" TCN_Ycoord="50" TCN_Zcoord="10"/>)";
const char* const SITE =
    R"(<Site Frequency="114.30" Name="Site" CarrierType="2" FLOLS_Name="Lens" Language="English" GS_Angle="3.25" )"
    R"(RunwayAngle="90" Alt="6076.1155" Lat_coord="45" Lon_coord="5.0" Lat_FLOLS="45.001" Lon_FLOLS="5.002" )"
    R"(Helo_Bearing="30" ILS_Xcoord="7" Sim_Name="ignored"/>)";

class CarrierListTest : public ScratchRootTest {
protected:
    void SetUp() override
    {
        ScratchRootTest::SetUp();
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        set_previous_carrier();
    }

    // What an earlier carrier left: every field set.
    static void set_previous_carrier()
    {
        CarrierEntry& c = *moduleState->carrier;
        c.Name = c.FLOLS_Name = c.Sim_Name = c.Sim_Name_Helo = c.Language = "old";
        c.Frequency = 1.0f;
        c.Helo_Bearing = c.Helo_Distance = c.GS_Angle = c.RunwayAngle = c.Lat_FLOLS = c.Lon_FLOLS = 11.0;
        c.ILS_Xcoord = c.ILS_Ycoord = c.ILS_Zcoord = c.TCN_Xcoord = c.TCN_Ycoord = c.TCN_Zcoord = 12.0;
        c.deckAltitude = c.deckLatitude = c.deckLongitude = c.deckHeading = 0.5;
        c.deckSpeed = c.deckYawRate = c.blastDeflector1 = c.blastDeflector4 = 14.0;
        c.CarrierType = 7;
        c.valid = 9;
        moduleState->sounds->soundReloadNeeded = 7;
    }
    static void write_list(const std::vector<std::string>& entries)
    {
        std::ofstream out("Gauges/ZEB_Carrier.xml");
        out << "<?xml version=\"1.0\"?>\n<CarrierList>\n";
        for (const std::string& entry : entries) out << "  " << entry << "\n";
        out << "</CarrierList>\n";
    }
    static int lookup(float frequency)
    {
        TiXmlDocument document("./Gauges/ZEB_Carrier.xml");
        return load_carrier_entry(document, frequency);
    }
    // The live ship values belong to the ship data and survive every lookup.
    static void expect_live_values_kept()
    {
        const CarrierEntry& c = *moduleState->carrier;
        for (double v : {c.deckSpeed, c.deckYawRate, c.blastDeflector1, c.blastDeflector4}) EXPECT_EQ(v, 14.0);
    }

};

TEST_F(CarrierListTest, ShipEntryTakesItsOffsetsAndWaitsForItsPosition)
{
    write_list({SITE, SHIP});
    EXPECT_EQ(lookup(112.7f), 1);
    EXPECT_TRUE(errorLines.empty());
    const CarrierEntry& c = *moduleState->carrier;
    EXPECT_EQ(c.Name, "Ship");
    EXPECT_EQ(c.CarrierType, CARRIER_TYPE_SHIP);
    EXPECT_EQ(c.valid, 1);
    EXPECT_EQ(c.Frequency, 112.7f);
    EXPECT_EQ(c.Sim_Name + "|" + c.Sim_Name_Helo + "|" + c.Language + "|" + c.FLOLS_Name,
              "Carrier Nimitz CVN-68|Helo|English|none");
    const std::pair<double, double> read[] = {
        {c.Helo_Bearing, 90}, {c.Helo_Distance, 400}, {c.GS_Angle, 3.5},  {c.RunwayAngle, 9},
        {c.ILS_Xcoord, -6},   {c.ILS_Ycoord, 19},     {c.ILS_Zcoord, -90}, {c.TCN_Xcoord, 20},
        {c.TCN_Ycoord, 50},   {c.TCN_Zcoord, 10},     {c.Lat_FLOLS, 0},    {c.Lon_FLOLS, 0},
        {c.deckAltitude, 0},  {c.deckLatitude, 0},    {c.deckLongitude, 0}, {c.deckHeading, 0}};
    for (const auto& [actual, expected] : read) EXPECT_EQ(actual, expected);
    expect_live_values_kept();
    EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 1);
}

TEST_F(CarrierListTest, FixedSiteConvertsItsPositionAndClearsShipFields)
{
    write_list({SHIP, SITE});
    EXPECT_EQ(lookup(114.3f), 1);
    const CarrierEntry& c = *moduleState->carrier;
    EXPECT_EQ(c.CarrierType, CARRIER_TYPE_FIXED_SITE);
    EXPECT_EQ(c.Name + "|" + c.Sim_Name + "|" + c.Sim_Name_Helo + "|" + c.Language + "|" + c.FLOLS_Name,
              "Site|none|none|English|Lens");
    EXPECT_EQ(c.GS_Angle, 3.25);
    EXPECT_EQ(c.Lat_FLOLS, 45.001);  // degrees, handed on unchanged
    EXPECT_EQ(c.Lon_FLOLS, 5.002);
    EXPECT_NEAR(c.deckLongitude, -0.0872664626, 1e-10);  // 5 deg east, stored west positive
    EXPECT_NEAR(c.deckAltitude, 1.0, 1e-8);               // 6076.1155 ft
    EXPECT_NEAR(c.deckLatitude, M_PI / 4, 1e-12);
    EXPECT_NEAR(c.deckHeading, M_PI / 2, 1e-12);  // runway true heading 090
    for (double v : {c.RunwayAngle, c.Helo_Bearing, c.Helo_Distance, c.ILS_Xcoord, c.ILS_Ycoord, c.ILS_Zcoord,
                     c.TCN_Xcoord, c.TCN_Ycoord, c.TCN_Zcoord})
        EXPECT_EQ(v, 0.0);
    expect_live_values_kept();

    // Without position values the site sits at 0 rather than at the previous
    // carrier's place; values read straight into the record are kept.
    write_list({R"(<Site Frequency="114.30" Name="Bare" CarrierType="2"/>)"});
    set_previous_carrier();
    EXPECT_EQ(lookup(114.3f), 1);
    for (double v : {c.deckHeading, c.deckAltitude, c.deckLatitude, c.deckLongitude}) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(c.GS_Angle, 11.0);
    EXPECT_EQ(c.Language + "|" + c.FLOLS_Name, "none|none");  // absent texts
    EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 0);
}

TEST_F(CarrierListTest, NoMatchClearsTheRecord)
{
    write_list({SHIP, SITE});
    EXPECT_EQ(lookup(108.45f), 0);
    EXPECT_TRUE(errorLines.empty());
    const CarrierEntry& c = *moduleState->carrier;
    EXPECT_EQ(c.Name + c.Sim_Name + c.Sim_Name_Helo + c.Language + c.FLOLS_Name, "nonenonenonenonenone");
    EXPECT_EQ(c.Frequency, 108.45f);
    EXPECT_EQ(c.CarrierType, CARRIER_TYPE_NONE);
    EXPECT_EQ(c.valid, 0);
    for (double v : {c.Helo_Bearing, c.Helo_Distance, c.GS_Angle, c.RunwayAngle, c.ILS_Xcoord, c.ILS_Ycoord,
                     c.ILS_Zcoord, c.TCN_Xcoord, c.TCN_Ycoord, c.TCN_Zcoord, c.Lat_FLOLS, c.Lon_FLOLS,
                     c.deckAltitude, c.deckLatitude, c.deckLongitude, c.deckHeading})
        EXPECT_EQ(v, 0.0);
    expect_live_values_kept();
    EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 0);
}

// Which entry a tuned frequency selects, by Name ("none": no match).
TEST_F(CarrierListTest, FrequencyMatchingInSinglePrecision)
{
    auto entry = [](const char* frequency, const char* name) {
        return std::string("<C ") + (frequency ? std::string("Frequency=\"") + frequency + "\" " : "") +
               "Name=\"" + name + "\" CarrierType=\"1\"/>";
    };
    struct Case {
        std::vector<std::string> entries;
        float tuned;
        const char* expected;
    };
    const Case cases[] = {
        {{entry("109.80", "First"), entry("109.8", "Second")}, 109.8f, "First"},
        {{entry("109.8000001", "Close")}, 109.8f, "Close"},  // equal once in single precision
        {{entry("109.80001", "Apart")}, 109.8f, "none"},     // a float step apart
        {{entry(nullptr, "Keyless"), entry("109.80", "Keyed")}, 0.0f, "Keyless"},
        {{entry("109.80", "Keyed"), entry(nullptr, "Keyless")}, 0.0f, "none"},
        {{entry("109.80", "Keyed"), entry(nullptr, "Keyless")}, 109.8f, "Keyed"},
        {{entry("channel 35X", "Text")}, 0.0f, "Text"},  // unreadable counts as absent
        {{"<!-- 35X -->", R"(<Boat Frequency="109.80" Name="Boat" CarrierType="1"/>)"}, 109.8f, "Boat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries.back());
        write_list(c.entries);
        const int result = lookup(c.tuned);
        EXPECT_EQ(moduleState->carrier->Name, c.expected);
        EXPECT_EQ(result, std::string(c.expected) == "none" ? 0 : 1);
        EXPECT_EQ(moduleState->carrier->Frequency, c.tuned);
    }
}

TEST_F(CarrierListTest, OtherTypeOnlyRenamesThePreviousCarrier)
{
    for (const char* type : {R"(CarrierType="3")", ""}) {
        SCOPED_TRACE(type);
        write_list({SHIP, std::string(R"(<C Frequency="111.00" Name="Odd" Language="none" )") + type + "/>"});
        ASSERT_EQ(lookup(112.7f), 1);
        moduleState->sounds->soundReloadNeeded = 0;

        EXPECT_EQ(lookup(111.0f), 1);
        const CarrierEntry& c = *moduleState->carrier;
        EXPECT_EQ(c.Name + "|" + c.Sim_Name + "|" + c.Language, "Odd|Carrier Nimitz CVN-68|English");
        EXPECT_EQ(c.Frequency, 111.0f);
        EXPECT_EQ(c.valid, 1);
        EXPECT_EQ(c.CarrierType, CARRIER_TYPE_SHIP);
        EXPECT_EQ(c.ILS_Zcoord, -90.0);
        EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 1);  // from the kept Language
    }
}

TEST_F(CarrierListTest, ShipWithAbsentValuesAndNoLanguage)
{
    // Absent texts read "none", an absent offset keeps the previous value, a
    // type of "1.9" is 1; only the exact text "none" means no sounds.
    write_list({R"(<C Frequency="116.30" Name="Quiet" CarrierType="1.9" Language="none" ILS_Zcoord="-80"/>)",
                R"(<C Frequency="116.35" Name="Loud" CarrierType="1" Language="None"/>)"});
    EXPECT_EQ(lookup(116.3f), 1);
    const CarrierEntry& c = *moduleState->carrier;
    EXPECT_EQ(c.CarrierType, CARRIER_TYPE_SHIP);
    EXPECT_EQ(c.Language + "|" + c.Sim_Name + "|" + c.Sim_Name_Helo, "none|none|none");
    EXPECT_EQ(c.ILS_Zcoord, -80.0);
    EXPECT_EQ(c.ILS_Xcoord, 12.0);
    EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 0);
    EXPECT_EQ(lookup(116.35f), 1);
    EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 1);
}

TEST_F(CarrierListTest, UnreadableOrEmptyListKeepsTheCurrentCarrier)
{
    const std::pair<const char*, int> cases[] = {
        {nullptr, 1},  // no file
        {"<CarrierList><C Frequency=\"112.70\"></CarrierList>", 1},
        {"<Carriers><C Frequency=\"112.70\" Name=\"X\" CarrierType=\"1\"/></Carriers>", 2},
        {"<CarrierList><!-- empty --></CarrierList>", 2},
    };
    for (const auto& [text, result] : cases) {
        SCOPED_TRACE(text ? text : "no file");
        std::filesystem::remove("Gauges/ZEB_Carrier.xml");
        if (text) std::ofstream("Gauges/ZEB_Carrier.xml") << text;
        errorLines.clear();

        EXPECT_EQ(lookup(112.7f), result);
        ASSERT_EQ(errorLines.size(), result == 1 ? 2u : 1u);
        EXPECT_EQ(errorLines[0], result == 1 ? "erreur lors du chargement" : "no node found");
        EXPECT_EQ(moduleState->carrier->Name, "old");
        EXPECT_EQ(moduleState->carrier->valid, 9);
        EXPECT_EQ(moduleState->carrier->Frequency, 1.0f);
        EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 7);
    }
}

// The TACAN channel paired with a VHF frequency, 0 when there is none.
[[maybe_unused]] int tacan_channel(double mhz)
{
    const long hundredths = std::lround(mhz * 100.0);
    if (std::fabs(mhz * 100.0 - hundredths) > 1e-6 || hundredths % 5 != 0) return 0;
    const long tenths = hundredths / 10;
    if (tenths >= 1080 && tenths <= 1122) return static_cast<int>(tenths - 1063);  // 17..59
    if (tenths >= 1123 && tenths <= 1179) return static_cast<int>(tenths - 1053);  // 70..126
    return 0;
}

// Every bundled entry is reachable by its own frequency, sits on a real TACAN
// channel, carries what its type needs and names a language with a sound list.
TEST_F(CarrierListTest, BundledListEntriesAreCompleteAndReachable)
{
#ifndef CARRIER_SOURCE_DIR
    GTEST_SKIP() << "source directory unknown";
#else
    std::filesystem::current_path(std::filesystem::path(CARRIER_SOURCE_DIR) / "scenarios/simroot");
    TiXmlDocument list("./Gauges/ZEB_Carrier.xml");
    ASSERT_TRUE(list.LoadFile()) << list.ErrorDesc();
    int ships = 0, sites = 0;
    for (const TiXmlElement* entry = list.FirstChildElement("CarrierList")->FirstChildElement(); entry;
         entry = entry->NextSiblingElement()) {
        double mhz = 0.0;
        ASSERT_EQ(entry->QueryDoubleAttribute("Frequency", &mhz), TIXML_SUCCESS);
        SCOPED_TRACE(mhz);
        EXPECT_NE(tacan_channel(mhz), 0);
        ASSERT_EQ(lookup(static_cast<float>(mhz)), 1);
        const CarrierEntry& c = *moduleState->carrier;
        EXPECT_EQ(c.Name, entry->Attribute("Name"));  // no earlier entry shares the frequency
        EXPECT_TRUE(c.GS_Angle > 2.0 && c.GS_Angle < 5.0);
        if (c.CarrierType == CARRIER_TYPE_SHIP) {
            ++ships;
            for (const char* name : {"Sim_Name", "Sim_Name_Helo", "Language", "Helo_Bearing", "Helo_Distance",
                                     "ILS_Xcoord", "ILS_Ycoord", "ILS_Zcoord", "TCN_Xcoord", "TCN_Ycoord",
                                     "TCN_Zcoord", "RunwayAngle"})
                EXPECT_NE(entry->Attribute(name), nullptr) << name;
            // Angled deck to port, aim point aft on the deck, antenna on the starboard island.
            EXPECT_TRUE(c.RunwayAngle > 0.0 && c.ILS_Ycoord > 10.0 && c.ILS_Zcoord < 0.0 && c.TCN_Xcoord > 0.0);
        } else {
            ASSERT_EQ(c.CarrierType, CARRIER_TYPE_FIXED_SITE);
            ++sites;
            EXPECT_NE(c.FLOLS_Name, "none");
            EXPECT_NEAR(c.Lat_FLOLS, c.deckLatitude * 180.0 / M_PI, 0.01);  // lens beside the runway
            EXPECT_NEAR(c.Lon_FLOLS, -c.deckLongitude * 180.0 / M_PI, 0.01);
        }
        if (c.Language != "none") {
            TiXmlDocument sounds("./Gauges/ZEB_Parameters.xml");
            EXPECT_EQ(load_sound_list(sounds, c.Language), 1) << c.Language;
        }
    }
    EXPECT_GE(ships, 3);
    EXPECT_GE(sites, 1);
    EXPECT_TRUE(errorLines.empty());
#endif
}

}  // namespace

// The run summary's pieces: what happened, the sample times, named values
// with their units.
#include <gtest/gtest.h>

#include <cmath>

#include "host/record/run_summary.h"

namespace {

TEST(RunSummary, SampleTimesEndAtTheEndTime)
{
    const struct {
        double end;
        std::vector<double> expected;
    } cases[] = {
        {0.3, {0.3}},
        {10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {25, {3, 6, 9, 12, 15, 18, 21, 24, 25}},
        {236, {20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220, 236}},
        {0, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(host::sample_times(c.end), c.expected) << c.end;
}

TEST(RunSummary, NamedValuesCarryTheirUnits)
{
    const struct {
        const char* name;
        double value;
        const char* expected;
    } cases[] = {
        {"BRC", 40 * M_PI / 180, "0.698132 rad true (040.0 deg)"},
        {"RWY_Heading", -0.1, "-0.1 rad magnetic (354.3 deg)"},
        {"ILS Lon", 76.1351 * M_PI / 180, "1.32881 rad west-positive (76.1351 deg W)"},
        {"ILS Lon", -5 * M_PI / 180, "-0.0872665 rad west-positive (5.0000 deg E)"},
        {"ILS Lat", -0.5, "-0.5 rad (28.6479 deg S)"},
        {"GS Error", 0.25, "0.250 deg (+ above the slope)"},
        {"ILS Slant Range", 0.7, "0.700 nm"},
        {"CarrierType", 2, "2 (a fixed site)"},
        {"TCN_TOFROM", 1, "1 (to)"},
        {"TCN Valid", 0, "0 (no)"},
        {"Something_Else", 3.5, "3.5"},
    };
    for (const auto& c : cases) EXPECT_EQ(host::named_value_text(c.name, c.value), c.expected) << c.name;
}

TEST(RunSummary, WhatHappenedSaysWhy)
{
    host::Timeline timeline;
    auto at = [&](double t, const char* kind, nlohmann::json data) {
        timeline.set_clock(t, static_cast<int64_t>(t * 30));
        timeline.add(kind, std::move(data));
    };
    at(1.0, "event", {{"name", "tune"}, {"line", 12}});
    at(1.0, "key", {{"id", "0x100AD"}, {"name", "NAV2_RADIO_SET"}, {"value", 0x11630}, {"source", "scenario"}});
    at(1.03, "key", {{"id", "0x11101"}, {"value", 0}, {"source", "module"}});
    at(1.03, "named", {{"name", "TCN Valid"}, {"value", 0.0}});
    at(1.07, "named", {{"name", "TCN Valid"}, {"value", 1.0}});
    at(1.07, "text", {{"text", "TACAN tuned on Ship -Lock on-"}, {"color", "yellow"}, {"seconds", 5.0}});
    for (int i = 0; i < 30; ++i) at(5.0 + i / 30.0, "key", {{"id", "0x11103"}, {"value", 0}, {"source", "module"}});
    at(9.0, "action_failed", {{"action", "remove boat X"}, {"line", 20}, {"error", "no boat titled \"X\" to remove"}});
    at(9.5, "stderr", {{"line", "no node found"}});
    at(10.0, "named", {{"name", "TCN Valid"}, {"value", 0.0}});
    at(12.0, "key", {{"id", "0x11103"}, {"value", 0}, {"source", "module"}});
    at(13.0, "simconnect", {{"call", "SimConnect_AICreateSimulatedObject"}, {"result", -1}});

    const auto list = host::happenings(timeline);
    const std::vector<std::pair<double, std::string>> expected = {
        {1.0, "event \"tune\" (line 12)"},
        {1.0, "key NAV2_RADIO_SET (0x100AD) value 71216 from the scenario: tunes NAV2 to 116.30 MHz"},
        {1.03, "key 0x11101 value 0 raised by the module: tune: the navigation gauge saw a new NAV frequency, the module selects a carrier"},
        {1.07, "lock-on: TCN Valid 1 (carrier found, TACAN within 100 nm)"},
        {1.07, "text yellow 5 s: \"TACAN tuned on Ship -Lock on-\" (tuning message: carrier selected, TACAN valid)"},
        {5.0, "key 0x11103 value 0 raised by the module: catapult velocity: the catapult pushes the aircraft"},
        {9.0, "action failed (line 20): remove boat X: no boat titled \"X\" to remove"},
        {9.5, "module standard error: \"no node found\" (an element the module needs is missing; see carrier-bench lint)"},
        {10.0, "TACAN lost: TCN Valid 0"},
        {12.0, "key 0x11103 value 0 raised by the module: catapult velocity: the catapult pushes the aircraft"},
        {13.0, "request refused: SimConnect_AICreateSimulatedObject (result -1)"},
    };
    ASSERT_EQ(list.size(), expected.size());
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_NEAR(list[i].t, expected[i].first, 1e-9) << i;
        EXPECT_EQ(list[i].what, expected[i].second) << i;
    }
    EXPECT_EQ(list[5].repeats, 30u);
    EXPECT_NEAR(list[5].last_t, 5.0 + 29 / 30.0, 1e-9);
    EXPECT_EQ(list[9].repeats, 1u);

    host::SummaryInput input;
    input.scenario_name = "s";
    input.end_time = 13.0;
    input.timeline = &timeline;
    host::ScenarioEvent never;
    never.name = "late";
    never.line = 30;
    never.condition = "(A:SIM ON GROUND, bool)";
    input.never_fired.push_back(&never);
    input.failures.push_back("f.xml:20: no boat titled \"X\" to remove");
    const std::string summary = host::format_summary(input);
    EXPECT_NE(summary.find("never fired: event \"late\" (line 30): its condition never became true in time"), std::string::npos)
        << summary;
    EXPECT_NE(summary.find("   13.0    0 "), std::string::npos) << summary;  // the final row, TACAN lost
    EXPECT_NE(summary.find("Failed actions: 1"), std::string::npos) << summary;
    EXPECT_NE(summary.find("(x30, last at 5.97)"), std::string::npos) << summary;
}

}  // namespace

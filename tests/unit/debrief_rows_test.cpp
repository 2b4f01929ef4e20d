// The debrief's rows follow the values frame by frame (a cell is formatted
// again when its value changes), and a range that jumps starts a new
// stretch of the plot.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/record/debrief.h"

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) out.push_back(cell);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
}

void publish(const char* name, double v)
{
    host::Host::panel_table.set_named_variable_value(host::Host::panel_table.register_named_variable(name), v);
}

TEST(DebriefRows, EveryRowHasThatFramesValuesAndJumpsStartAStretch)
{
    char pattern[] = "/tmp/carrier_debrief_rows_XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    {
        host::Host h(host::HostOptions{});
        IMPORT_TABLE imports{{PANELS_TABLE_ID, nullptr}, {0, nullptr}};
        h.install_services(&imports);
        publish("TCN Valid", 1);
        publish("Carrier_Is_Found", 1);
        publish("CarrierType", 2);
        publish("LOC Error", 0.0);
        const host::SimVarInfo& altitude = *host::find_sim_var("PLANE ALTITUDE");
        auto debrief = std::make_shared<host::Debrief>();
        std::string error;
        ASSERT_TRUE(debrief->open(dir.string(), 10, "rows", &error)) << error;
        h.add_frame_observer(debrief);

        // (GS Error, range, altitude) per frame: a value held, changed, back to
        // an earlier one; the range flown down, then placed 2 nm further out.
        struct Frame {
            double gs, range, altitude_m;
        } frames[] = {{0.5, 2.00, 100.0}, {0.5, 1.99, 100.0}, {-0.25, 1.98, 99.0},
                      {0.5, 1.97, 99.0},  {0.5, 3.97, 250.0}, {0.125, 3.96, 250.0}};
        for (const Frame& f : frames) {
            publish("GS Error", f.gs);
            publish("ILS Slant Range", f.range);
            host::World::set(h.world().user(), altitude, f.altitude_m);
            h.run_frames(1);
        }
        ASSERT_TRUE(debrief->finish(h, &error)) << error;

        std::ifstream csv(debrief->csv_path());
        std::string line;
        std::getline(csv, line);
        const auto columns = host::Debrief::csv_columns();
        auto column = [&](const char* name) {
            return static_cast<size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin());
        };
        for (const Frame& f : frames) {
            ASSERT_TRUE(std::getline(csv, line));
            const auto cells = split(line);
            ASSERT_EQ(cells.size(), columns.size());
            EXPECT_EQ(std::stod(cells[column("GS Error")]), f.gs) << line;
            EXPECT_EQ(std::stod(cells[column("ILS Slant Range")]), f.range) << line;
            EXPECT_NEAR(std::stod(cells[column("altitude_ft")]), f.altitude_m / 0.3048, 1e-9) << line;
        }
        const host::PlotData& plot = debrief->plot_data();
        ASSERT_EQ(plot.points.size(), 6u);
        ASSERT_EQ(plot.breaks.size(), 2u) << "the jump to 3.97 nm starts a new stretch";
        EXPECT_EQ(plot.breaks[1], 4u);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

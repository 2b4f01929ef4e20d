// Scenario files: a bad file is refused with its name and line, before
// anything runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "host/scenario/scenario.h"

namespace {

struct ScenarioDir {
    std::filesystem::path dir;
    ScenarioDir()
    {
        char pattern[] = "/tmp/carrier-scenario-file-XXXXXX";
        dir = mkdtemp(pattern);
        std::filesystem::create_directories(dir / "root/Gauges");
    }
    ~ScenarioDir() { std::filesystem::remove_all(dir); }

    std::string write(const std::string& text) const
    {
        const std::string path = (dir / "s.xml").string();
        std::ofstream(path) << text;
        return path;
    }
};

}  // namespace

TEST(ScenarioFile, BadFilesAreRefusedWithTheFileAndLine)
{
    ScenarioDir d;
    const std::string head = "<?xml version=\"1.0\"?>\n<runscript>\n<simulator root=\"root\"/>\n";
    struct Case {
        std::string body;  // after the head (lines 1-3)
        int line;
        std::string words;  // part of the message
    };
    const Case cases[] = {
        {"<run end=\"1\">\n<event time=\"x\"/>\n</run>\n</runscript>", 5, "not a number"},
        {"<run end=\"1\"/>\n<panel><dial name=\"a\"/></panel>\n</runscript>", 5, "only <gauge>"},
        {"<world>\n<set var=\"NO SUCH VAR\" unit=\"feet\" value=\"1\"/>\n</world>\n<run end=\"1\"/>\n</runscript>", 5,
         "unknown simulator variable"},
        {"<world>\n<set var=\"PLANE ALTITUDE\" unit=\"knots\" value=\"1\"/>\n</world>\n<run end=\"1\"/>\n</runscript>",
         5, "not a unit of"},
        {"<run end=\"1\">\n<event condition=\"1 +\"><note text=\"x\"/></event>\n</run>\n</runscript>", 5,
         "bad condition"},
        {"<run end=\"1\">\n<event time=\"1\"><teleport/></event>\n</run>\n</runscript>", 5, "unknown action"},
        {"<run end=\"1\">\n<event time=\"1\"><key event=\"NO_SUCH_KEY\"/></event>\n</run>\n</runscript>", 5,
         "unknown key event"},
        {"<run end=\"1\">\n<event time=\"1\"><boat title=\"B\"/></event>\n</run>\n</runscript>", 5,
         "needs latitude"},
        {"<world/>\n</runscript>", 2, "no <run>"},
        {"<run end=\"1\">\n<event time=\"1\"></run>\n</runscript>", 5, ""},  // not well-formed
    };
    for (const Case& c : cases) {
        const std::string path = d.write(head + c.body);
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error).has_value()) << c.body;
        EXPECT_EQ(error.rfind(path + ":" + std::to_string(c.line) + ":", 0), 0u) << error;
        EXPECT_NE(error.find(c.words), std::string::npos) << error;
    }

    std::string error;
    EXPECT_FALSE(host::load_scenario((d.dir / "absent.xml").string(), &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

    // A good one loads, with its events in order and its times.
    const std::string good = d.write(head + "<panel><gauge name=\"Tacan_Navigation\" parameters=\"2\"/></panel>\n"
                                            "<run rate=\"20\" end=\"3\">\n<event frame=\"10\"/>\n"
                                            "<event condition=\"(A:SIM ON GROUND, bool)\" repeat=\"1\"/>\n</run>\n</runscript>");
    auto scenario = host::load_scenario(good, &error);
    ASSERT_TRUE(scenario.has_value()) << error;
    EXPECT_EQ(scenario->frame_rate, 20.0);
    ASSERT_EQ(scenario->events.size(), 2u);
    EXPECT_DOUBLE_EQ(*scenario->events[0].time, 0.5);
    EXPECT_TRUE(scenario->events[1].repeat);
    ASSERT_EQ(scenario->panel.size(), 1u);
    EXPECT_EQ(scenario->panel[0].parameters, "2");
}

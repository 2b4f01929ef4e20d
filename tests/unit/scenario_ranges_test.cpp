// The scenario reader on bad input as a new user writes it: every number out
// of its range, file-system trouble with the simulator root, and files that
// are no files all give "FILE:LINE: what is wrong", never an exception.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/scenario/scenario.h"

namespace {

struct ScenarioFolder {
    std::filesystem::path dir;
    ScenarioFolder()
    {
        char pattern[] = "/tmp/carrier-scenario-ranges-XXXXXX";
        dir = mkdtemp(pattern);
        std::filesystem::create_directories(dir / "root/Gauges");
    }
    ~ScenarioFolder() { std::filesystem::remove_all(dir); }
    std::string write(const std::string& text) const
    {
        const std::string path = (dir / "s.xml").string();
        std::ofstream(path) << text;
        return path;
    }
};

}  // namespace

TEST(ScenarioRanges, EveryNumberOutsideItsRangeIsRefusedOnItsLine)
{
    ScenarioFolder d;
    const std::string head = "<?xml version=\"1.0\"?>\n<runscript>\n<simulator root=\"root\"/>\n";
    struct Case {
        std::string body;  // from line 4
        int line;
        std::string words;
    };
    const Case cases[] = {
        {"<run end=\"1e12\"/>", 4, "\"end\" must be between 0 and 86400 s"},
        {"<run end=\"1e300\"/>", 4, "\"end\" must be between"},
        {"<run end=\"-1\"/>", 4, "\"end\" must be between"},
        {"<run end=\"1\">\n<event time=\"1e12\"/>\n</run>", 5, "\"time\" must be between"},
        {"<run end=\"1\">\n<event frame=\"1e12\"/>\n</run>", 5, "\"frame\" must be between"},
        {"<run end=\"1\">\n<event frame=\"1.5\"/>\n</run>", 5, "whole number"},
        {"<run end=\"1\">\n<event time=\"0\" repeat=\"2\"/>\n</run>", 5, "flag"},
        {"<run end=\"1\">\n<event time=\"0\"><fail call=\"SimConnect_Text\" count=\"1e10\"/></event>\n</run>", 5,
         "\"count\" must be between -1 and 1e+06"},
        {"<run end=\"1\">\n<event time=\"0\"><fail call=\"SimConnect_Text\" count=\"-2\"/></event>\n</run>", 5,
         "\"count\" must be between"},
        {"<run end=\"1\">\n<event time=\"0\"><fail call=\"SimConnect_Text\" count=\"2.5\"/></event>\n</run>", 5,
         "number of calls"},
        {"<world>\n<boat title=\"B\" latitude=\"1000\" longitude=\"0\"/>\n</world>\n<run end=\"1\"/>", 5,
         "\"latitude\" must be between -90 and 90 degrees"},
        {"<world>\n<boat title=\"B\" latitude=\"0\" longitude=\"200\"/>\n</world>\n<run end=\"1\"/>", 5,
         "\"longitude\" must be between -180 and 180"},
        {"<world>\n<boat title=\"B\" latitude=\"0\" longitude=\"0\" speed=\"1e308\"/>\n</world>\n<run end=\"1\"/>", 5,
         "\"speed\" must be between 0 and 100 kn"},
        {"<world>\n<boat title=\"B\" latitude=\"0\" longitude=\"0\" yaw_rate=\"1e6\"/>\n</world>\n<run end=\"1\"/>",
         5, "\"yaw_rate\" must be between"},
        {"<world>\n<aircraft latitude=\"1000\"/>\n</world>\n<run end=\"1\"/>", 5, "\"latitude\" must be between"},
        {"<world>\n<aircraft altitude=\"1e9\"/>\n</world>\n<run end=\"1\"/>", 5, "\"altitude\" must be between"},
        {"<world>\n<aircraft speed=\"-5\"/>\n</world>\n<run end=\"1\"/>", 5, "\"speed\" must be between 0 and 2000"},
        {"<world>\n<aircraft on_ground=\"5\"/>\n</world>\n<run end=\"1\"/>", 5, "flag"},
        {"<run end=\"1\">\n<event time=\"0\"><key event=\"0x1FFFFFFFF\"/></event>\n</run>", 5, "0xFFFFFFFF"},
        {"<run end=\"1\">\n<event time=\"0\"><key event=\"4294967296\"/></event>\n</run>", 5, "0xFFFFFFFF"},
        {"<run end=\"1\">\n<event time=\"0\"><key event=\"-1\"/></event>\n</run>", 5, "unknown key event"},
        {"<run end=\"1\">\n<event time=\"0\"><key event=\"0x11101\" value=\"4294967296\"/></event>\n</run>", 5,
         "not an unsigned number"},
        {"<run end=\"1\">\n<event time=\"0\"><input definition=\"F1\" value=\"-1\"/></event>\n</run>", 5,
         "not an unsigned number"},
        {"<run end=\"1\">\n<event time=\"0\"><lvar name=\"X\" value=\"1e300\"/></event>\n</run>", 5,
         "\"value\" must be between"},
    };
    for (const Case& c : cases) {
        const std::string path = d.write(head + c.body + "\n</runscript>\n");
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error).has_value()) << c.body;
        EXPECT_EQ(error.rfind(path + ":" + std::to_string(c.line) + ":", 0), 0u) << c.body << "\n" << error;
        EXPECT_NE(error.find(c.words), std::string::npos) << c.body << "\n" << error;
    }

    // The ends of each range are accepted.
    const std::string edges = d.write(
        head +
        "<world>\n<boat title=\"B\" latitude=\"-90\" longitude=\"180\" speed=\"100\" heading=\"360\"/>\n"
        "<aircraft latitude=\"90\" longitude=\"-180\" speed=\"0\" altitude=\"100000\" on_ground=\"1\"/>\n</world>\n"
        "<run end=\"86400\">\n<event time=\"86400\"><key event=\"0xFFFFFFFF\" value=\"4294967295\"/>"
        "<fail call=\"SimConnect_Text\" count=\"-1\"/></event>\n</run>\n</runscript>\n");
    std::string error;
    EXPECT_TRUE(host::load_scenario(edges, &error).has_value()) << error;
}

TEST(ScenarioRanges, FileSystemTroubleWithTheRootOrTheFileIsAnErrorOfItsLine)
{
    ScenarioFolder d;
    std::filesystem::create_symlink("loop", d.dir / "loop");
    std::ofstream(d.dir / "plain.txt") << "x";
    struct Case {
        std::string root;
        std::string words;
    };
    const Case cases[] = {
        {std::string(300, 'r'), "cannot be reached"},
        {"loop", "cannot be reached"},
        {"", "empty"},
        {"plain.txt", "is not a directory"},
        {"plain.txt/below", "is not a directory"},
        {"absent", "does not exist"},
    };
    for (const Case& c : cases) {
        const std::string path = d.write("<?xml version=\"1.0\"?>\n<runscript>\n<simulator root=\"" + c.root +
                                         "\"/>\n<run end=\"1\"/>\n</runscript>\n");
        std::string error;
        EXPECT_NO_THROW(EXPECT_FALSE(host::load_scenario(path, &error).has_value()));
        EXPECT_EQ(error.rfind(path + ":3:", 0), 0u) << error;
        EXPECT_NE(error.find(c.words), std::string::npos) << error;
    }

    // The scenario "file" itself: a directory, absent, a name too long.
    for (const std::string& path : {d.dir.string(), (d.dir / "absent.xml").string(),
                                    (d.dir / std::string(300, 'n')).string()}) {
        std::string error;
        EXPECT_NO_THROW(EXPECT_FALSE(host::load_scenario(path, &error).has_value()));
        EXPECT_EQ(error.rfind(path + ":1: cannot open the scenario file", 0), 0u) << error;
    }
}

// Bad input end to end: carrier-bench refuses every bad scenario with
// "FILE:LINE: what is wrong" and status 2; the module goes on when its files
// are directories; a ship that was removed is not selected again.
#include "host/build_paths.h"
#include <sys/wait.h>

#include <cstdio>

#include "scenario_fixture.h"

using namespace scenario_test;

namespace {

// Runs carrier-bench with `arguments`; returns its exit status and stderr.
int bench(const std::string& arguments, std::string* err)
{
    const std::string binary = std::filesystem::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench";
    const std::string err_file = std::filesystem::temp_directory_path() / ("bench-err-" + std::to_string(getpid()));
    const int status = std::system((binary + " " + arguments + " > /dev/null 2> " + err_file).c_str());
    std::ifstream in(err_file);
    std::stringstream text;
    text << in.rdbuf();
    *err = text.str();
    std::filesystem::remove(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(BadInput, TheBenchRefusesEveryBadScenarioWithItsFileAndLineAndStatusTwo)
{
    TempRoot root;
    const std::string out = (root.dir / "out").string();
    struct Case {
        std::string command;
        std::string where;  // what stderr starts with after "carrier-bench: "
    };
    const std::string bad_boat = root.scenario("<world>\n<boat title=\"B\" latitude=\"1000\" longitude=\"0\"/>\n</world>\n<run end=\"1\"/>");
    const Case cases[] = {
        {"check " + root.dir.string(), root.dir.string() + ":1:"},
        {"run " + root.dir.string() + " --out " + out, root.dir.string() + ":1:"},
        {"check " + bad_boat, bad_boat + ":5:"},
        {"run " + bad_boat + " --out " + out, bad_boat + ":5:"},
        {"check " + (root.dir / "absent.xml").string(), (root.dir / "absent.xml").string() + ":1:"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(bench(c.command, &err), 2) << c.command << "\n" << err;
        EXPECT_EQ(err.rfind("carrier-bench: " + c.where, 0), 0u) << c.command << "\n" << err;
    }
}

TEST(BadInput, ConfigurationFilesThatAreDirectoriesCannotBeLoadedAndTheModuleGoesOn)
{
    TempRoot root;
    for (const char* name : {"ZEB_Carrier.xml", "ZEB_Parameters.xml"}) {
        std::filesystem::remove(root.gauges_file(name));
        std::filesystem::create_directory(root.gauges_file(name));
    }
    PathRun run(root.scenario(R"(<world>
  <boat title="Carrier Nimitz CVN-68" latitude="36.75" longitude="-75.80" heading="90" speed="20"/>
  <aircraft latitude="36.75" longitude="-76.00" altitude="2000" heading="90"/>
</world>
<panel><gauge name="Tacan_Navigation"/></panel>
<run rate="10" end="2">
  <event time="0.5"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
</run>)"));
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    std::vector<std::string> lines;
    for (const auto* e : run.timeline().of_kind("stderr")) lines.push_back(e->data.value("line", ""));
    // Parameters at start, then the carrier list on each of the two tunings
    // (the receiver's first frequency and the key's).
    ASSERT_GE(lines.size(), 4u);
    for (size_t i = 0; i < lines.size(); i += 2) {
        EXPECT_EQ(lines[i], "erreur lors du chargement");
        EXPECT_EQ(lines[i + 1], "error #2 : Failed to open file");
    }
    // The module ran to its stop, and the tuning of an unknown carrier showed the blank.
    EXPECT_NE(find_event(run.timeline(), "module", "action", "stop"), -1);
    EXPECT_NE(find_event(run.timeline(), "text", "text", " "), -1);
    EXPECT_EQ(run.host->panel_variable("ZEB_gauge_is_valid"), 1.0);
}

TEST(BadInput, AShipThatWasRemovedIsNotSelectedAgainAndItsStandingRequestEndsInAnException)
{
    TempRoot root;
    PathRun run(root.scenario(R"(<world>
  <container title="SH-60 Seahawk Plane Guard"/>
  <boat ref="far" title="Carrier Nimitz CVN-68" latitude="36.90" longitude="-75.60" heading="90" speed="20"/>
  <boat ref="near" title="Carrier Nimitz CVN-68" latitude="36.75" longitude="-75.80" heading="90" speed="20"/>
  <aircraft latitude="36.75" longitude="-76.00" altitude="2000" heading="90"/>
</world>
<panel><gauge name="Tacan_Navigation"/></panel>
<run rate="10" end="6">
  <event time="0.5"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="2"><boat action="remove" ref="near"/></event>
  <event time="3"><key event="NAV1_RADIO_SET" value="0x10980"/></event>
  <event time="4"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    uint32_t far = 0, near = 0;
    for (const auto* e : run.timeline().of_kind("object"))
        if (e->data.value("event", "") == "added" && e->data.value("title", "") == "Carrier Nimitz CVN-68")
            (far ? near : far) = e->data.value("object", 0u);
    ASSERT_NE(near, 0u);

    std::vector<uint32_t> ship_requests;
    for (const auto* e : calls(run.timeline(), "SimConnect_RequestDataOnSimObject"))
        if (e->data["args"].value("request", 0) == 2) ship_requests.push_back(e->data["args"].value("object", 0u));
    ASSERT_GE(ship_requests.size(), 3u);
    EXPECT_EQ(ship_requests[1], near);  // the first tuning: the nearer ship
    EXPECT_EQ(ship_requests.back(), far) << "the last tuning must find the ship that exists";

    // The removed ship's standing request was answered with one exception.
    int gone = 0;
    for (const auto* e : run.timeline().of_kind("dispatch"))
        gone += e->data.value("id", 0) == 1 && e->data.value("reason", "").find("no longer exists") != std::string::npos;
    EXPECT_EQ(gone, 1);
    EXPECT_EQ(run.host->named_variable("Carrier_Is_Found"), 1.0);
}

TEST(BadInput, EveryTimelineLineKeepsItsKindWorldObjectsIncluded)
{
    TempRoot root;
    PathRun run(root.scenario(R"(<world>
  <boat ref="b" title="Carrier Nimitz CVN-68" latitude="36.75" longitude="-75.80"/>
</world>
<run rate="10" end="1">
  <event time="0.5"><boat action="remove" ref="b"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    int objects = 0;
    for (const auto& e : run.timeline().events()) {
        const auto line = nlohmann::json::parse(host::Timeline::to_json_line(e));
        EXPECT_EQ(line["kind"], e.kind);
        if (e.kind != "object") continue;
        ++objects;
        EXPECT_EQ(line["object_kind"], "boat");
    }
    EXPECT_EQ(objects, 2);  // added, removed
}

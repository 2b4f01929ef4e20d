// Bad files and misbehaving dependencies: the XML loading keeps TinyXML's
// own results but cannot be run off its buffer or thrown out of by a
// directory; no exception crosses any of the module's entry points; outside
// numbers convert to integers in a defined way.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <stdexcept>

#include "catapult/catapult.h"
#include "config/carrier_list.h"
#include "config/parameters.h"
#include "config/sound_list.h"
#include "config/xml_file.h"
#include "fake_panels.h"
#include "geo/numeric.h"
#include "host/bench/config_lint.h"
#include "host/scenario/scenario.h"
#include "host/world/deck.h"
#include "module/gauge_registry.h"
#include "module_fixture.h"
#include "sim/command_events.h"
#include "sim/dispatch.h"

extern "C" GAUGESLINKAGE Linkage;

namespace {

class XmlFileTest : public ScratchRootTest {
protected:
    std::string write(const std::string& bytes) const
    {
        const std::string path = (root / "file.xml").string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

// What a loaded document shows: the error, or the whole tree printed back.
std::string outcome(TiXmlDocument& document, bool loaded)
{
    std::string out = (loaded ? "ok " : "error ") + std::to_string(document.ErrorId()) + " " +
                      document.ErrorDesc() + " row " + std::to_string(document.ErrorRow());
    TiXmlPrinter printer;
    document.Accept(&printer);
    return out + "\n" + printer.CStr();
}

}  // namespace

TEST_F(XmlFileTest, LoadingGivesWhatTinyXmlsOwnFileLoadingGives)
{
    const std::string inputs[] = {
        "<?xml version=\"1.0\"?>\n<A b=\"1\"><C d=\"x&amp;y\"/></A>\n",
        "<A b=\"line\r\nend\" c=\"cr\rend\">\r\n<B/>\r\n</A>\r\n",   // line ends normalised
        "<A>\n<B>\n</A>\n",                                          // malformed, row 3
        "",                                                         // empty
        "   \n\t",                                                  // blanks only
        std::string("<A/>\0<B/>", 9),                               // text ends at a zero byte
        std::string("\0<A/>", 5),
        "\xEF\xBB\xBF<A caf\xC3\xA9=\"\xE2\x82\xAC\"/>",             // BOM and UTF-8
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><A b=\"\xE9\"/>",
        "<!-- only a comment -->",
        "<A><B></A></B>",
        "<A b=\"unterminated/>",
    };
    for (const std::string& input : inputs) {
        const std::string path = write(input);
        TiXmlDocument theirs(path.c_str()), ours(path.c_str());
        const bool theirs_loaded = theirs.LoadFile();
        const bool ours_loaded = load_xml_file(ours);
        EXPECT_EQ(outcome(ours, ours_loaded), outcome(theirs, theirs_loaded)) << input;
    }
    // Absent file: the opening error.
    TiXmlDocument absent((root / "absent.xml").string().c_str());
    EXPECT_FALSE(load_xml_file(absent));
    EXPECT_EQ(absent.ErrorId(), TiXmlBase::TIXML_ERROR_OPENING_FILE);
}

TEST_F(XmlFileTest, AFileEndingInsideAUtf8CharacterIsAnErrorLikeAnyTruncatedFile)
{
    for (const char* tail : {"\xC3", "\xE2\x82", "\xF0", "\xF0\x9F\x98"}) {
        const std::string path = write(std::string("<?xml version=\"1.0\"?>\n<CarrierList>\n<C Name=\"Caf") + tail);
        TiXmlDocument document(path.c_str());
        EXPECT_FALSE(load_xml_file(document)) << tail;
        EXPECT_TRUE(document.Error());
        EXPECT_NE(document.ErrorId(), TiXmlBase::TIXML_ERROR_OPENING_FILE);
    }
}

TEST_F(XmlFileTest, ADirectoryInPlaceOfAFileCannotBeOpened)
{
    std::filesystem::create_directory(root / "dir.xml");
    TiXmlDocument document((root / "dir.xml").string().c_str());
    EXPECT_FALSE(load_xml_file(document));
    EXPECT_EQ(document.ErrorId(), TiXmlBase::TIXML_ERROR_OPENING_FILE);
    EXPECT_STREQ(document.ErrorDesc(), "Failed to open file");
}

namespace {

std::string nested(int depth, const std::string& inner = "")
{
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    text += inner;
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

// Runs `load` (which reads a FIFO) on a thread and waits a few seconds; a
// reader that blocks is released by opening the FIFO's other end, so the
// test fails instead of hanging.
template <class Load>
auto without_blocking(const std::filesystem::path& fifo, Load load)
{
    auto result = std::async(std::launch::async, load);
    const bool finished = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!finished) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    EXPECT_TRUE(finished) << fifo << " blocked the reader";
    return result.get();
}

}  // namespace

TEST_F(XmlFileTest, NestingDeeperThanTheLimitIsRefusedBeforeParsingAndOnlyRealElementsCount)
{
    struct Case {
        const char* what;
        std::string text;
        int refused_line;  // 0: loads
    };
    const Case cases[] = {
        {"at the limit", nested(XML_MAX_NESTING), 0},
        {"one level more, on its line", "<?xml version=\"1.0\"?>\n<r>\r\n" + nested(XML_MAX_NESTING) + "</r>",
         3},
        {"a stack-breaking depth", nested(40000), 1},
        {"empty elements hold nothing", nested(XML_MAX_NESTING - 1, "<b/><b x=\"1\" /><b/>"), 0},
        {"closed siblings do not add up", "<r>" + [] { std::string t; for (int i = 0; i < 500; ++i) t += "<a></a>"; return t; }() + "</r>", 0},
        {"quoted > and /> in values", nested(XML_MAX_NESTING - 1, "<b x=\"/>\" y='>'></b>"), 0},
        {"a quoted /> does not close the element", nested(XML_MAX_NESTING - 1, "<b x=\"/>\"><c></c></b>"), 1},
        {"an element after a quoted value counts", nested(XML_MAX_NESTING - 1, "<b x=\"1\"><c></c></b>"), 1},
        {"comments, CDATA and declarations hold none",
         nested(XML_MAX_NESTING, "<!-- <a><a> --><![CDATA[<a><a>]]><?pi <a> ?><!DOCTYPE a>"), 0},
        {"an unquoted quote is not a value", "<r>\n<b x=1\">" + nested(XML_MAX_NESTING) + "</b></r>", 2},
        {"text and stray < between levels", nested(XML_MAX_NESTING, "x < y"), 0},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.text);
        TiXmlDocument document(path.c_str());
        XmlLoadNote note;
        const auto started = std::chrono::steady_clock::now();
        const bool loaded = load_xml_file(document, &note);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << c.what;
        if (c.refused_line == 0) {
            EXPECT_EQ(note.line, 0) << c.what;
            EXPECT_EQ(note.reason, nullptr) << c.what;
            continue;
        }
        EXPECT_FALSE(loaded) << c.what;
        EXPECT_EQ(document.ErrorId(), TiXmlBase::TIXML_ERROR_PARSING_ELEMENT) << c.what;
        EXPECT_EQ(note.line, c.refused_line) << c.what;
        EXPECT_STREQ(note.reason, "elements nested deeper than 64") << c.what;
    }
}

TEST_F(XmlFileTest, AFifoOrADeviceIsAFileThatCannotBeOpenedAndNeverBlocks)
{
    const auto fifo = root / "fifo.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string path : {fifo.string(), std::string("/dev/null"), std::string("/dev/zero")}) {
        const int id = without_blocking(path, [&] {
            TiXmlDocument document(path.c_str());
            XmlLoadNote note;
            load_xml_file(document, &note);
            EXPECT_STREQ(note.reason, "not a regular file") << path;
            return document.ErrorId();
        });
        EXPECT_EQ(id, TiXmlBase::TIXML_ERROR_OPENING_FILE) << path;
    }
}

// The module's readers and the bench's: a FIFO, a directory and a deep
// document, each with the reader's own words and line.
class UnreadableFiles : public ScratchRootTest {};

TEST_F(UnreadableFiles, TheModulesReadersReportTheTwoLinesAndResultOneWithoutBlocking)
{
    FakePanels panels;
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> make;
        const char* second_line;
    };
    const Case cases[] = {
        {"FIFO", [](const std::filesystem::path& p) { ::mkfifo(p.c_str(), 0600); }, "error #2 : Failed to open file"},
        {"deep", [](const std::filesystem::path& p) { std::ofstream(p) << "<CarrierList>" + nested(100) + "</CarrierList>"; },
         "error #3 : Error parsing Element."},
    };
    for (const Case& c : cases) {
        for (const char* name : {"ZEB_Carrier.xml", "ZEB_Parameters.xml"}) std::filesystem::remove(root / "Gauges" / name);
        c.make(root / "Gauges/ZEB_Carrier.xml");
        c.make(root / "Gauges/ZEB_Parameters.xml");
        const std::vector<std::string> lines = {"erreur lors du chargement", c.second_line};
        for (int reader = 0; reader < 3; ++reader) {
            errorLines.clear();
            const char* file = reader == 0 ? "./Gauges/ZEB_Carrier.xml" : "./Gauges/ZEB_Parameters.xml";
            const int result = without_blocking(root / file, [&] {
                TiXmlDocument document(file);
                return reader == 0   ? load_carrier_entry(document, 112.7f)
                       : reader == 1 ? load_parameters_file(document)
                                     : load_sound_list(document, "English");
            });
            EXPECT_EQ(result, 1) << c.what << " " << reader;
            EXPECT_EQ(errorLines, lines) << c.what << " " << reader;
        }
    }
}

TEST_F(UnreadableFiles, EveryBenchReaderNamesTheFileLineAndReason)
{
    const auto fifo = root / "fifo.xml", dir = root / "dir.xml", deep = root / "deep.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir);
    std::ofstream(deep) << "<?xml version=\"1.0\"?>\n<deck>\n" + nested(80) + "</deck>\n";
    struct Case {
        std::filesystem::path file;
        std::string reason;  // after "FILE:LINE: "
    };
    const Case cases[] = {
        {fifo, ":1: cannot open the ~ file: not a regular file"},
        {dir, ":1: cannot open the ~ file: a directory, not a file"},
        {deep, ":3: elements nested deeper than 64"},
    };
    for (const Case& c : cases) {
        const std::string path = c.file.string();
        for (const char* role : {"scenario", "deck"}) {
            std::string expected = path + c.reason;
            if (const size_t at = expected.find('~'); at != std::string::npos) expected.replace(at, 1, role);
            if (c.file == dir && std::string(role) == "scenario") expected = path + ":1: cannot open the scenario file: it is a directory";
            const std::string error = without_blocking(fifo, [&] {
                std::string e;
                if (std::string(role) == "scenario") EXPECT_FALSE(host::load_scenario(path, &e));
                else EXPECT_FALSE(host::load_deck(path, &e));
                return e;
            });
            EXPECT_EQ(error, expected) << role;
        }
    }

    // The linter and the fixed-site reader, on a carrier list of each kind.
    for (const Case& c : cases) {
        std::filesystem::remove_all(root / "Gauges");
        std::filesystem::create_directory(root / "Gauges");
        std::filesystem::copy_file(std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot/Gauges/ZEB_Parameters.xml",
                                   root / "Gauges/ZEB_Parameters.xml");
        const auto list = root / "Gauges/ZEB_Carrier.xml";
        if (c.file == fifo) ::mkfifo(list.c_str(), 0600);
        else if (c.file == dir) std::filesystem::create_directory(list);
        else std::filesystem::copy_file(deep, list);
        const auto report = without_blocking(list, [&] { return host::lint_configuration(root.string()); });
        bool named = false;
        for (const host::LintFinding& f : report.findings)
            named = named || (f.file == list.string() && f.level == host::LintLevel::Error &&
                              f.message.find(c.file == deep ? "nested deeper than 64" : "cannot open the file (") !=
                                  std::string::npos);
        EXPECT_TRUE(named) << c.file;
        std::string why;
        const auto sites = without_blocking(list, [&] { return host::read_fixed_sites(root.string(), &why); });
        EXPECT_TRUE(sites.empty());
        EXPECT_EQ(why.rfind(list.string() + (c.file == deep ? ":3: elements" : ":1: cannot open the carrier list: "), 0), 0u)
            << why;
    }
}

// The three readers with their file replaced by a directory: "cannot be
// loaded", the two lines, result 1, records unchanged.
class DirectoryAsFile : public ScratchRootTest {};

TEST_F(DirectoryAsFile, EveryReaderReportsItAsAFileThatCannotBeLoaded)
{
    FakePanels panels;
    std::filesystem::create_directory(root / "Gauges/ZEB_Carrier.xml");
    std::filesystem::create_directory(root / "Gauges/ZEB_Parameters.xml");
    moduleState->carrier->Name = "previous";
    moduleState->sounds->Wire1 = "previous.wav";
    moduleState->lights->WO_Duration = 4.0;
    const std::vector<std::string> lines = {"erreur lors du chargement", "error #2 : Failed to open file"};

    TiXmlDocument carriers("./Gauges/ZEB_Carrier.xml");
    EXPECT_EQ(load_carrier_entry(carriers, 112.7f), 1);
    EXPECT_EQ(errorLines, lines);
    EXPECT_EQ(moduleState->carrier->Name, "previous");

    errorLines.clear();
    TiXmlDocument parameters("./Gauges/ZEB_Parameters.xml");
    EXPECT_EQ(load_parameters_file(parameters), 1);
    EXPECT_EQ(errorLines, lines);
    EXPECT_EQ(moduleState->lights->WO_Duration, 4.0);

    errorLines.clear();
    TiXmlDocument sounds("./Gauges/ZEB_Parameters.xml");
    EXPECT_EQ(load_sound_list(sounds, "English"), 1);
    EXPECT_EQ(errorLines, lines);
    EXPECT_EQ(moduleState->sounds->Wire1, "previous.wav");
}

// A module started again in the same process: the same records, back at
// their start values, none lost.
TEST_F(DirectoryAsFile, StartingAgainReusesTheRecordsAtTheirStartValues)
{
    CarrierModuleState* state = get_or_create_module_state();
    const void* before[] = {state->userAircraft, state->ship, state->boat, state->carrier, state->catapult,
                            state->commands, state->lights, state->lso, state->sounds};
    state->carrier->Name = "old";
    state->userAircraft->planeAltitude = 3.0;
    state->sounds->Wire1 = "old.wav";
    state->lights->WO_Duration = 4.0;
    create_state_records(state);
    const void* after[] = {state->userAircraft, state->ship, state->boat, state->carrier, state->catapult,
                           state->commands, state->lights, state->lso, state->sounds};
    for (size_t i = 0; i < std::size(before); ++i) EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(state->carrier->Name, "");
    EXPECT_EQ(state->userAircraft->planeAltitude, 0.0);
    EXPECT_EQ(state->sounds->Wire1, "");
    EXPECT_EQ(state->lights->WO_Duration, 0.0);
}

// [entry guards] ----------------------------------------------------------------

TEST_F(DirectoryAsFile, NoExceptionLeavesAGaugeCallbackOrAGeneratedRoutine)
{
    FakePanels panels;
    panels.throwOnCall = true;
    for (GAUGEHDR* const* g = Linkage.gauge_header_ptrs; *g; ++g) {
        GAUGEHDR header = **g;
        for (SINT32 service : {2, 6, 14}) {
            EXPECT_NO_THROW(header.gauge_callback(&header, service, 0)) << header.gauge_name << " " << service;
        }
        EXPECT_NO_THROW(EXPECT_EQ(header.query_routine(), 0)) << header.gauge_name;
        EXPECT_NO_THROW(EXPECT_EQ(header.install_routine(1), 0));
        EXPECT_NO_THROW(EXPECT_EQ(header.initialize_routine(), 0));
        EXPECT_NO_THROW(EXPECT_EQ(header.update_routine(), 0));
        EXPECT_NO_THROW(EXPECT_EQ(header.generate_routine(1), 0));
        EXPECT_NO_THROW(EXPECT_EQ(header.draw_routine(), 0));
        EXPECT_NO_THROW(EXPECT_EQ(header.kill_routine(), 0));
    }
    // The navigation gauge's update reads the receiver: that throw was caught
    // and reported.
    ASSERT_FALSE(errorLines.empty());
    EXPECT_EQ(errorLines[0], "exception caught in a module entry point");
}

TEST_F(DirectoryAsFile, TheGeneratedRoutinesHandTheirWordAndTheRootElementOn)
{
    FakePanels panels;
    for (GAUGEHDR* const* g = Linkage.gauge_header_ptrs; *g; ++g) {
        panels.elementWords.clear();
        (*g)->install_routine(0x1234);
        (*g)->generate_routine(0x5678);
        ASSERT_EQ(panels.elementWords.size(), 2u) << (*g)->gauge_name;
        EXPECT_EQ(panels.elementWords[0].first, (*g)->elements_list[0]);
        EXPECT_EQ(panels.elementWords[0].second, 0x1234u);
        EXPECT_EQ(panels.elementWords[1].second, 0x5678u);
    }
}

class ModuleStartTest : public ModuleFixture {
protected:
    bool opens_connection() const override { return false; }
};
class ModuleEntryTest : public ModuleFixture {};

TEST_F(ModuleStartTest, StartRegistersTheGuardedHandlerAndStopUndoesWhatStartDid)
{
    release_state_records();
    FakePanels panels;
    aiInitPosition = SIMCONNECT_DATA_INITPOSITION{1, 2, 3, 4, 5, 6, 0, 9};
    Linkage.ModuleInit();

    ASSERT_EQ(panels.registeredHandlers.size(), 1u);
    const auto [handler, user_data] = panels.registeredHandlers[0];
    EXPECT_NE(handler, nullptr);
    EXPECT_EQ(user_data, nullptr);
    ASSERT_NE(moduleState, nullptr);
    ASSERT_NE(moduleState->sounds, nullptr);
    for (double level : refuelLevels) EXPECT_EQ(level, 99.9);
    EXPECT_EQ(aiInitPosition.Latitude, 0.0);
    EXPECT_EQ(aiInitPosition.Heading, 0.0);
    EXPECT_EQ(aiInitPosition.OnGround, 1u);
    EXPECT_EQ(aiInitPosition.Airspeed, 0u);
    ASSERT_GE(panels.executed.size(), 2u);
    EXPECT_EQ(panels.executed[panels.executed.size() - 2], "1 (>L:ZEB_gauge_is_valid, bool)");
    EXPECT_EQ(panels.executed.back(), "0 (>L:LSO_is_Off_VC, bool)");
    const auto opened = calls("SimConnect_Open");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]["args"]["name"], "Carrier ZEB Gauge");
    EXPECT_EQ(calls("SimConnect_CallDispatch").size(), 1u);
    EXPECT_EQ(errorLines.at(0), "erreur lors du chargement");  // no parameters file here

    // The registered handler is the command-event handler: 0x11103 writes the
    // two body velocities; ids beside the seven do nothing.
    mark();
    catapultTargetSpeed = 70.0;
    handler(0x11100, 0, nullptr);
    handler(0x11108, 0, nullptr);
    EXPECT_TRUE(calls("SimConnect_SetDataOnSimObject").empty());
    handler(0x11103, 0, nullptr);
    const auto writes = calls("SimConnect_SetDataOnSimObject");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0]["args"]["define"], DEF_BODY_VELOCITY_Z);
    EXPECT_EQ(writes[1]["args"]["define"], DEF_BODY_VELOCITY_X);
    EXPECT_EQ(bodyVelocityBuffer[0], 70.0);

    // A dependency that throws under the handler (here the standard-error
    // stream, while the tuning reports a missing carrier list) stays inside.
    hooks.error_line = [](std::string_view) { throw std::runtime_error("stderr is gone"); };
    EXPECT_NO_THROW(handler(CMD_TUNE, 0, nullptr));
    hooks.error_line = [this](std::string_view line) { errorLines.emplace_back(line); };

    Linkage.ModuleDeinit();
    ASSERT_EQ(panels.unregisteredHandlers.size(), 1u);
    EXPECT_EQ(panels.unregisteredHandlers[0].first, handler);
    EXPECT_EQ(panels.unregisteredHandlers[0].second, nullptr);
    EXPECT_EQ(calls("SimConnect_Close").size(), 1u);

    // Stop with a host that throws: nothing escapes either.
    panels.throwOnCall = true;
    EXPECT_NO_THROW(Linkage.ModuleDeinit());
    EXPECT_EQ(errorLines.back(), "exception caught in a module entry point");
}

TEST_F(ModuleEntryTest, NoExceptionLeavesTheDispatchProcedure)
{
    // A fixed site: every user-data frame runs the geometry, which asks the
    // host for the magnetic variation; that host throws.
    moduleState->carrier->CarrierType = CARRIER_TYPE_FIXED_SITE;
    bench->simconnect().frame();  // the open message: declarations
    bench->simconnect().fire_system_event("SimStart");
    bench->simconnect().frame();  // the standing requests
    FakePanels panels;
    panels.throwOnCall = true;
    EXPECT_NO_THROW(bench->simconnect().frame());
    EXPECT_NO_THROW(bench->simconnect().frame());
    ASSERT_FALSE(errorLines.empty());
    EXPECT_EQ(errorLines.back(), "exception caught in a module entry point");
}

// [numbers from outside] -----------------------------------------------------------

TEST(OutsideNumbers, ConversionsToIntegersAreDefinedForEveryDouble)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    struct Case {
        double in;
        int32_t i32;
        uint32_t u32;
    };
    const Case cases[] = {
        {0.0, 0, 0},
        {15.99, 15, 15},
        {-15.99, -15, 0},
        {2147483647.0, 2147483647, 2147483647u},
        {2147483648.0, 2147483647, 2147483648u},
        {-2147483648.0, -2147483647 - 1, 0},
        {-2147483649.0, -2147483647 - 1, 0},
        {4294967295.0, 2147483647, 4294967295u},
        {1e300, 2147483647, 4294967295u},
        {inf, 2147483647, 4294967295u},
        {-inf, -2147483647 - 1, 0},
        {nan, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(truncate_to_int32(c.in), c.i32) << c.in;
        EXPECT_EQ(truncate_to_uint32(c.in), c.u32) << c.in;
    }
    EXPECT_EQ(to_single_precision(112.7), 112.7f);
    EXPECT_EQ(to_single_precision(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(to_single_precision(-1e300), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(to_single_precision(nan)));
}

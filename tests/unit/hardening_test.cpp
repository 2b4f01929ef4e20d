// Bad files and misbehaving dependencies: the XML loading keeps TinyXML's
// own results but cannot be run off its buffer or thrown out of by a
// directory; no exception crosses any of the module's entry points; outside
// numbers convert to integers in a defined way.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "catapult/catapult.h"
#include "config/carrier_list.h"
#include "config/parameters.h"
#include "config/sound_list.h"
#include "config/xml_file.h"
#include "fake_panels.h"
#include "geo/numeric.h"
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

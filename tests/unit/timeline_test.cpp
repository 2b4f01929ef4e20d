// The streaming timeline: JSON text, both ways of recording, both sinks, and
// the host's recording of named variables (on change, at a rate, deadband).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>

#include "host/host.h"
#include "host/record/timeline.h"

namespace {

std::string json_string(std::string_view s)
{
    std::string out;
    host::append_json_string(out, s);
    return out;
}

std::string json_number(double v)
{
    std::string out;
    host::append_json_number(out, v);
    return out;
}

std::vector<std::string> read_lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct TempFile {
    std::string path;
    TempFile()
    {
        char pattern[] = "/tmp/carrier-timeline-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) close(fd);
        path = pattern;
    }
    ~TempFile() { std::remove(path.c_str()); }
};

}  // namespace

TEST(TimelineText, StringsAreEscapedAsJsonDoes)
{
    // Valid UTF-8: exactly what nlohmann writes.
    const std::string cases[] = {"",
                                 "TACAN tuned on CVN-68 Nimitz -Lock on-",
                                 "say \"hello\" \\ there",
                                 "tab\tnew\nline\rback\bform\f",
                                 std::string("nul\0and\x01\x1f", 10),
                                 "del \x7f stays",
                                 "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\xA2"};
    for (const std::string& s : cases) EXPECT_EQ(json_string(s), nlohmann::json(s).dump()) << s;
}

TEST(TimelineText, BytesThatAreNotUtf8BecomeTheReplacementCharacterInJsonAndInPlainText)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"a\xFF" "b", "\"a\xEF\xBF\xBD" "b\""},          // never a UTF-8 byte
        {"\xC3", "\"\xEF\xBF\xBD\""},                    // cut short
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},    // overlong
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
        {"\xE2\x82" "x", "\"\xEF\xBF\xBD\xEF\xBF\xBDx\""},  // continuation missing
    };
    for (const auto& c : cases) {
        const std::string text = json_string(c.in);
        EXPECT_EQ(text, c.out);
        EXPECT_TRUE(nlohmann::json::accept(text));
        // The same replacement for texts that are not JSON (the plot's labels).
        EXPECT_EQ(host::valid_utf8(c.in), c.out.substr(1, c.out.size() - 2));
    }
    EXPECT_EQ(host::valid_utf8("caf\xC3\xA9 \xF0\x9F\x9A\xA2 #1"), "caf\xC3\xA9 \xF0\x9F\x9A\xA2 #1");
}

TEST(TimelineText, NumbersAreWrittenAsJsonDoesAndNonFiniteAsNull)
{
    const double cases[] = {0.0, -0.0, 1.0, -3.0, 0.1, 10.28888888888889, 0.6422829093839113, 1e-5, 2.5e-05,
                            1e15, 1e16, 1e300, 5e-324, -1.315978121546925, 120.0};
    for (double v : cases) {
        EXPECT_EQ(json_number(v), nlohmann::json(v).dump()) << v;
        EXPECT_EQ(nlohmann::json::parse(json_number(v)).get<double>(), v);
    }
    EXPECT_EQ(json_number(std::nan("")), "null");
    EXPECT_EQ(json_number(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(json_number(-std::numeric_limits<double>::infinity()), "null");
}

TEST(Timeline, BothWaysOfRecordingGiveTheSameLine)
{
    host::Timeline slow, fast;
    slow.set_clock(2.1, 63);
    fast.set_clock(2.1, 63);
    slow.add("simconnect", {{"call", "SimConnect_SetDataOnSimObject"},
                            {"args", {{"define", 5}, {"object", 5}, {"values", {10.28888888888889, -1}}}},
                            {"result", 0},
                            {"ok", true},
                            {"none", nullptr}});
    fast.event("simconnect")
        .begin_object("args")
        .uinteger("define", 5)
        .uinteger("object", 5)
        .begin_array("values")
        .num({}, 10.28888888888889)
        .integer({}, -1)
        .end()
        .end()
        .str("call", "SimConnect_SetDataOnSimObject")
        .null("none")
        .boolean("ok", true)
        .integer("result", 0);
    std::string a, b;
    TempFile fa, fb;
    ASSERT_TRUE(slow.write_jsonl(fa.path, &a));
    ASSERT_TRUE(fast.write_jsonl(fb.path, &b));
    const auto la = read_lines(fa.path), lb = read_lines(fb.path);
    ASSERT_EQ(la.size(), 1u);
    ASSERT_EQ(lb.size(), 1u);
    EXPECT_EQ(la[0], lb[0]);
    EXPECT_EQ(la[0],
              "{\"t\":2.1,\"frame\":63,\"kind\":\"simconnect\",\"args\":{\"define\":5,\"object\":5,\"values\":"
              "[10.28888888888889,-1]},\"call\":\"SimConnect_SetDataOnSimObject\",\"none\":null,\"ok\":true,"
              "\"result\":0}");
}

TEST(Timeline, TheMemorySinkReadsEventsBackWithTheirClock)
{
    host::Timeline timeline;
    timeline.set_clock(0.0, 0);
    timeline.add("lvar", {{"name", "ZEB_gauge_is_valid"}, {"value", 1.0}});
    timeline.set_clock(1.5, 45);
    timeline.event("named").str("name", "TCN CDI").num("value", -8.5);
    ASSERT_EQ(timeline.events().size(), 2u);  // parsed so far; later events are parsed when asked for
    timeline.set_clock(2.0, 60);
    timeline.event("named").str("name", "TCN CDI").num("value", -8.25);

    const auto& events = timeline.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, "lvar");
    EXPECT_EQ(events[0].data["value"], 1.0);
    EXPECT_EQ(events[1].t, 1.5);
    EXPECT_EQ(events[1].frame, 45);
    EXPECT_EQ(events[2].t, 2.0);  // the clock moved: the line's start is written again
    EXPECT_EQ(events[2].frame, 60);
    EXPECT_FALSE(events[2].data.contains("kind"));
    const auto named = timeline.of_kind("named");
    ASSERT_EQ(named.size(), 2u);
    EXPECT_EQ(named[1]->data["value"], -8.25);
    EXPECT_EQ(timeline.count("named"), 2u);
    EXPECT_EQ(timeline.count("lvar"), 1u);
    EXPECT_EQ(timeline.count("text"), 0u);
    EXPECT_EQ(timeline.event_count(), 3u);
}

TEST(Timeline, TheFileSinkStreamsEveryLineAndKeepsNone)
{
    TempFile file;
    host::Timeline timeline;
    timeline.add("module", {{"action", "load"}});  // before the file: written to it first
    std::string error;
    ASSERT_TRUE(timeline.open_file(file.path, &error)) << error;
    std::vector<std::string> watched;
    timeline.watch("text", [&](const host::TimelineEvent& e) { watched.push_back(e.data.value("text", "")); });
    const int frames = 20000;  // several buffers' worth
    for (int k = 1; k <= frames; ++k) {
        timeline.set_clock(k / 60.0, k);
        timeline.event("named").str("name", "TCN Slant Range").num("value", 8.0 - k * 1e-4);
        if (k % 5000 == 0) timeline.event("text").str("text", "lock " + std::to_string(k));
    }
    EXPECT_TRUE(timeline.events().empty());
    ASSERT_TRUE(timeline.close(&error)) << error;

    const auto lines = read_lines(file.path);
    ASSERT_EQ(lines.size(), static_cast<size_t>(frames + 1 + 4));
    EXPECT_EQ(nlohmann::json::parse(lines[0])["action"], "load");
    const auto last_named = nlohmann::json::parse(lines[lines.size() - 2]);
    EXPECT_EQ(last_named["frame"], frames);
    EXPECT_EQ(last_named["value"], 8.0 - frames * 1e-4);
    EXPECT_EQ(watched, (std::vector<std::string>{"lock 5000", "lock 10000", "lock 15000", "lock 20000"}));
    uint64_t bytes = 0;
    for (const auto& line : lines) bytes += line.size() + 1;
    EXPECT_EQ(timeline.bytes(), bytes);
    EXPECT_EQ(timeline.count("named"), static_cast<uint64_t>(frames));
}

TEST(Timeline, FilesThatCannotBeWrittenAreReported)
{
    host::Timeline timeline;
    std::string error;
    EXPECT_FALSE(timeline.open_file("/nonexistent-dir/timeline.jsonl", &error));
    EXPECT_EQ(error, "cannot write /nonexistent-dir/timeline.jsonl");
    if (access("/dev/full", W_OK) == 0) {
        ASSERT_TRUE(timeline.open_file("/dev/full", &error));
        for (int k = 0; k < 100; ++k) timeline.event("named").str("name", "x").num("value", k);
        EXPECT_FALSE(timeline.close(&error));
        EXPECT_EQ(error, "error while writing /dev/full");
    }
}

// The host's recording of one named variable set every frame.
namespace {

struct NamedCase {
    const char* what;
    double interval;
    double deadband;
    bool every_set;
    std::vector<double> sets;      // one per frame at 10 frames/s
    std::vector<double> recorded;  // the values on the timeline, held ones included at the end
};

std::vector<double> recorded_values(const NamedCase& c)
{
    host::HostOptions options;
    options.frame_rate = 10.0;
    options.named_record_interval = c.interval;
    options.named_deadband = c.deadband;
    options.record_every_named_set = c.every_set;
    host::Host h(options);
    IMPORT_TABLE table{};
    h.install_services(&table);
    const ID id = host::Host::panel_table.register_named_variable("TCN Slant Range");
    EXPECT_EQ(host::Host::panel_table.register_named_variable("TCN Slant Range"), id);
    for (size_t k = 0; k < c.sets.size(); ++k) {
        h.timeline().set_clock(static_cast<double>(k) / 10.0, static_cast<int64_t>(k));
        host::Host::panel_table.set_named_variable_value(id, c.sets[k]);
    }
    h.record_held_named_values();
    std::vector<double> out;
    for (const auto* e : h.timeline().of_kind("named")) {
        EXPECT_EQ(e->data["name"], "TCN Slant Range");
        out.push_back(e->data["value"].is_null() ? -999.0 : e->data["value"].get<double>());
    }
    return out;
}

}  // namespace

TEST(NamedRecording, ChangesRecordedByTheChosenRule)
{
    const double nan = std::nan("");
    const NamedCase cases[] = {
        {"on change (default)", 0, 0, false, {1, 1, 2, 2, 2, 3}, {1, 2, 3}},
        {"every set", 0, 0, true, {1, 1, 2}, {1, 1, 2}},
        {"NaN equals NaN", 0, 0, false, {nan, nan, 1}, {-999, 1}},
        {"interval: at most one per 0.5 s, the last held change at the end", 0.5, 0, false,
         {1, 2, 3, 4, 5, 6, 7, 8}, {1, 6, 8}},
        {"interval: a change after a quiet spell is recorded at once", 0.5, 0, false, {1, 1, 1, 1, 1, 1, 1, 2}, {1, 2}},
        {"deadband: moves of 0.1 or less left out, counted from the last record", 0, 0.1, false,
         {1.0, 1.05, 1.08, 1.15, 1.2, 1.3}, {1.0, 1.15, 1.3}},
        {"deadband: the final value within the band is recorded at the end", 0, 0.5, false, {1.0, 1.2}, {1.0, 1.2}},
        {"deadband: a NaN always counts as a move", 0, 0.5, false, {1.0, nan, 1.0}, {1.0, -999, 1.0}},
    };
    for (const NamedCase& c : cases) EXPECT_EQ(recorded_values(c), c.recorded) << c.what;
}

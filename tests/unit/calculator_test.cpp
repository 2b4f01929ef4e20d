// Unit tests of the emulated host's calculator, units table and simulator
// variable registry: every calculator expression the module uses against
// set variables, malformed expressions, unit conversions, operators, blocks,
// the expression cache and re-entrant key events.
#include "host/panel/calculator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "host/world/sim_vars.h"
#include "host/world/units.h"

namespace {

using host::Calculator;
using host::Dimension;
using host::PanelVariables;

constexpr double DEG = std::numbers::pi / 180.0;
constexpr double KNOT = 1852.0 / 3600.0;

// A calculator host that keeps simulator values (base units) and records
// every store, key event and error.
struct RecordingHost : host::CalculatorHost {
    struct Store {
        int slot;
        double value;
    };
    struct Key {
        uint32_t id;
        uint32_t value;
    };
    struct Error {
        std::string code;
        std::string reason;
    };

    std::vector<double> values;  // by simulator variable index, base units
    double timeSeconds = 0.0;
    std::vector<Store> stores;
    std::vector<Key> keys;
    std::vector<Error> errors;
    std::function<void(uint32_t, uint32_t)> onKey;  // run after recording a key event

    RecordingHost()
    {
        for (const host::SimVarInfo& var : host::all_sim_vars()) values.push_back(var.default_value);
    }

    // Sets a simulator variable given in `unit`.
    void set(const char* name, double value, const char* unit)
    {
        const host::SimVarInfo* var = host::find_sim_var(name);
        const auto info = host::find_unit(unit);
        if (!var || !info) {
            ADD_FAILURE() << "bad test setting " << name << " / " << unit;
            return;
        }
        values[static_cast<size_t>(var->index)] = value * info->to_base;
    }

    double read_sim_var(int index) override { return values.at(static_cast<size_t>(index)); }
    double local_time_seconds() override { return timeSeconds; }
    void panel_variable_stored(int slot, double value) override { stores.push_back({slot, value}); }
    void raise_key_event(uint32_t id, uint32_t value) override
    {
        keys.push_back({id, value});
        if (onKey) onKey(id, value);
    }
    void calculator_error(std::string_view code, std::string_view reason) override
    {
        errors.push_back({std::string(code), std::string(reason)});
    }
};

// A host, its panel variables and a calculator over them.
struct Bench {
    RecordingHost host;
    PanelVariables panel;
    Calculator calc{host, panel};

    void set_local(const char* name, double base) { panel.set(panel.slot(name), base); }
    double local(const char* name) const
    {
        const int slot = panel.find(name);
        return slot < 0 ? std::nan("") : panel.get(slot);
    }
};

// Result pointers pre-loaded with values no expression produces.
struct Results {
    static constexpr double F = -123456.75;
    static constexpr int32_t I = -98765;
    static constexpr const char* S = "untouched";
    double f = F;
    int32_t i = I;
    const char* s = S;

    bool untouched() const { return f == F && i == I && s == S; }
};

bool execute(Bench& b, const char* code, Results& r) { return b.calc.execute(code, &r.f, &r.i, &r.s); }

double tolerance(double expected) { return 1e-9 * std::max(1.0, std::fabs(expected)); }

std::string format_g(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// ---------------------------------------------------------------------------
// Every expression text the module uses.
// ---------------------------------------------------------------------------

struct SimSetting {
    const char* name;
    double value;
    const char* unit;
};
struct LocalSetting {
    const char* name;
    double base;
};
struct StoreExpectation {
    const char* name;
    double base;
};
struct KeyExpectation {
    uint32_t id;
    uint32_t value;
};
struct ModuleExpressionCase {
    const char* code;
    std::vector<SimSetting> sim;
    std::vector<LocalSetting> locals;
    double timeSeconds;
    std::optional<double> result;  // empty: the stack ends empty, results untouched
    std::vector<StoreExpectation> stores;
    std::vector<KeyExpectation> keys;
};

constexpr uint32_t FREEZE = 0x10514;  // FREEZE_ATTITUDE_SET in this host's table

// clang-format off
const std::vector<ModuleExpressionCase> MODULE_EXPRESSIONS = {
    {"(A:BRAKE PARKING INDICATOR, bool)", {{"BRAKE PARKING INDICATOR", 1, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:BRAKE PARKING INDICATOR, bool)", {}, {}, 0, 0.0, {}, {}},
    {"(A:ENGINE TYPE, enum)", {}, {}, 0, 1.0, {}, {}},
    {"(A:ENGINE TYPE, enum)", {{"ENGINE TYPE", 0, "enum"}}, {}, 0, 0.0, {}, {}},
    {"(A:GEAR RIGHT POSITION, percent) 99 > (A:IS GEAR RETRACTABLE,bool) ! ||",
        {{"GEAR RIGHT POSITION", 100, "percent"}, {"IS GEAR RETRACTABLE", 1, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:GEAR RIGHT POSITION, percent) 99 > (A:IS GEAR RETRACTABLE,bool) ! ||",
        {{"GEAR RIGHT POSITION", 40, "percent"}, {"IS GEAR RETRACTABLE", 1, "bool"}}, {}, 0, 0.0, {}, {}},
    {"(A:GEAR RIGHT POSITION, percent) 99 > (A:IS GEAR RETRACTABLE,bool) ! ||",
        {{"GEAR RIGHT POSITION", 0, "percent"}, {"IS GEAR RETRACTABLE", 0, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:HOLDBACK BAR INSTALLED,bool)", {{"HOLDBACK BAR INSTALLED", 1, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:INCIDENCE ALPHA,Degrees)", {{"INCIDENCE ALPHA", 0.15, "radians"}}, {}, 0, 0.15 / DEG, {}, {}},
    {"(A:LAUNCHBAR POSITION, percent) 50 > if{ 1 } els{ 0 }", {{"LAUNCHBAR POSITION", 100, "percent"}}, {}, 0, 1.0, {}, {}},
    {"(A:LAUNCHBAR POSITION, percent) 50 > if{ 1 } els{ 0 }", {{"LAUNCHBAR POSITION", 50, "percent"}}, {}, 0, 0.0, {}, {}},
    {"(A:MAGVAR, radians)", {{"MAGVAR", -5, "degrees"}}, {}, 0, -5 * DEG, {}, {}},
    {"(A:NAV DME:1, nmiles)", {{"NAV DME:1", 23150, "meters"}}, {}, 0, 12.5, {}, {}},
    {"(A:NAV DME:2, nmiles)", {{"NAV DME:2", 3.25, "nmiles"}, {"NAV DME:1", 9, "nmiles"}}, {}, 0, 3.25, {}, {}},
    {"(A:NAV HAS DME:1, bool) 1 1 == &&", {{"NAV HAS DME:1", 1, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:NAV HAS DME:1, bool) 1 1 == &&", {{"NAV HAS DME:1", 0, "bool"}}, {}, 0, 0.0, {}, {}},
    {"(A:NAV HAS DME:2, bool) 1 1 == &&", {{"NAV HAS DME:2", 1, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:NAV HAS DME:2, bool) 1 1 == &&", {{"NAV HAS DME:1", 1, "bool"}}, {}, 0, 0.0, {}, {}},
    {"(A:NAV HAS NAV:1, bool) 1 1 == &&", {{"NAV HAS NAV:1", 1, "bool"}}, {}, 0, 1.0, {}, {}},
    {"(A:NAV HAS NAV:1, bool) 1 1 == &&", {{"NAV HAS NAV:2", 1, "bool"}}, {}, 0, 0.0, {}, {}},
    {"(A:NAV RELATIVE BEARING TO STATION:1, degrees) dnor ", {{"NAV RELATIVE BEARING TO STATION:1", -30, "degrees"}}, {}, 0, 330.0, {}, {}},
    {"(A:NAV RELATIVE BEARING TO STATION:1, degrees) dnor ", {{"NAV RELATIVE BEARING TO STATION:1", 45, "degrees"}}, {}, 0, 45.0, {}, {}},
    {"(A:Nav1 Active Frequency, MHz)", {{"NAV ACTIVE FREQUENCY:1", 113.45, "MHz"}}, {}, 0, 113.45, {}, {}},
    {"(A:Nav2 Active Frequency, MHz)", {{"NAV ACTIVE FREQUENCY:2", 108.05, "MHz"}}, {}, 0, 108.05, {}, {}},
    {"(A:STATIC CG TO GROUND, meters)", {{"STATIC CG TO GROUND", 8.2, "feet"}}, {}, 0, 8.2 * 0.3048, {}, {}},
    {"(A:SURFACE RELATIVE GROUND SPEED, meters per second)", {{"SURFACE RELATIVE GROUND SPEED", 30, "knots"}}, {}, 0, 30 * KNOT, {}, {}},
    // sqrt(16000 / 25000) = 0.8; 0.8 * 130 kt * 1.5 = 156 kt.
    {"(A:TOTAL WEIGHT,kilogram) (A:MAX GROSS WEIGHT, kilogram) / sqrt (A:DESIGN SPEED VS0, knots) * 1.5 *",
        {{"TOTAL WEIGHT", 16000, "kg"}, {"MAX GROSS WEIGHT", 25000, "kg"}, {"DESIGN SPEED VS0", 130, "knots"}}, {}, 0, 156.0, {}, {}},
    {"(L:LSO_is_Off_VC, bool) ! (>L:LSO_is_Off_VC, bool)", {}, {}, 0, std::nullopt, {{"LSO_is_Off_VC", 1}}, {}},
    {"(L:LSO_is_Off_VC, bool) ! (>L:LSO_is_Off_VC, bool)", {}, {{"LSO_is_Off_VC", 1}}, 0, std::nullopt, {{"LSO_is_Off_VC", 0}}, {}},
    {"(L:LSO_is_Off_VC, bool) !", {}, {}, 0, 1.0, {}, {}},
    {"(L:LSO_is_Off_VC, bool) !", {}, {{"LSO_is_Off_VC", 1}}, 0, 0.0, {}, {}},
    {"(L:ZEB_Command1, bool) ! (>L:ZEB_Command1, bool)", {}, {}, 0, std::nullopt, {{"ZEB_Command1", 1}}, {}},
    {"(L:ZEB_Command1, bool) ! (>L:ZEB_Command1, bool)", {}, {{"ZEB_Command1", 1}}, 0, std::nullopt, {{"ZEB_Command1", 0}}, {}},
    {"(P:local time, seconds) (L:Power_Timer,seconds) - ", {}, {{"Power_Timer", 43190.5}}, 43200.0, 9.5, {}, {}},
    {"(P:local time, seconds) (L:WO_Timer,seconds) - ", {}, {{"WO_Timer", 100}}, 97.0, -3.0, {}, {}},
    {"(P:local time, seconds)", {}, {}, 50400.25, 50400.25, {}, {}},
    {"0 (>K:FREEZE_ATTITUDE_SET)", {}, {}, 0, std::nullopt, {}, {{FREEZE, 0}}},
    {"1 (>K:FREEZE_ATTITUDE_SET)", {}, {}, 0, std::nullopt, {}, {{FREEZE, 1}}},
    {"0 (>L:Cat_1_Steam, bool)", {}, {{"Cat_1_Steam", 1}}, 0, std::nullopt, {{"Cat_1_Steam", 0}}, {}},
    {"0 (>L:Cat_2_Steam, bool)", {}, {{"Cat_2_Steam", 1}}, 0, std::nullopt, {{"Cat_2_Steam", 0}}, {}},
    {"0 (>L:Cat_3_Steam, bool)", {}, {{"Cat_3_Steam", 1}}, 0, std::nullopt, {{"Cat_3_Steam", 0}}, {}},
    {"0 (>L:Cat_4_Steam, bool)", {}, {{"Cat_4_Steam", 1}}, 0, std::nullopt, {{"Cat_4_Steam", 0}}, {}},
    {"1 (>L:Cat_1_Steam, bool)", {}, {}, 0, std::nullopt, {{"Cat_1_Steam", 1}}, {}},
    {"1 (>L:Cat_2_Steam, bool)", {}, {}, 0, std::nullopt, {{"Cat_2_Steam", 1}}, {}},
    {"1 (>L:Cat_3_Steam, bool)", {}, {}, 0, std::nullopt, {{"Cat_3_Steam", 1}}, {}},
    {"1 (>L:Cat_4_Steam, bool)", {}, {}, 0, std::nullopt, {{"Cat_4_Steam", 1}}, {}},
    {"0 (>L:FLOLS_is_valid, bool)", {}, {{"FLOLS_is_valid", 1}}, 0, std::nullopt, {{"FLOLS_is_valid", 0}}, {}},
    {"1 (>L:FLOLS_is_valid, bool)", {}, {}, 0, std::nullopt, {{"FLOLS_is_valid", 1}}, {}},
    {"0 (>L:FlightDeck_State,enum)", {}, {{"FlightDeck_State", 2}}, 0, std::nullopt, {{"FlightDeck_State", 0}}, {}},
    {"1 (>L:FlightDeck_State,enum)", {}, {}, 0, std::nullopt, {{"FlightDeck_State", 1}}, {}},
    {"2 (>L:FlightDeck_State,enum)", {}, {}, 0, std::nullopt, {{"FlightDeck_State", 2}}, {}},
    {"0 (>L:LSO_is_Off_VC, bool)", {}, {{"LSO_is_Off_VC", 1}}, 0, std::nullopt, {{"LSO_is_Off_VC", 0}}, {}},
    {"0 (>L:LaunchBar_State,Bool)", {}, {{"LaunchBar_State", 1}}, 0, std::nullopt, {{"LaunchBar_State", 0}}, {}},
    {"1 (>L:LaunchBar_State,Bool)", {}, {}, 0, std::nullopt, {{"LaunchBar_State", 1}}, {}},
    {"0 (>L:PowerLight, bool)", {}, {{"PowerLight", 1}}, 0, std::nullopt, {{"PowerLight", 0}}, {}},
    {"0 (>L:WaveOffLight, bool)", {}, {{"WaveOffLight", 1}}, 0, std::nullopt, {{"WaveOffLight", 0}}, {}},
    {"0 (>L:ReadyCatapult, bool) 0 (>L:G_Catapult, bool) 0 (>L:Catapult_State,enum)", {},
        {{"ReadyCatapult", 1}, {"G_Catapult", 1}, {"Catapult_State", 2}}, 0, std::nullopt,
        {{"ReadyCatapult", 0}, {"G_Catapult", 0}, {"Catapult_State", 0}}, {}},
    {"1 (>L:ReadyCatapult, bool) 1 (>L:G_Catapult, bool)", {}, {}, 0, std::nullopt,
        {{"ReadyCatapult", 1}, {"G_Catapult", 1}}, {}},
    {"1 (>L:Catapult_State,enum)", {}, {}, 0, std::nullopt, {{"Catapult_State", 1}}, {}},
    {"2 (>L:Catapult_State,enum)", {}, {}, 0, std::nullopt, {{"Catapult_State", 2}}, {}},
    {"1 (>L:Cust_Catapult_Available,bool)", {}, {}, 0, std::nullopt, {{"Cust_Catapult_Available", 1}}, {}},
    {"1 (>L:PowerLight, bool) (P:local time, seconds) (>L:Power_Timer,seconds)", {}, {}, 3600.5, std::nullopt,
        {{"PowerLight", 1}, {"Power_Timer", 3600.5}}, {}},
    {"1 (>L:WaveOffLight, bool) (P:local time, seconds) (>L:WO_Timer,seconds)", {}, {}, 120.0, std::nullopt,
        {{"WaveOffLight", 1}, {"WO_Timer", 120.0}}, {}},
    {"1 (>L:ZEB_gauge_is_valid, bool)", {}, {}, 0, std::nullopt, {{"ZEB_gauge_is_valid", 1}}, {}},
};
// clang-format on

TEST(Calculator, EveryExpressionTheModuleWrites)
{
    for (const ModuleExpressionCase& c : MODULE_EXPRESSIONS) {
        SCOPED_TRACE(c.code);
        Bench b;
        for (const SimSetting& s : c.sim) b.host.set(s.name, s.value, s.unit);
        for (const LocalSetting& l : c.locals) b.set_local(l.name, l.base);
        b.host.timeSeconds = c.timeSeconds;

        Results r;
        EXPECT_TRUE(execute(b, c.code, r));
        EXPECT_TRUE(b.host.errors.empty()) << b.host.errors.front().reason;
        if (c.result) {
            EXPECT_NEAR(r.f, *c.result, tolerance(*c.result));
            EXPECT_EQ(r.i, static_cast<int32_t>(r.f));
            EXPECT_EQ(std::string(r.s), format_g(r.f));
        } else {
            EXPECT_TRUE(r.untouched());
        }

        ASSERT_EQ(b.host.stores.size(), c.stores.size());
        for (size_t k = 0; k < c.stores.size(); ++k) {
            EXPECT_EQ(b.panel.name(b.host.stores[k].slot), c.stores[k].name);
            EXPECT_NEAR(b.host.stores[k].value, c.stores[k].base, tolerance(c.stores[k].base));
            EXPECT_NEAR(b.local(c.stores[k].name), c.stores[k].base, tolerance(c.stores[k].base));
        }
        ASSERT_EQ(b.host.keys.size(), c.keys.size());
        for (size_t k = 0; k < c.keys.size(); ++k) {
            EXPECT_EQ(b.host.keys[k].id, c.keys[k].id);
            EXPECT_EQ(b.host.keys[k].value, c.keys[k].value);
        }
    }
}

// ---------------------------------------------------------------------------
// Malformed expressions: false, one error per execution, nothing touched.
// ---------------------------------------------------------------------------

struct BadCase {
    std::string code;
    const char* reason;  // a fragment of the reported reason
};

std::string pushes(int count)
{
    std::string code;
    for (int k = 0; k < count; ++k) code += "1 ";
    return code;
}

// clang-format off
const std::vector<BadCase> BAD_CASES = {
    {"(A:NO SUCH VARIABLE, bool)", "unknown simulator variable"},
    {"(A:NAV DME, nmiles)", "unknown simulator variable"},          // indexed: the index is part of the name
    {"(A:PLANE ALTITUDE, furlongs)", "unknown unit"},
    {"(L:Flag, furlongs)", "unknown unit"},
    {"(A:PLANE ALTITUDE, degrees)", "does not fit"},
    {"(A:MAGVAR, feet)", "does not fit"},
    {"(A:GEAR RIGHT POSITION, number)", "does not fit"},
    {"(A:NAV ACTIVE FREQUENCY:1, knots)", "does not fit"},
    {"(P:local time, meters)", "does not fit"},
    {"(A:PLANE ALTITUDE)", "no unit"},
    {"(A:TITLE, number)", "text variable"},
    {"(P:zulu time, seconds)", "unknown environment variable"},
    {"1 +", "underflow"},
    {"+", "underflow"},
    {"!", "underflow"},
    {"1 2 3 + * /", "underflow"},
    {"if{ 1 }", "underflow"},
    {"0 if{ 1 } 1 +", "underflow"},                                  // one path leaves too few values
    {"(>L:Flag, bool)", "underflow"},
    {"(>K:PARKING_BRAKES)", "underflow"},
    {"1 if{ 1", "unbalanced"},
    {"1 if{ 1 } els{ 0", "unbalanced"},
    {"1 if{ 1 } }", "unbalanced"},
    {"}", "unbalanced"},
    {"els{ 1 }", "els{"},
    {"1 if{ 1 } 2 els{ 0 }", "els{"},
    {"1 2 ^", "unknown token"},
    {"1 2 plus", "unknown token"},
    {"1 2 %", "unknown token"},
    {"nan", "unknown token"},
    {"1 if{1 }", "unknown token"},
    {"1 (>K:NO_SUCH_EVENT)", "unknown key event"},
    {"1 (>K:PARKING_BRAKES, number)", "no unit"},
    {"(K:PARKING_BRAKES)", "can only be raised"},
    {"1 (>A:SIM ON GROUND, bool)", "read-only"},
    {"1 (>P:local time, seconds)", "read-only"},
    {"(X:FOO, bool)", "unknown variable kind"},
    {"(PLANE ALTITUDE, feet)", "no variable kind"},
    {"(L:, bool)", "no variable name"},
    {"(L:Unclosed, bool", "unclosed"},
    {pushes(65), "overflow"},
    // Failures after a store or a key event: nothing runs, nothing is created.
    {"1 (>L:Created, bool) (A:NO SUCH VARIABLE, bool)", "unknown simulator variable"},
    {"1 (>L:Created, bool) 1 (>K:NO_SUCH_EVENT)", "unknown key event"},
    {"(L:Created, bool) 1 (>K:PARKING_BRAKES) +", "underflow"},
};
// clang-format on

TEST(Calculator, MalformedExpressionsFailWithoutSideEffects)
{
    for (const BadCase& c : BAD_CASES) {
        SCOPED_TRACE(c.code);
        Bench b;
        b.set_local("Flag", 1.0);
        const int variables = b.panel.size();

        for (int run = 1; run <= 2; ++run) {
            Results r;
            EXPECT_FALSE(execute(b, c.code.c_str(), r));
            EXPECT_TRUE(r.untouched());
            ASSERT_EQ(b.host.errors.size(), static_cast<size_t>(run));
            EXPECT_EQ(b.host.errors.back().code, c.code);
            EXPECT_NE(b.host.errors.back().reason.find(c.reason), std::string::npos) << b.host.errors.back().reason;
            EXPECT_TRUE(b.host.stores.empty());
            EXPECT_TRUE(b.host.keys.empty());
            EXPECT_EQ(b.panel.size(), variables);
            EXPECT_EQ(b.local("Flag"), 1.0);
            EXPECT_EQ(b.calc.cached_expressions(), 1u);  // the bad entry is cached, not recompiled
        }
        std::string reason;
        EXPECT_FALSE(b.calc.check(c.code, &reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos);
    }
}

TEST(Calculator, NullTextFails)
{
    Bench b;
    Results r;
    EXPECT_FALSE(execute(b, nullptr, r));
    EXPECT_TRUE(r.untouched());
    EXPECT_EQ(b.host.errors.size(), 1u);
}

TEST(Calculator, SixtyFourValuesFit)
{
    Bench b;
    Results r;
    EXPECT_TRUE(execute(b, (pushes(63) + "2").c_str(), r));
    EXPECT_EQ(r.f, 2.0);
}

// ---------------------------------------------------------------------------
// Operators, numbers, blocks and result conversions.
// ---------------------------------------------------------------------------

struct ValueCase {
    const char* code;
    std::optional<double> result;  // empty: stack ends empty
};

// clang-format off
const std::vector<ValueCase> VALUE_CASES = {
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"1 2 +", 3}, {"7 2 -", 5}, {"2 7 -", -5}, {"3 4 *", 12}, {"7 2 /", 3.5}, {"2 8 /", 0.25},
    {"2 3 <", 1}, {"3 2 <", 0}, {"3 2 >", 1}, {"2 3 >", 0}, {"2 2 <=", 1}, {"3 2 <=", 0},
    {"2 2 >=", 1}, {"1 2 >=", 0}, {"2 2 ==", 1}, {"2 3 ==", 0}, {"2 3 !=", 1}, {"3 3 !=", 0},
    {"1 0 &&", 0}, {"2 -3 &&", 1}, {"0 0 ||", 0}, {"0 -1 ||", 1}, {"0 !", 1}, {"2 !", 0}, {"0.5 !", 0},
    {"16 sqrt", 4}, {"-3 abs", 3}, {"3 neg", -3}, {"2.7 flr", 2}, {"-2.5 flr", -3}, {"2 3 min", 2}, {"2 3 max", 3},
    {"1e3", 1000}, {".5", 0.5}, {"-2.5", -2.5}, {"007", 7},
    {"1 2 3", 3},  // the top of the stack is the result
    // dnor folds into [0, 360).
    {"-30 dnor", 330}, {"725 dnor", 5}, {"360 dnor", 0}, {"-360 dnor", 0}, {"0 dnor", 0},
    {"-720.5 dnor", 359.5}, {"359.75 dnor", 359.75}, {"-1e-17 dnor", 0}, {"1080 dnor", 0},
    // Blocks.
    {"1 if{ 10 } els{ 20 }", 10}, {"0 if{ 10 } els{ 20 }", 20}, {"-2 if{ 10 } els{ 20 }", 10},
    {"1 if{ 10 }", 10}, {"0 if{ 10 }", std::nullopt}, {"5 0 if{ 10 }", 5}, {"5 1 if{ 10 }", 10},
    {"7 1 if{ 1 + }", 8}, {"7 0 if{ 1 + }", 7},
    {"1 if{ 0 if{ 1 } els{ 2 } } els{ 3 }", 2}, {"0 if{ 0 if{ 1 } els{ 2 } } els{ 3 }", 3},
    {"1 if{ 1 if{ 7 } } els{ 3 }", 7}, {"1 if{ 1 } els{ 2 } 10 *", 10}, {"0 if{ 1 } els{ 2 } 10 *", 20},
    {"1 if{ } els{ 4 }", std::nullopt}, {"0 if{ } els{ 4 }", 4},
};
// clang-format on

TEST(Calculator, OperatorsNumbersAndBlocks)
{
    for (const ValueCase& c : VALUE_CASES) {
        SCOPED_TRACE(c.code);
        Bench b;
        Results r;
        EXPECT_TRUE(execute(b, c.code, r));
        EXPECT_TRUE(b.host.errors.empty());
        if (c.result) {
            EXPECT_NEAR(r.f, *c.result, tolerance(*c.result));
            EXPECT_FALSE(std::signbit(r.f) && r.f == 0.0) << "negative zero";
        } else {
            EXPECT_TRUE(r.untouched());
        }
    }
}

TEST(Calculator, OnlyTheTakenBranchRuns)
{
    Bench b;
    Results r;
    const uint32_t brakes = *host::find_key_event("PARKING_BRAKES");
    EXPECT_TRUE(execute(b, "0 if{ 1 (>K:PARKING_BRAKES) } els{ 2 (>K:PARKING_BRAKES) }", r));
    EXPECT_TRUE(execute(b, "1 if{ 3 (>K:PARKING_BRAKES) } els{ 4 (>K:PARKING_BRAKES) }", r));
    EXPECT_TRUE(execute(b, "0 if{ 5 (>L:Never, number) }", r));
    ASSERT_EQ(b.host.keys.size(), 2u);
    EXPECT_EQ(b.host.keys[0].id, brakes);
    EXPECT_EQ(b.host.keys[0].value, 2u);
    EXPECT_EQ(b.host.keys[1].value, 3u);
    EXPECT_TRUE(b.host.stores.empty());
    EXPECT_EQ(b.local("Never"), 0.0);  // created by the compile, never stored
    EXPECT_TRUE(r.untouched());
}

TEST(Calculator, ResultConversions)
{
    struct Row {
        const char* code;
        int32_t integer;  // truncation toward zero, NaN 0, saturating
        const char* text; // %g
    };
    const Row rows[] = {
        {"2.7", 2, "2.7"},         {"-2.7", -2, "-2.7"},       {"156", 156, "156"},
        {"1 3 /", 0, "0.333333"},  {"0.5", 0, "0.5"},          {"1e12", INT32_MAX, "1e+12"},
        {"-1e12", INT32_MIN, "-1e+12"}, {"0 0 /", 0, "-nan"},  {"123456789", 123456789, "1.23457e+08"},
        {"0", 0, "0"},             {"0 neg", 0, "-0"},         {"-5", -5, "-5"},
        {"999999", 999999, "999999"}, {"-999999", -999999, "-999999"}, {"1000000", 1000000, "1e+06"},
        {"110.5", 110, "110.5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        Bench b;
        Results r;
        EXPECT_TRUE(execute(b, row.code, r));
        EXPECT_EQ(r.i, row.integer);
        // glibc prints the sign of the NaN that 0/0 gives; accept either.
        if (std::isnan(r.f)) {
            EXPECT_TRUE(std::string(r.s) == "nan" || std::string(r.s) == "-nan") << r.s;
        } else {
            EXPECT_STREQ(r.s, row.text);
        }
    }
    // The text of one value, then another, then the first again.
    {
        Bench b;
        Results r;
        for (const char* code : {"1", "1", "2.5", "2.5", "1", "0 neg", "0"}) {
            SCOPED_TRACE(code);
            EXPECT_TRUE(execute(b, code, r));
            EXPECT_EQ(std::string(r.s), format_g(r.f));
        }
    }
    // Any result pointer may be null.
    Bench b;
    EXPECT_TRUE(b.calc.execute("4", nullptr, nullptr, nullptr));
    double f = 0;
    EXPECT_TRUE(b.calc.execute("5", &f, nullptr, nullptr));
    EXPECT_EQ(f, 5.0);
    int32_t i = 0;
    EXPECT_TRUE(b.calc.execute("6.9", nullptr, &i, nullptr));
    EXPECT_EQ(i, 6);
}

// ---------------------------------------------------------------------------
// Units and names.
// ---------------------------------------------------------------------------

TEST(Units, Table)
{
    struct Row {
        const char* name;
        Dimension dimension;
        double toBase;
    };
    const Row rows[] = {
        {"bool", Dimension::Number, 1},          {"Boolean", Dimension::Number, 1},
        {"enum", Dimension::Number, 1},          {"number", Dimension::Number, 1},
        {"Numbers", Dimension::Number, 1},       {"position", Dimension::Number, 1},
        {"percent", Dimension::Percent, 1},      {"Percent Over 100", Dimension::Percent, 100},
        {"degrees", Dimension::Angle, DEG},      {"Degree", Dimension::Angle, DEG},
        {"radians", Dimension::Angle, 1},        {"radian", Dimension::Angle, 1},
        {"feet", Dimension::Length, 0.3048},     {"foot", Dimension::Length, 0.3048},
        {"ft", Dimension::Length, 0.3048},       {"meters", Dimension::Length, 1},
        {"meter", Dimension::Length, 1},         {"m", Dimension::Length, 1},
        {"nmiles", Dimension::Length, 1852},     {"nautical miles", Dimension::Length, 1852},
        {"nautical mile", Dimension::Length, 1852},
        {"knots", Dimension::Speed, KNOT},       {"knot", Dimension::Speed, KNOT},
        {"Meters per second", Dimension::Speed, 1}, {"feet per second", Dimension::Speed, 0.3048},
        {"kilogram", Dimension::Mass, 1},        {"kilograms", Dimension::Mass, 1},
        {"kg", Dimension::Mass, 1},              {"pounds", Dimension::Mass, 0.45359237},
        {"lbs", Dimension::Mass, 0.45359237},
        {"MHz", Dimension::Frequency, 1},        {"megahertz", Dimension::Frequency, 1},
        {"KHz", Dimension::Frequency, 1e-3},     {"Hz", Dimension::Frequency, 1e-6},
        {"seconds", Dimension::Time, 1},         {"second", Dimension::Time, 1},
        {"minutes", Dimension::Time, 60},        {"hours", Dimension::Time, 3600},
        {"radians per second", Dimension::AngularRate, 1},
        {"degrees per second", Dimension::AngularRate, DEG},
        // Case and blanks do not matter.
        {"  BOOL ", Dimension::Number, 1},       {"mhz", Dimension::Frequency, 1},
        {"METERS  PER\tSECOND", Dimension::Speed, 1}, {" Nautical Miles", Dimension::Length, 1852},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto unit = host::find_unit(row.name);
        ASSERT_TRUE(unit.has_value());
        EXPECT_EQ(unit->dimension, row.dimension);
        EXPECT_DOUBLE_EQ(unit->to_base, row.toBase);
    }
    for (const char* unknown : {"", "   ", "furlongs", "meters per", "per second", "nmiless",
                                "an extremely long text that cannot possibly name any unit at all"}) {
        EXPECT_FALSE(host::find_unit(unknown).has_value()) << unknown;
    }
    EXPECT_STREQ(host::dimension_name(Dimension::Speed), "speed");
    EXPECT_STREQ(host::dimension_name(Dimension::Text), "text");
}

TEST(Calculator, UnitConversionsAndCaseInsensitiveNames)
{
    Bench b;
    b.host.set("PLANE ALTITUDE", 1000, "feet");              // 304.8 m
    b.host.set("GROUND VELOCITY", 100, "knots");             // 51.44 m/s
    b.host.set("PLANE HEADING DEGREES TRUE", 90, "degrees");
    b.host.set("BRAKE INDICATOR", 40, "percent");
    b.host.set("NAV ACTIVE FREQUENCY:1", 113.5, "MHz");
    b.host.set("TOTAL WEIGHT", 10000, "kg");
    b.host.set("ROTATION VELOCITY BODY Y", 0.02, "meters per second");
    b.host.set("NAV DME:1", 2, "nmiles");
    struct Row {
        const char* code;
        double expected;
    };
    const Row rows[] = {
        {"(A:PLANE ALTITUDE, feet)", 1000},
        {"(A:PLANE ALTITUDE, meters)", 304.8},
        {"(A:PLANE ALTITUDE, nmiles)", 304.8 / 1852},
        {"(A:GROUND VELOCITY, knots)", 100},
        {"(A:GROUND VELOCITY, meters per second)", 100 * KNOT},
        {"(A:GROUND VELOCITY, feet per second)", 100 * KNOT / 0.3048},
        {"(A:PLANE HEADING DEGREES TRUE, degrees)", 90},
        {"(A:PLANE HEADING DEGREES TRUE, radians)", std::numbers::pi / 2},
        {"(A:BRAKE INDICATOR, percent)", 40},
        {"(A:BRAKE INDICATOR, percent over 100)", 0.4},
        {"(A:NAV ACTIVE FREQUENCY:1, KHz)", 113500},
        {"(A:TOTAL WEIGHT, pounds)", 10000 / 0.45359237},
        {"(A:ROTATION VELOCITY BODY Y, meters per second)", 0.02},
        // Case and blanks in names and units.
        {"(a:plane altitude, FEET)", 1000},
        {"(A:Plane Altitude,Feet)", 1000},
        {"( A:PLANE  ALTITUDE , feet )", 1000},
        {"(A:nav dme:1, NMILES)", 2},
        {"(A:NAV DME : 1, Nautical Miles)", 2},
        {"(A:NAV1 ACTIVE FREQUENCY, mhz)", 113.5},
        {"(A:nav active frequency:1, MHZ)", 113.5},
        {"(A:PLANE ALTITUDE, feet) (A:PLANE ALTITUDE, meters) /", 1 / 0.3048},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        Results r;
        EXPECT_TRUE(execute(b, row.code, r));
        EXPECT_NEAR(r.f, row.expected, tolerance(row.expected));
    }
    EXPECT_TRUE(b.host.errors.empty());
}

TEST(Calculator, PanelVariablesKeepBaseUnits)
{
    Bench b;
    Results r;
    EXPECT_EQ(b.panel.find("Fresh"), -1);
    EXPECT_TRUE(execute(b, "(L:Fresh, number)", r));  // unknown: 0, and it now exists
    EXPECT_EQ(r.f, 0.0);
    EXPECT_GE(b.panel.find("FRESH"), 0);

    EXPECT_TRUE(execute(b, "5 (>L:Timer, minutes)", r));
    ASSERT_EQ(b.host.stores.size(), 1u);
    EXPECT_EQ(b.host.stores[0].value, 300.0);  // base unit: seconds
    EXPECT_TRUE(execute(b, "(L:Timer, seconds)", r));
    EXPECT_EQ(r.f, 300.0);
    EXPECT_TRUE(execute(b, "(L:TIMER, minutes)", r));  // names are case-insensitive
    EXPECT_EQ(r.f, 5.0);
    EXPECT_EQ(b.panel.name(b.panel.find("timer")), "Timer");  // the first spelling is kept

    EXPECT_TRUE(execute(b, "1 (>L:Flag, bool)", r));
    EXPECT_TRUE(execute(b, "(L:Flag, number) (L:Flag, enum) + (L:Flag, bool) +", r));
    EXPECT_EQ(r.f, 3.0);
    EXPECT_TRUE(execute(b, "(L:Flag)", r));  // no unit: number
    EXPECT_EQ(r.f, 1.0);
    EXPECT_TRUE(execute(b, "30 (>L:Angle, degrees) (L:Angle, radians)", r));
    EXPECT_NEAR(r.f, 30 * DEG, 1e-12);
    EXPECT_TRUE(b.host.errors.empty());
}

TEST(KeyEvents, Table)
{
    EXPECT_EQ(host::find_key_event("NAV1_RADIO_SET"), 0x100ACu);
    EXPECT_EQ(host::find_key_event("NAV2_RADIO_SET"), 0x100ADu);
    EXPECT_EQ(host::find_key_event("nav1_radio_set"), 0x100ACu);
    EXPECT_EQ(host::find_key_event(" FREEZE_ATTITUDE_SET "), FREEZE);
    EXPECT_FALSE(host::find_key_event("NO_SUCH_EVENT").has_value());
    EXPECT_FALSE(host::find_key_event("").has_value());
    EXPECT_STREQ(host::key_event_name(0x100AD), "NAV2_RADIO_SET");
    EXPECT_EQ(host::key_event_name(0x11101), nullptr);  // the module's own events
    EXPECT_EQ(host::key_event_name(0), nullptr);

    std::set<uint32_t> ids;
    for (const char* name : {"FREEZE_ATTITUDE_SET", "NAV1_RADIO_SET", "NAV2_RADIO_SET", "PARKING_BRAKES",
                             "TOGGLE_TAILHOOK_HANDLE"}) {
        const auto id = host::find_key_event(name);
        ASSERT_TRUE(id.has_value()) << name;
        EXPECT_GE(*id, 0x10000u);
        EXPECT_FALSE(*id >= 0x11101u && *id <= 0x11107u);
        EXPECT_STREQ(host::key_event_name(*id), name);
        ids.insert(*id);
    }
    EXPECT_EQ(ids.size(), 5u);
    // Every host event the module raises by number has a name that leads back to it.
    for (uint32_t id : {0x100ACu, 0x100ADu, 0x10128u, 0x10129u, 0x1012Du, 0x1012Eu, 0x103CAu, 0x103CBu,
                        0x103CCu, 0x10153u, 0x100C6u, 0x100C7u, 0x10512u, 0x1053Cu}) {
        const char* name = host::key_event_name(id);
        ASSERT_NE(name, nullptr) << std::hex << id;
        EXPECT_EQ(host::find_key_event(name), id);
    }
}

TEST(Calculator, KeyEventValues)
{
    Bench b;
    Results r;
    EXPECT_TRUE(execute(b, "4352 (>K:NAV1_RADIO_SET)", r));
    EXPECT_TRUE(execute(b, "2.9 (>K:PARKING_BRAKES)", r));
    EXPECT_TRUE(execute(b, "-1 (>K:PARKING_BRAKES)", r));
    EXPECT_TRUE(execute(b, "0 0 / (>K:PARKING_BRAKES)", r));
    ASSERT_EQ(b.host.keys.size(), 4u);
    EXPECT_EQ(b.host.keys[0].id, 0x100ACu);
    EXPECT_EQ(b.host.keys[0].value, 4352u);
    EXPECT_EQ(b.host.keys[1].value, 2u);
    EXPECT_EQ(b.host.keys[2].value, 0xFFFFFFFFu);
    EXPECT_EQ(b.host.keys[3].value, 0u);
    EXPECT_TRUE(r.untouched());
}

// ---------------------------------------------------------------------------
// Cache, re-entrancy, check().
// ---------------------------------------------------------------------------

TEST(Calculator, EachTextIsCompiledOnce)
{
    Bench b;
    Results r;
    const char* code = "(A:ENGINE TYPE, enum) 1 +";
    EXPECT_TRUE(execute(b, code, r));
    EXPECT_EQ(b.calc.cached_expressions(), 1u);
    EXPECT_TRUE(execute(b, code, r));
    EXPECT_EQ(b.calc.cached_expressions(), 1u);
    const std::string copy = code;  // same text at another address
    EXPECT_TRUE(execute(b, copy.c_str(), r));
    EXPECT_EQ(b.calc.cached_expressions(), 1u);
    std::string reason;
    EXPECT_TRUE(b.calc.check(code, &reason));
    EXPECT_EQ(b.calc.cached_expressions(), 1u);
    EXPECT_EQ(r.f, 2.0);

    // One buffer holding different texts over time: the address alone never decides.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s", "10 2 -");
    EXPECT_TRUE(execute(b, buffer, r));
    EXPECT_EQ(r.f, 8.0);
    std::snprintf(buffer, sizeof buffer, "%s", "10 2 +");
    EXPECT_TRUE(execute(b, buffer, r));
    EXPECT_EQ(r.f, 12.0);
    std::snprintf(buffer, sizeof buffer, "%s", "10 2");  // a prefix of the cached text
    EXPECT_TRUE(execute(b, buffer, r));
    EXPECT_EQ(r.f, 2.0);
    std::snprintf(buffer, sizeof buffer, "%s", "10 2 - 1 -");  // an extension of it
    EXPECT_TRUE(execute(b, buffer, r));
    EXPECT_EQ(r.f, 7.0);
    std::snprintf(buffer, sizeof buffer, "%s", "10 2 -");
    EXPECT_TRUE(execute(b, buffer, r));
    EXPECT_EQ(r.f, 8.0);
    EXPECT_EQ(b.calc.cached_expressions(), 5u);
}

TEST(Calculator, CheckCompilesWithoutRunning)
{
    Bench b;
    std::string reason;
    EXPECT_TRUE(b.calc.check("1 (>L:Checked, bool) 1 (>K:PARKING_BRAKES)", &reason));
    EXPECT_TRUE(b.host.stores.empty());
    EXPECT_TRUE(b.host.keys.empty());
    EXPECT_FALSE(b.calc.check("1 +", &reason));
    EXPECT_NE(reason.find("underflow"), std::string::npos);
    EXPECT_FALSE(b.calc.check("1 +", nullptr));
    EXPECT_TRUE(b.host.errors.empty());  // check reports through its reason only
}

TEST(Calculator, KeyEventHandlersMayRunExpressions)
{
    Bench b;
    int depth = 0;
    b.host.onKey = [&](uint32_t, uint32_t) {
        if (++depth < 3) {
            Results inner;
            EXPECT_TRUE(execute(b, "(L:Inner, number) 1 + (>L:Inner, number) 1 (>K:PARKING_BRAKES) 99", inner));
            EXPECT_EQ(inner.f, 99.0);
        }
    };
    Results r;
    EXPECT_TRUE(execute(b, "1 (>K:PARKING_BRAKES) 42", r));
    EXPECT_EQ(r.f, 42.0);
    EXPECT_STREQ(r.s, "42");
    EXPECT_EQ(b.local("Inner"), 2.0);
    EXPECT_EQ(b.host.keys.size(), 3u);
}

// ---------------------------------------------------------------------------
// Simulator variable registry.
// ---------------------------------------------------------------------------

TEST(SimVars, Registry)
{
    const auto& vars = host::all_sim_vars();
    std::set<std::string> names;
    for (size_t k = 0; k < vars.size(); ++k) {
        EXPECT_EQ(vars[k].index, static_cast<int>(k));
        EXPECT_TRUE(names.insert(vars[k].name).second) << "duplicate " << vars[k].name;
        EXPECT_EQ(host::find_sim_var(vars[k].name), &vars[k]);
    }
    const char* required[] = {
        "PLANE ALTITUDE", "PLANE LATITUDE", "PLANE LONGITUDE", "PLANE HEADING DEGREES TRUE",
        "PLANE HEADING DEGREES MAGNETIC", "PLANE PITCH DEGREES", "PLANE BANK DEGREES", "MAGVAR",
        "BRAKE INDICATOR", "BRAKE PARKING INDICATOR", "ENG1 N1 RPM", "GENERAL ENG1 THROTTLE LEVER POSITION",
        "AMBIENT WIND Z", "GROUND VELOCITY", "SURFACE RELATIVE GROUND SPEED", "AIRSPEED TRUE", "VERTICAL SPEED",
        "VELOCITY BODY X", "VELOCITY BODY Y", "VELOCITY BODY Z", "ROTATION VELOCITY BODY Y", "SIM ON GROUND",
        "CABLE CAUGHT BY TAILHOOK", "TAILHOOK POSITION", "TITLE", "BLAST SHIELD POSITION:1",
        "BLAST SHIELD POSITION:2", "BLAST SHIELD POSITION:3", "BLAST SHIELD POSITION:4", "ENGINE TYPE",
        "STATIC CG TO GROUND", "INCIDENCE ALPHA", "GEAR RIGHT POSITION", "IS GEAR RETRACTABLE", "TOTAL WEIGHT",
        "MAX GROSS WEIGHT", "DESIGN SPEED VS0", "LAUNCHBAR POSITION", "HOLDBACK BAR INSTALLED",
        "NAV ACTIVE FREQUENCY:1", "NAV ACTIVE FREQUENCY:2", "NAV DME:1", "NAV DME:2", "NAV HAS DME:1",
        "NAV HAS DME:2", "NAV HAS NAV:1", "NAV HAS NAV:2", "NAV RELATIVE BEARING TO STATION:1",
        "NAV RELATIVE BEARING TO STATION:2", "FUEL TANK LEFT MAIN LEVEL", "FUEL TANK RIGHT MAIN LEVEL",
        "FUEL TANK LEFT AUX LEVEL", "FUEL TANK RIGHT AUX LEVEL", "FUEL TANK CENTER LEVEL",
        "FUEL TANK CENTER2 LEVEL", "FUEL TANK CENTER3 LEVEL", "FUEL TANK LEFT TIP LEVEL",
        "FUEL TANK RIGHT TIP LEVEL", "FUEL TANK EXTERNAL1 LEVEL", "FUEL TANK EXTERNAL2 LEVEL",
    };
    for (const char* name : required) EXPECT_NE(host::find_sim_var(name), nullptr) << name;

    struct Row {
        const char* name;
        const char* canonical;
        Dimension dimension;
        double defaultValue;
    };
    const Row rows[] = {
        {"Plane Altitude", "PLANE ALTITUDE", Dimension::Length, 0},
        {"  plane latitude ", "PLANE LATITUDE", Dimension::Angle, 0},
        {"Nav1 Active Frequency", "NAV ACTIVE FREQUENCY:1", Dimension::Frequency, 110.5},
        {"NAV2 ACTIVE FREQUENCY", "NAV ACTIVE FREQUENCY:2", Dimension::Frequency, 113.9},
        {"nav dme : 2", "NAV DME:2", Dimension::Length, 0},
        {"GEAR RIGHT POSITION", "GEAR RIGHT POSITION", Dimension::Percent, 100},
        {"IS GEAR RETRACTABLE", "IS GEAR RETRACTABLE", Dimension::Number, 1},
        {"ENGINE TYPE", "ENGINE TYPE", Dimension::Number, 1},
        {"title", "TITLE", Dimension::Text, 0},
        {"ROTATION VELOCITY BODY Y", "ROTATION VELOCITY BODY Y", Dimension::Speed, 0},
        {"TOTAL WEIGHT", "TOTAL WEIGHT", Dimension::Mass, 15000},
        {"DESIGN SPEED VS0", "DESIGN SPEED VS0", Dimension::Speed, 120 * KNOT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const host::SimVarInfo* var = host::find_sim_var(row.name);
        ASSERT_NE(var, nullptr);
        EXPECT_EQ(var->name, row.canonical);
        EXPECT_EQ(var->dimension, row.dimension);
        EXPECT_NEAR(var->default_value, row.defaultValue, 1e-12);
    }
    for (const char* unknown : {"", "NAV DME", "NAV DME:3", "NAV3 ACTIVE FREQUENCY", "PLANE ALTITUDES"}) {
        EXPECT_EQ(host::find_sim_var(unknown), nullptr) << unknown;
    }
}

}  // namespace

// Checks of a scenario against the module's gauge table, its own run length
// and its own world.
#include "host/scenario/scenario_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "host/bench/config_lint.h"
#include "host/record/printf_text.h"
#include "host/world/environment.h"
#include "host/world/flown_aircraft.h"

namespace host {
namespace {

std::string seconds(double t)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g s", t);
    return buffer;
}

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What the scenario's actions add, and where.
struct Added {
    std::set<std::string> world_titles, world_refs, world_decks;  // added in <world>, before the run
    std::set<std::string> any_titles, any_refs, any_decks;        // added anywhere (decks: boats given a deck model)
};

void note_added(const ScenarioAction& action, std::set<std::string>& titles, std::set<std::string>& refs,
                std::set<std::string>& decks)
{
    if (!action.world.adds_title.empty()) titles.insert(action.world.adds_title);
    if (!action.world.adds_ref.empty()) refs.insert(action.world.adds_ref);
    if (!action.world.adds_deck_model.empty()) decks.insert(action.world.adds_deck_model);
}

Added collect_added(const Scenario& scenario)
{
    Added added;
    for (const ScenarioAction& action : scenario.setup)
        note_added(action, added.world_titles, added.world_refs, added.world_decks);
    added.any_titles = added.world_titles;
    added.any_refs = added.world_refs;
    added.any_decks = added.world_decks;
    for (const ScenarioEvent& event : scenario.events)
        for (const ScenarioAction& action : event.actions)
            note_added(action, added.any_titles, added.any_refs, added.any_decks);
    return added;
}

// An action's needs against the boats added so far (`titles`, `refs`).
void check_needs(const ScenarioAction& action, const std::set<std::string>& titles, const std::set<std::string>& refs,
                 const std::set<std::string>& decks, const std::vector<std::string>& fixed_sites, const char* when,
                 std::vector<ScenarioProblem>& out)
{
    const std::string& deck = action.world.needs_deck_model;
    if (!deck.empty() && titles.count(deck) && !decks.count(deck))
        out.push_back({action.line, action.description + ": the boat \"" + deck + "\" gets no <deck_model> " + when +
                                        ", so this action fails"});
    for (const std::string& title : action.world.needs_titles)
        if (!titles.count(title))
            out.push_back({action.line, action.description + ": no boat titled \"" + title + "\" is added " + when +
                                            ", so this action fails"});
    for (const std::string& ref : action.world.needs_refs)
        if (!refs.count(ref))
            out.push_back({action.line, action.description + ": no boat with ref \"" + ref + "\" is added " + when +
                                            ", so this action fails"});
    const std::string& place = action.world.needs_place;
    if (!place.empty() && !titles.count(place) && !contains(fixed_sites, place))
        out.push_back({action.line, action.description + ": relative_to \"" + place + "\" is no boat added " + when +
                                        " and no fixed site of the carrier list, so this action fails"});
}

constexpr double DEG = M_PI / 180.0;
constexpr double TURNING_RAD_S = 0.05 * DEG;  // a yaw rate below this is a ship on its heading

// One flown approach of a rehearsal, as the ship turned under it.
struct ApproachWatch {
    int number = 0;             // of the approaches flown in the rehearsal
    int flight_line = 0;        // the action that began it
    int turn_line = 0;          // the action that set the ship turning
    double turned = 0.0;        // the ship's heading change while it was flown, rad
    double fastest = 0.0;       // the ship's largest yaw rate, rad/s
    double limit = 0.0;         // the aircraft's turn rate at its bank limit, rad/s
    double speed_mps = 0.0;     // at the approach speed
    double last_turn_m = NAN;   // range from the touchdown point when the ship last turned
    double worst_deg = 0.0;     // line-up from the groove start to the ramp
};

void report(const ApproachWatch& w, std::vector<ScenarioProblem>& out)
{
    const int line = w.turn_line ? w.turn_line : w.flight_line;
    const std::string approach = "the flown approach of line " + std::to_string(w.flight_line);
    if (w.fastest > w.limit) {
        out.push_back({line, "the ship turns at " + printf_text("%.1f", w.fastest / DEG) + " deg/s during " + approach +
                                 ", faster than the autopilot can turn the aircraft after its landing line (" +
                                 printf_text("%.1f", w.limit / DEG) + " deg/s at the bank limit and " +
                                 printf_text("%.0f", w.speed_mps * 3600.0 / 1852.0) + " kt)", true});
    } else if (std::fabs(w.turned) >= 0.5 * DEG && w.worst_deg > FOLLOWED_LINE_UP_DEG) {
        out.push_back({line, "the ship turns " + printf_text("%.0f", std::fabs(w.turned) / DEG) + " deg during " + approach +
                                 ", the last of it " + printf_text("%.2f", w.last_turn_m / 1852.0) +
                                 " nm from the touchdown point: too large a turn too close in for the autopilot to "
                                 "follow (" + printf_text("%.1f", w.worst_deg) + " deg off the landing line in the groove; it "
                                 "follows within " + printf_text("%.0f", FOLLOWED_LINE_UP_DEG) + ")", true});
    }
}

}  // namespace

std::vector<ScenarioProblem> check_turns_followed(const Scenario& scenario)
{
    std::vector<ScenarioProblem> warnings;
    Rehearsal rehearsal;
    World& world = rehearsal.world;
    FlownAircraft& flown = FlownAircraft::of(world);
    Environment::of(world);

    std::optional<ApproachWatch> watch;
    int approaches = 0, last_flight_line = 0, last_other_line = 0;
    auto apply = [&](const std::vector<ScenarioAction>& actions) {
        for (const ScenarioAction& action : actions) {
            if (!action.world.rehearse) continue;
            action.world.rehearse(rehearsal);
            ApproachTruth truth;
            const int begun = flown.approach_truth(world, &truth) ? truth.approaches : 0;
            if (begun != approaches) {
                approaches = begun;
                last_flight_line = action.line;
            } else {
                last_other_line = action.line;
            }
        }
    };
    auto close = [&] {
        if (watch) report(*watch, warnings);
        watch.reset();
    };

    apply(scenario.setup);
    // Only the timed events: a condition is the module's or the panel's, which a rehearsal has not.
    std::vector<bool> fired(scenario.events.size(), false);
    const int64_t last_frame = last_frame_of(scenario);
    const double dt = 1.0 / scenario.frame_rate;
    double yaw_before = 0.0;
    for (int64_t frame = 1; frame <= last_frame; ++frame) {
        const double t = static_cast<double>(frame) / scenario.frame_rate;
        for (size_t i = 0; i < scenario.events.size(); ++i) {
            const ScenarioEvent& event = scenario.events[i];
            if (fired[i] || !event.time || event.condition || *event.time > t + 1e-9) continue;
            fired[i] = true;
            apply(event.actions);
        }
        world.advance(dt);

        ApproachTruth truth;
        if (!flown.approach_truth(world, &truth) || truth.ashore || truth.phase != FlightPhase::Approach) {
            close();
            yaw_before = 0.0;
            continue;
        }
        if (watch && truth.approaches != watch->number) close();
        if (!watch) {
            watch = ApproachWatch{};
            watch->number = truth.approaches;
            watch->flight_line = last_flight_line;
            watch->speed_mps = flown.plan().speed_mps;
            watch->limit = max_turn_rate(flown.params(), watch->speed_mps);
        }
        ApproachWatch& w = *watch;
        const double yaw = truth.ship.yaw_rate;
        const bool turning = std::fabs(yaw) >= TURNING_RAD_S;
        if (turning && (std::fabs(yaw_before) < TURNING_RAD_S || !w.turn_line))
            w.turn_line = last_other_line ? last_other_line : last_flight_line;
        yaw_before = yaw;
        const double range = truth.deck->touchdown_m - truth.s_m;
        if (turning) {
            w.turned += yaw * dt;
            w.last_turn_m = range;
        }
        w.fastest = std::max(w.fastest, std::fabs(yaw));
        if (truth.s_m >= -GROOVE_START_M) {
            const double to_far_end = std::max(truth.deck->landing_length_m - truth.s_m, 1.0);
            w.worst_deg = std::max(w.worst_deg, std::atan2(std::fabs(truth.c_m), to_far_end) / DEG);
        }
    }
    close();
    return warnings;
}

std::vector<ScenarioProblem> check_scenario(const Scenario& scenario, const std::vector<std::string>& gauge_names,
                                            const std::vector<std::string>& fixed_sites)
{
    std::vector<ScenarioProblem> problems;
    for (const PanelPlacement& p : scenario.panel) {
        if (contains(gauge_names, p.gauge)) continue;
        const std::string near = nearest_name(p.gauge, gauge_names);
        std::string message = "the module has no gauge named \"" + p.gauge + "\"";
        message += near.empty() ? " (its gauges: " : " (did you mean " + near + "? its gauges: ";
        for (size_t i = 0; i < gauge_names.size(); ++i) message += (i ? ", " : "") + gauge_names[i];
        problems.push_back({p.line, message + ")"});
    }

    const int64_t last_frame = last_frame_of(scenario);
    const double last_time = static_cast<double>(last_frame) / scenario.frame_rate;
    for (const ScenarioEvent& event : scenario.events) {
        if (!event.time || *event.time <= last_time + 1e-9) continue;
        if (event.frame)
            problems.push_back({event.line, "event \"" + event.name + "\" at frame " + std::to_string(std::llround(*event.frame)) +
                                                " never fires: the last frame is " + std::to_string(last_frame)});
        else
            problems.push_back({event.line, "event \"" + event.name + "\" at " + seconds(*event.time) +
                                                " never fires: the run ends at " + seconds(last_time)});
    }

    const Added added = collect_added(scenario);
    // <world> runs in order before anything else; events may run in any order.
    std::set<std::string> titles, refs, decks;
    for (const ScenarioAction& action : scenario.setup) {
        check_needs(action, titles, refs, decks, fixed_sites, "before it in <world>", problems);
        note_added(action, titles, refs, decks);
    }
    for (const ScenarioEvent& event : scenario.events)
        for (const ScenarioAction& action : event.actions)
            check_needs(action, added.any_titles, added.any_refs, added.any_decks, fixed_sites,
                        "anywhere in the scenario", problems);

    for (ScenarioProblem& warning : check_turns_followed(scenario)) problems.push_back(std::move(warning));

    std::stable_sort(problems.begin(), problems.end(),
                     [](const ScenarioProblem& a, const ScenarioProblem& b) { return a.line < b.line; });
    return problems;
}

std::vector<std::string> module_gauge_names(const std::string& module_path, std::string* error)
{
    HostOptions options;
    options.module_path = module_path;
    options.private_copy = true;  // fresh statics: nothing of this load leaks into a later one
    options.echo_stderr = false;
    Host host(options);
    std::vector<std::string> names;
    if (!host.load(error)) return names;
    for (GAUGEHDR* const* g = host.linkage()->gauge_header_ptrs; g && *g; ++g)
        if ((*g)->gauge_name) names.emplace_back((*g)->gauge_name);
    return names;
}

}  // namespace host

// Checks of a scenario against the module's gauge table, its own run length
// and its own world.
#include "host/scenario/scenario_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "host/bench/config_lint.h"

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

}  // namespace

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

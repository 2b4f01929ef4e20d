// Why a run went quiet. Index: [inputs] [reasons]
#include "host/bench/run_reasons.h"
#include "host/record/json_fields.h"

#include "host/host.h"
#include "host/record/printf_text.h"
#include "host/scenario/expectations.h"
#include "host/world/sim_vars.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

#include "config/xml_file.h"

namespace host {
namespace {


// [inputs] -----------------------------------------------------------------------
struct ListEntry {
    double mhz = 0.0;
    std::string name, sim_name;
    int type = 1;
};

std::vector<ListEntry> read_carrier_list(const std::string& sim_root)
{
    std::vector<ListEntry> out;
    const std::string path = sim_root + "/Gauges/ZEB_Carrier.xml";
    TiXmlDocument doc(path.c_str());
    if (!load_xml_file(doc) || !doc.RootElement()) return out;
    for (const TiXmlElement* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* frequency = e->Attribute("Frequency");
        if (!frequency) continue;
        ListEntry entry;
        entry.mhz = std::atof(frequency);
        entry.name = e->Attribute("Name") ? e->Attribute("Name") : "";
        entry.sim_name = e->Attribute("Sim_Name") ? e->Attribute("Sim_Name") : "";
        entry.type = e->Attribute("CarrierType") ? std::atoi(e->Attribute("CarrierType")) : 1;
        out.push_back(std::move(entry));
    }
    return out;
}

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

constexpr double SEARCH_KM = 200.0;  // the module looks for its ship among the boats within this range

// Why a ship entry found no boat: the titles seen, a case-only difference named.
std::string missing_ship(const ListEntry& entry, const std::vector<BoatSeen>& boats)
{
    std::string line = printf_text("%.2f MHz: %s: no boat titled \"%s\" within 200 km", entry.mhz, entry.name.c_str(),
                                   entry.sim_name.c_str());
    for (const BoatSeen& b : boats)
        if (lower(b.title) == lower(entry.sim_name) && b.distance_km <= SEARCH_KM)
            return line + "; \"" + b.title + "\" differs only in case (Sim_Name is exact)";
    if (boats.empty()) return line + "; the world has no boats";
    line += "; nearest:";
    for (size_t i = 0; i < boats.size() && i < 3; ++i)
        line += printf_text("%s \"%s\" (%.0f km)", i ? "," : "", boats[i].title.c_str(), boats[i].distance_km);
    return line;
}

}  // namespace

std::vector<BoatSeen> boats_seen(Host& host)
{
    std::vector<BoatSeen> out;
    const SimVarInfo& lat = *find_sim_var("PLANE LATITUDE");
    const SimVarInfo& lon = *find_sim_var("PLANE LONGITUDE");
    const SimObject& user = host.world().user();
    const double lat0 = World::get(user, lat), lon0 = World::get(user, lon);
    for (const auto& [id, object] : host.world().objects()) {
        if (object.kind != ObjectKind::Boat) continue;
        const double lat1 = World::get(object, lat), lon1 = World::get(object, lon);
        const double c = std::sin(lat0) * std::sin(lat1) + std::cos(lat0) * std::cos(lat1) * std::cos(lon1 - lon0);
        out.push_back({object.title, 6371.0 * std::acos(std::clamp(c, -1.0, 1.0))});
    }
    std::sort(out.begin(), out.end(), [](const BoatSeen& a, const BoatSeen& b) { return a.distance_km < b.distance_km; });
    return out;
}

// [reasons] ----------------------------------------------------------------------
std::vector<StoryLine> run_reasons(const Timeline& timeline, const std::string& sim_root,
                                   const std::vector<BoatSeen>& boats, double end_time)
{
    std::vector<StoryLine> out;
    const std::vector<ListEntry> list = read_carrier_list(sim_root);
    const std::vector<CallFile> calls = read_call_files(sim_root);

    struct Tuning {
        double t, mhz;
    };
    std::vector<Tuning> tunings;
    std::vector<double> tuned_texts;   // times of the module's "TACAN tuned on" texts
    std::vector<double> locked_texts;  // ... of those that say it locked on
    std::map<std::string, std::string> failed_loads;  // sound file -> why it did not load
    std::set<std::string> told_silent;
    struct Refusal {
        double t = 0.0;
        int count = 0;
        std::string error;
    };
    std::map<std::string, Refusal> refused;  // AI object title -> its refusals
    std::vector<std::string> refused_order;
    bool verdict_told = false;

    for (const TimelineEvent& e : timeline.events()) {
        const auto& d = e.data;
        if (e.kind == "key") {
            const std::string name = text_of(d, "name");
            if (name != "NAV1_RADIO_SET" && name != "NAV2_RADIO_SET") continue;
            const double mhz = bcd_mhz(number_of(d, "value", -1.0));
            // Successive sets within half a second (knob clicks) are one tuning: the last.
            if (!std::isfinite(mhz)) continue;
            if (tunings.empty() || e.t - tunings.back().t > 0.5) tunings.push_back({e.t, mhz});
            else tunings.back() = {e.t, mhz};
        } else if (e.kind == "text") {
            const std::string text = text_of(d, "text");
            if (text.rfind("TACAN tuned on ", 0) == 0) tuned_texts.push_back(e.t);
            if (text.rfind("TACAN tuned on ", 0) == 0 && text.find("-Lock on-") != std::string::npos) locked_texts.push_back(e.t);
            for (const CallFile& call : calls) {
                if (call.message.empty() || text != call.message) continue;
                auto failed = failed_loads.find(call.path);
                if (failed == failed_loads.end() || !told_silent.insert(call.name).second) continue;
                out.push_back({e.t, "silent: " + call.name + " \"" + text + "\" shown, its sound " + call.path +
                                        " did not load: " + failed->second});
            }
        } else if (e.kind == "sound") {
            if (number_of(d, "ordinal", 0.0) != 30) continue;
            const std::string path = text_of(d, "path");
            if (number_of(d, "result", 0.0) <= 0) failed_loads[path] = d.contains("reason") ? text_of(d, "reason") : "refused";
            else failed_loads.erase(path);
        } else if (e.kind == "simconnect") {
            if (text_of(d, "call") != "SimConnect_AICreateSimulatedObject" || number_of(d, "result", 0.0) == 0.0) continue;
            const auto args = d.find("args");
            const std::string title = args != d.end() && args->is_object() ? text_of(*args, "title") : "";
            Refusal& r = refused[title];
            if (r.count++ == 0) {
                r.t = e.t;
                r.error = text_of(d, "error");
                refused_order.push_back(title);
            }
        } else if (e.kind == "flight" && !verdict_told) {
            const std::string what = text_of(d, "what");
            if (what == "in the sea" || what == "off the runway" || what == "the ship is gone") {
                out.push_back({e.t, "verdict: the aircraft ended " + what + "; the run is not a clean one"});
                verdict_told = true;
            }
        }
    }

    // A tuning that locked on to nothing within two seconds: why.
    for (const Tuning& tuning : tunings) {
        const bool locked = std::any_of(locked_texts.begin(), locked_texts.end(),
                                        [&](double t) { return t >= tuning.t - 1e-9 && t <= tuning.t + 2.0; });
        if (locked) continue;
        const ListEntry* entry = nullptr;
        for (const ListEntry& l : list)
            if (static_cast<float>(l.mhz) == static_cast<float>(tuning.mhz)) entry = entry ? entry : &l;
        if (!entry)
            out.push_back({tuning.t, printf_text("%.2f MHz: no entry in the carrier list", tuning.mhz), true});
        else if (entry->type == 1 && !std::any_of(boats.begin(), boats.end(), [&](const BoatSeen& b) {
                     return b.title == entry->sim_name && b.distance_km <= SEARCH_KM;
                 }))
            out.push_back({tuning.t, missing_ship(*entry, boats), true});
    }
    for (const std::string& title : refused_order) {
        const Refusal& r = refused[title];
        out.push_back({r.t, printf_text("AI object \"%s\" refused (%s: not installed), retried %d time%s", title.c_str(),
                                        r.error.empty() ? "creation refused" : r.error.c_str(), r.count - 1,
                                        r.count - 1 == 1 ? "" : "s")});
    }
    if (tunings.empty() && tuned_texts.empty())
        out.push_back({end_time, "the radio was never tuned: no carrier was selected, no approach was judged", true});
    return out;
}

}  // namespace host

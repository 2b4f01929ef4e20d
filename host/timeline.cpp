// Timeline recording and its JSON Lines form.
#include "host/timeline.h"

#include <fstream>

namespace host {

void Timeline::add(std::string kind, nlohmann::json data)
{
    events_.push_back(TimelineEvent{t_, frame_, std::move(kind), std::move(data)});
}

std::vector<const TimelineEvent*> Timeline::of_kind(const std::string& kind) const
{
    std::vector<const TimelineEvent*> out;
    for (const TimelineEvent& e : events_)
        if (e.kind == kind) out.push_back(&e);
    return out;
}

std::string Timeline::to_json_line(const TimelineEvent& event)
{
    nlohmann::ordered_json line;
    line["t"] = event.t;
    line["frame"] = event.frame;
    line["kind"] = event.kind;
    if (event.data.is_object())
        for (auto it = event.data.begin(); it != event.data.end(); ++it) line[it.key()] = it.value();
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool Timeline::write_jsonl(const std::string& path, std::string* error) const
{
    std::ofstream out(path);
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    for (const TimelineEvent& e : events_) out << to_json_line(e) << '\n';
    out.flush();
    if (!out) {
        if (error) *error = "error while writing " + path;
        return false;
    }
    return true;
}

}  // namespace host

// The record of everything the module does to the outside world during a
// run, stamped with simulation time and frame. Written as JSON Lines: one
// object per event with the fields "t" (seconds), "frame", "kind" and the
// kind's own fields (see docs/timeline.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace host {

struct TimelineEvent {
    double t = 0.0;      // simulation time, seconds
    int64_t frame = 0;   // frame number, 0 before the first frame
    std::string kind;    // "lvar", "key", "named", "stderr", "simconnect", "text", ...
    nlohmann::json data; // the kind's fields
};

class Timeline {
public:
    void set_clock(double t, int64_t frame)
    {
        t_ = t;
        frame_ = frame;
    }
    double time() const { return t_; }
    int64_t frame() const { return frame_; }

    void add(std::string kind, nlohmann::json data);
    const std::vector<TimelineEvent>& events() const { return events_; }

    // Events of one kind, in order.
    std::vector<const TimelineEvent*> of_kind(const std::string& kind) const;

    // One JSON object per line; false with `error` when the file cannot be written.
    bool write_jsonl(const std::string& path, std::string* error) const;
    static std::string to_json_line(const TimelineEvent& event);

private:
    std::vector<TimelineEvent> events_;
    double t_ = 0.0;
    int64_t frame_ = 0;
};

}  // namespace host

// The record of everything the module does to the outside world during a
// run, stamped with simulation time and frame. Written as JSON Lines: one
// object per event with the fields "t" (seconds), "frame", "kind" and the
// kind's own fields (see docs/timeline.md).
//
// Each event is formatted once, as it happens, into a reused buffer, and goes
// to one of two sinks:
//   - a file (open_file): lines are written through a buffered writer and
//     nothing is kept, so memory does not grow with the length of the run;
//   - memory (the default, for tests): lines are kept and parsed back into
//     TimelineEvent records when events() or of_kind() is asked for.
// Either way the timeline counts events by kind, and hands the events of
// watched kinds (watch) to a callback as they happen: that is how the
// bench's summary is kept without keeping the timeline.
//
// Two ways to record:
//   add(kind, json)          any fields, as a JSON object (fields in key order);
//   event(kind).str(..).num(..)   the fast way, for per-frame paths: writes
//                            the fields in the order given (keep them in key
//                            order too, so that both ways give the same lines)
//                            and allocates nothing once the buffers have grown.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace host {

struct TimelineEvent {
    double t = 0.0;      // simulation time, seconds
    int64_t frame = 0;   // frame number, 0 before the first frame
    std::string kind;    // "lvar", "key", "named", "stderr", "simconnect", "text", ...
    nlohmann::json data; // the kind's fields
};

// JSON text pieces the timeline's lines are made of (also for callers that
// format a field value themselves). Strings are escaped as JSON requires;
// bytes that are not UTF-8 become U+FFFD. Numbers: shortest form that reads
// back the same, a ".0" on integral doubles, null for NaN and infinities.
void append_json_string(std::string& out, std::string_view text);
// `text` with every byte that is not part of a UTF-8 character replaced by
// U+FFFD, as the timeline writes it (for renderers that refuse such bytes).
std::string valid_utf8(std::string_view text);
void append_json_number(std::string& out, double value);
void append_json_integer(std::string& out, int64_t value);
void append_json_unsigned(std::string& out, uint64_t value);

class Timeline {
public:
    class Line;

    Timeline() = default;
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    void set_clock(double t, int64_t frame)
    {
        t_ = t;
        frame_ = frame;
    }
    double time() const { return t_; }
    int64_t frame() const { return frame_; }

    // From now on, streams every event to `path` (truncated) and keeps none in
    // memory. False with `error` when the file cannot be opened.
    bool open_file(const std::string& path, std::string* error);
    // Writes out what is buffered and closes the file; false with `error` when
    // any write failed. Called by the destructor too (errors then go unseen).
    bool close(std::string* error);
    bool streaming() const { return file_ != nullptr; }

    // An event with the fields of the JSON object `data`.
    void add(std::string_view kind, const nlohmann::json& data);
    // An event written field by field (see Line); finished when the Line goes.
    Line event(std::string_view kind);

    // Every event recorded so far (memory sink only; empty when streaming).
    const std::vector<TimelineEvent>& events() const;
    // Events of one kind, in order (memory sink only).
    std::vector<const TimelineEvent*> of_kind(const std::string& kind) const;

    // Events recorded, in all and of one kind, and bytes of JSON Lines made.
    uint64_t event_count() const { return event_count_; }
    uint64_t count(std::string_view kind) const;
    uint64_t bytes() const { return bytes_; }
    // (kind, count) of every kind recorded, in the order first seen.
    std::vector<std::pair<std::string, uint64_t>> counts() const;

    // Calls `handler` with every later event of `kind`, parsed, as it is
    // recorded. For kinds that are rare; a parse costs far more than a line.
    void watch(std::string_view kind, std::function<void(const TimelineEvent&)> handler);

    // Hands every later line that `keep(kind, line)` accepts to `other` (a
    // memory sink) too: a small in-memory timeline of the events a reader
    // needs while this one streams to its file. Null: no copies.
    using CopyFilter = std::function<bool(std::string_view kind, std::string_view line)>;
    void copy_to(Timeline* other, CopyFilter keep)
    {
        copy_ = other;
        copy_keep_ = std::move(keep);
    }
    // Adds a finished line (one JSON object of the timeline's form, no newline).
    void add_line(std::string_view kind, std::string_view line);

    // Memory sink: one JSON object per line; false with `error` when the file
    // cannot be written.
    bool write_jsonl(const std::string& path, std::string* error) const;
    static std::string to_json_line(const TimelineEvent& event);

    // One event being written: fields in the order of the calls. Nested
    // objects and arrays: begin_object/begin_array ... end(); keys are omitted
    // inside arrays.
    class Line {
    public:
        ~Line() { timeline_.finish_line(start_, slot_); }
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;

        Line& str(std::string_view key, std::string_view value)
        {
            this->key(key);
            append_json_string(out(), value);
            return *this;
        }
        Line& num(std::string_view key, double value)
        {
            this->key(key);
            append_json_number(out(), value);
            return *this;
        }
        Line& integer(std::string_view key, int64_t value)
        {
            this->key(key);
            append_json_integer(out(), value);
            return *this;
        }
        Line& uinteger(std::string_view key, uint64_t value)
        {
            this->key(key);
            append_json_unsigned(out(), value);
            return *this;
        }
        Line& boolean(std::string_view key, bool value)
        {
            this->key(key);
            out() += value ? "true" : "false";
            return *this;
        }
        // A value already in JSON form.
        Line& raw(std::string_view key, std::string_view json_text)
        {
            this->key(key);
            out() += json_text;
            return *this;
        }
        Line& null(std::string_view key)
        {
            this->key(key);
            out() += "null";
            return *this;
        }
        Line& json(std::string_view key, const nlohmann::json& value);
        Line& begin_object(std::string_view key)
        {
            this->key(key);
            open('{');
            return *this;
        }
        Line& begin_array(std::string_view key)
        {
            this->key(key);
            open('[');
            return *this;
        }
        Line& end()
        {
            if (depth_ > 0) out() += closers_[--depth_];
            first_ = false;
            return *this;
        }

    private:
        friend class Timeline;
        Line(Timeline& timeline, size_t start, int slot) : timeline_(timeline), start_(start), slot_(slot) {}
        std::string& out() { return timeline_.buffer_; }
        // Keys of the fast calls are names from code: written as they are
        // (plain ASCII, nothing to escape). Line::json escapes its keys.
        void key(std::string_view key)
        {
            std::string& o = out();
            const bool comma = !first_;
            first_ = false;
            if (depth_ > 0 && closers_[depth_ - 1] == ']') {
                if (comma) o += ',';
                return;
            }
            char text[64];
            if (key.size() + 4 > sizeof text) {
                if (comma) o += ',';
                append_json_string(o, key);
                o += ':';
                return;
            }
            size_t n = 0;
            if (comma) text[n++] = ',';
            text[n++] = '"';
            std::memcpy(text + n, key.data(), key.size());
            n += key.size();
            text[n++] = '"';
            text[n++] = ':';
            o.append(text, n);
        }
        void escaped_key(std::string_view key)
        {
            std::string& o = out();
            if (!first_) o += ',';
            first_ = false;
            if (depth_ == 0 || closers_[depth_ - 1] == '}') {
                append_json_string(o, key);
                o += ':';
            }
        }
        void open(char c)
        {
            out() += c;
            if (depth_ < sizeof closers_) closers_[depth_++] = c == '{' ? '}' : ']';
            first_ = true;
        }

        Timeline& timeline_;
        size_t start_;   // where the line begins in the buffer
        int slot_;       // the kind's counter
        bool first_ = false;  // no field written yet at this level ("t" opens the line)
        unsigned depth_ = 0;
        char closers_[8] = {};
    };

private:
    struct KindEntry {
        std::string name;
        std::string quoted;  // the name as a JSON string
        uint64_t count = 0;
        std::function<void(const TimelineEvent&)> watcher;
    };

    int slot_of(std::string_view kind);
    void finish_line(size_t start, int slot);
    void flush_file();
    void parse_pending() const;
    static TimelineEvent parse_line(std::string_view line);

    double t_ = 0.0;
    int64_t frame_ = 0;
    std::string prefix_;  // the start of a line at (prefix_t_, prefix_frame_), up to the kind
    double prefix_t_ = 0.0;
    int64_t prefix_frame_ = 0;

    std::vector<KindEntry> kinds_;
    int last_slot_ = -1;  // the kind looked up last (runs of one kind are common)
    uint64_t event_count_ = 0;
    uint64_t bytes_ = 0;

    // Lines being written: the file's buffer, or all lines of the memory sink.
    std::string buffer_;
    std::FILE* file_ = nullptr;
    std::string path_;
    bool write_failed_ = false;

    Timeline* copy_ = nullptr;
    CopyFilter copy_keep_;

    // Memory sink: events parsed from buffer_ up to parsed_bytes_.
    mutable std::vector<TimelineEvent> events_;
    mutable size_t parsed_bytes_ = 0;
};

}  // namespace host

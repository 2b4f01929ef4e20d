// Timeline recording: JSON Lines formatting, the file and memory sinks.
#include "host/record/timeline.h"

#include "host/record/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>

namespace host {
namespace {

constexpr size_t FILE_BUFFER_BYTES = 1 << 20;  // written out when a line takes the buffer past this

// Length of the UTF-8 sequence at `s` (of `n` bytes), 0 when it is not one.
size_t utf8_length(const unsigned char* s, size_t n)
{
    const unsigned char c = s[0];
    size_t len;
    uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (n < len) return 0;
    uint32_t cp = c & (0x7F >> len);
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

void append_json_string(std::string& out, std::string_view text)
{
    static const char hexdigits[] = "0123456789abcdef";
    out += '"';
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t plain = 0;  // start of the run of bytes copied as they are
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            if (const size_t len = utf8_length(s + i, n - i)) {
                i += len;
                continue;
            }
        }
        out.append(text.data() + plain, i - plain);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                const char escaped[] = {'\\', 'u', '0', '0', hexdigits[c >> 4], hexdigits[c & 0xF]};
                out.append(escaped, sizeof escaped);
            } else {
                out += "\xEF\xBF\xBD";  // not UTF-8: the replacement character
            }
        }
        plain = ++i;
    }
    out.append(text.data() + plain, n - plain);
    out += '"';
}

std::string valid_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        if (s[i] < 0x80) {
            out += text[i++];
        } else if (const size_t len = utf8_length(s + i, text.size() - i)) {
            out.append(text.data() + i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

void append_json_number(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    // The shortest round-trip digits in nlohmann's layout, as its dump() writes numbers.
    char buffer[NUMBER_TEXT_MAX];
    const char* end = format_json(buffer, value);
    out.append(buffer, static_cast<size_t>(end - buffer));
}

void append_json_integer(std::string& out, int64_t value)
{
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<size_t>(r.ptr - buffer));
}

void append_json_unsigned(std::string& out, uint64_t value)
{
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<size_t>(r.ptr - buffer));
}

Timeline::~Timeline() { close(nullptr); }

bool Timeline::open_file(const std::string& path, std::string* error)
{
    close(nullptr);
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    // Lines recorded before the file was opened go to it first.
    file_ = file;
    path_ = path;
    write_failed_ = false;
    events_.clear();
    parsed_bytes_ = 0;
    buffer_.reserve(FILE_BUFFER_BYTES + 4096);
    flush_file();
    return true;
}

bool Timeline::close(std::string* error)
{
    if (!file_) return true;
    flush_file();
    if (std::fclose(file_) != 0) write_failed_ = true;
    file_ = nullptr;
    if (write_failed_) {
        if (error) *error = "error while writing " + path_;
        return false;
    }
    return true;
}

void Timeline::flush_file()
{
    if (!file_ || buffer_.empty()) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) write_failed_ = true;
    buffer_.clear();
}

int Timeline::slot_of(std::string_view kind)
{
    if (last_slot_ >= 0 && kinds_[last_slot_].name == kind) return last_slot_;
    for (size_t i = 0; i < kinds_.size(); ++i)
        if (kinds_[i].name == kind) return last_slot_ = static_cast<int>(i);
    std::string quoted;
    append_json_string(quoted, kind);
    kinds_.push_back(KindEntry{std::string(kind), std::move(quoted), 0, nullptr});
    return last_slot_ = static_cast<int>(kinds_.size()) - 1;
}

Timeline::Line Timeline::event(std::string_view kind)
{
    const int slot = slot_of(kind);
    if (prefix_t_ != t_ || prefix_frame_ != frame_ || prefix_.empty()) {
        // Every line of one clock reading starts alike.
        prefix_.assign("{\"t\":");
        append_json_number(prefix_, t_);
        prefix_ += ",\"frame\":";
        append_json_integer(prefix_, frame_);
        prefix_ += ",\"kind\":";
        prefix_t_ = t_;
        prefix_frame_ = frame_;
    }
    const size_t start = buffer_.size();
    buffer_ += prefix_;
    buffer_ += kinds_[slot].quoted;
    return Line(*this, start, slot);
}

void Timeline::finish_line(size_t start, int slot)
{
    buffer_ += "}\n";
    ++event_count_;
    bytes_ += buffer_.size() - start;
    KindEntry& entry = kinds_[slot];
    ++entry.count;
    if (entry.watcher) {
        const TimelineEvent parsed = parse_line(std::string_view(buffer_).substr(start));
        entry.watcher(parsed);
    }
    if (copy_) {
        const std::string_view line = std::string_view(buffer_).substr(start, buffer_.size() - start - 1);
        if (copy_keep_(entry.name, line)) copy_->add_line(entry.name, line);
    }
    if (file_ && buffer_.size() >= FILE_BUFFER_BYTES) flush_file();
}

void Timeline::add_line(std::string_view kind, std::string_view line)
{
    KindEntry& entry = kinds_[slot_of(kind)];
    ++entry.count;
    ++event_count_;
    bytes_ += line.size() + 1;
    buffer_.append(line);
    buffer_ += '\n';
    if (file_ && buffer_.size() >= FILE_BUFFER_BYTES) flush_file();
}

void Timeline::add(std::string_view kind, const nlohmann::json& data)
{
    Line line = event(kind);
    if (!data.is_object()) return;
    for (auto it = data.begin(); it != data.end(); ++it) line.json(it.key(), it.value());
}

Timeline::Line& Timeline::Line::json(std::string_view key, const nlohmann::json& value)
{
    escaped_key(key);
    switch (value.type()) {
    case nlohmann::json::value_t::string: append_json_string(out(), value.get_ref<const std::string&>()); break;
    case nlohmann::json::value_t::number_float: append_json_number(out(), value.get<double>()); break;
    case nlohmann::json::value_t::number_integer: append_json_integer(out(), value.get<int64_t>()); break;
    case nlohmann::json::value_t::number_unsigned: append_json_unsigned(out(), value.get<uint64_t>()); break;
    case nlohmann::json::value_t::object:
        open('{');
        for (auto it = value.begin(); it != value.end(); ++it) json(it.key(), it.value());
        end();
        break;
    case nlohmann::json::value_t::array:
        open('[');
        for (const auto& item : value) json({}, item);
        end();
        break;
    default: out() += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace); break;
    }
    return *this;
}

TimelineEvent Timeline::parse_line(std::string_view line)
{
    TimelineEvent event;
    nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (!object.is_object()) return event;
    event.t = object.value("t", 0.0);
    event.frame = object.value("frame", int64_t{0});
    event.kind = object.value("kind", "");
    object.erase("t");
    object.erase("frame");
    object.erase("kind");
    event.data = std::move(object);
    return event;
}

void Timeline::parse_pending() const
{
    if (file_) return;
    while (parsed_bytes_ < buffer_.size()) {
        const size_t end = buffer_.find('\n', parsed_bytes_);
        if (end == std::string::npos) break;
        events_.push_back(parse_line(std::string_view(buffer_).substr(parsed_bytes_, end - parsed_bytes_)));
        parsed_bytes_ = end + 1;
    }
}

const std::vector<TimelineEvent>& Timeline::events() const
{
    parse_pending();
    return events_;
}

std::vector<const TimelineEvent*> Timeline::of_kind(const std::string& kind) const
{
    std::vector<const TimelineEvent*> out;
    for (const TimelineEvent& e : events())
        if (e.kind == kind) out.push_back(&e);
    return out;
}

uint64_t Timeline::count(std::string_view kind) const
{
    for (const KindEntry& entry : kinds_)
        if (entry.name == kind) return entry.count;
    return 0;
}

std::vector<std::pair<std::string, uint64_t>> Timeline::counts() const
{
    std::vector<std::pair<std::string, uint64_t>> out;
    for (const KindEntry& entry : kinds_) out.emplace_back(entry.name, entry.count);
    return out;
}

void Timeline::watch(std::string_view kind, std::function<void(const TimelineEvent&)> handler)
{
    kinds_[slot_of(kind)].watcher = std::move(handler);
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
    if (!file_) out << buffer_;
    out.flush();
    if (!out) {
        if (error) *error = "error while writing " + path;
        return false;
    }
    return true;
}

}  // namespace host

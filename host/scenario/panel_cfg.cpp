// Reading panel.cfg.
#include "host/scenario/panel_cfg.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace host {
namespace {

std::string trim(const std::string& text)
{
    const size_t a = text.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return text.substr(a, text.find_last_not_of(" \t\r") - a + 1);
}

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A whole number of pixels, -100000 to 100000.
bool pixels(const std::string& text, int* out)
{
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < -100000 || value > 100000) return false;
    *out = static_cast<int>(value);
    return true;
}

}  // namespace

bool read_panel_cfg(const std::string& path, const std::string& window, std::vector<PanelCfgGauge>* gauges,
                    std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = path + ":1: cannot open the panel configuration";
        return false;
    }
    auto fail = [&](int line, const std::string& message) {
        *error = path + ":" + std::to_string(line) + ": " + message;
        return false;
    };
    std::string raw, section, sections;
    bool found = false;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        std::string text = trim(raw);
        if (text.empty() || text[0] == ';' || text.rfind("//", 0) == 0) continue;
        if (text[0] == '[') {
            const size_t close = text.find(']');
            if (close == std::string::npos) return fail(line, "a section name needs its closing ]: " + text);
            section = trim(text.substr(1, close - 1));
            sections += (sections.empty() ? "" : ", ") + section;
            found = found || lower(section) == lower(window);
            continue;
        }
        const size_t equals = text.find('=');
        if (equals == std::string::npos) return fail(line, "expected key=value, not \"" + text + "\"");
        if (section.empty()) return fail(line, "a line before the first [section]");
        if (lower(section) != lower(window)) continue;
        const std::string key = lower(trim(text.substr(0, equals)));
        if (key.rfind("gauge", 0) != 0) continue;  // size_mm, pixel_size, ... are the window's own
        const std::string suffix = key.substr(5);
        if (suffix.empty() || suffix.find_first_not_of("0123456789") != std::string::npos)
            return fail(line, "\"" + key + "\" is not gaugeNN");
        // module!Gauge, x, y[, w, h[, parameters]]
        std::vector<std::string> fields;
        const std::string value = text.substr(equals + 1);
        size_t start = 0;
        while (fields.size() < 5) {
            const size_t comma = value.find(',', start);
            fields.push_back(trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
            if (comma == std::string::npos) {
                start = std::string::npos;
                break;
            }
            start = comma + 1;
        }
        PanelCfgGauge g;
        g.key = key;
        g.line = line;
        if (start != std::string::npos) g.parameters = trim(value.substr(start));
        const size_t bang = fields[0].find('!');
        if (bang == std::string::npos || bang == 0 || bang + 1 == fields[0].size())
            return fail(line, key + ": \"" + fields[0] + "\" is not module!Gauge");
        g.module = fields[0].substr(0, bang);
        g.gauge = fields[0].substr(bang + 1);
        if (fields.size() < 3) return fail(line, key + ": needs a position: module!Gauge, x, y");
        if (!pixels(fields[1], &g.x) || !pixels(fields[2], &g.y))
            return fail(line, key + ": the position x, y is whole pixels (-100000 to 100000), not \"" + fields[1] + ", " +
                                  fields[2] + "\"");
        if (fields.size() == 4) return fail(line, key + ": a width needs its height: x, y, w, h");
        if (fields.size() == 5 && (!pixels(fields[3], &g.w) || !pixels(fields[4], &g.h) || g.w < 0 || g.h < 0))
            return fail(line, key + ": the size w, h is whole pixels (0 to 100000), not \"" + fields[3] + ", " +
                                  fields[4] + "\"");
        gauges->push_back(std::move(g));
    }
    if (!found)
        return fail(1, "no [" + window + "] section" + (sections.empty() ? std::string() : " (sections: " + sections + ")"));
    return true;
}

}  // namespace host

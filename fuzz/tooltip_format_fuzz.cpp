// Fuzzing the tooltip formatter: the first byte picks the argument values
// (numbers at the edges of the double range, texts long and null), the rest
// is the tooltip text with its numbered arguments.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "host/panel/tooltip_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string long_text(400, 'w');
    const double numbers[] = {0.0, -0.0, 1.5, -2.75, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                              std::nan(""), 9.3e18, -9.3e18, 108.0, 4294967296.0};
    const char* texts[] = {nullptr, "", "on", long_text.c_str()};
    host::TooltipValue values[12];
    const unsigned pick = size > 0 ? data[0] : 0;
    for (int i = 0; i < 12; ++i) {
        const unsigned choice = (pick + 7u * static_cast<unsigned>(i)) % 16u;
        if (choice < 12) values[i] = {false, numbers[choice], nullptr};
        else values[i] = {true, 0.0, texts[choice - 12]};
    }
    const std::string text = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : std::string();
    std::string out;
    host::format_tooltip(text, values, 12, out);
    if (out.size() > host::TOOLTIP_MAX_LENGTH) std::abort();
    host::format_tooltip(text, nullptr, 0, out);
    if (out.size() > host::TOOLTIP_MAX_LENGTH) std::abort();
    return 0;
}

// libFuzzer harness of the track reader: any bytes, read as a track file,
// give either a track or errors naming the file and a line, and a track read
// samples without fault at any time, in order and out of order.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/scenario/track_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> errors;
    const auto track = host::parse_track(text, "fuzz.csv", &errors);
    if (!track) {
        if (errors.empty() || errors.size() > host::MAX_TRACK_ERRORS) std::abort();
        for (const std::string& e : errors)
            if (e.rfind("fuzz.csv:", 0) != 0) std::abort();
        return 0;
    }
    if (!errors.empty() || track->rows.empty()) std::abort();
    const double first = track->rows.front().time_s, last = track->rows.back().time_s;
    size_t hint = 0;
    const double times[] = {first - 1.0, first, (first + last) / 2.0, last, last + 1.0, first + (last - first) * 0.25};
    for (double t : times) {
        const auto state = host::sample_track(*track, t, &hint);
        if (!std::isfinite(state.at.latitude) || !std::isfinite(state.at.longitude) ||
            !std::isfinite(state.ground_speed_mps) || state.at.heading < 0.0 || state.at.heading >= 2.0 * M_PI)
            std::abort();
        if (hint >= track->rows.size()) std::abort();
    }
    return 0;
}

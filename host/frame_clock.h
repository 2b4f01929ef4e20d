// The host's simulated clock: the frame count at a fixed frame rate.
#pragma once

#include <cstdint>

namespace host {

struct FrameClock {
    int64_t frame = 0;
    double frame_rate = 30.0;  // frames per second, above 0
    double seconds() const { return static_cast<double>(frame) / frame_rate; }
};

}  // namespace host

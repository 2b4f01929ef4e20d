// The module's seven command events and their handler. Gauges and the light
// logic raise these through the host's trigger_key_event; the handler is the
// one place where the actions run.
#pragma once

#include <cstdint>

constexpr uint32_t CMD_TUNE = 0x11101;             // carrier selection, value unused
constexpr uint32_t CMD_WAVE_OFF_CHECK = 0x11102;   // wave-off check, value unused
constexpr uint32_t CMD_CATAPULT_VELOCITY = 0x11103;// body velocity write, value unused
constexpr uint32_t CMD_CALL_BALL = 0x11104;        // officer: call the ball
constexpr uint32_t CMD_ALTITUDE_CHECK = 0x11105;   // officer: altitude check n (1..3)
constexpr uint32_t CMD_LINE_UP_CHECK = 0x11106;    // officer: line-up check n (1..3)
constexpr uint32_t CMD_WIRE_REPORT = 0x11107;      // officer: wire n (1..4) caught

// The forward and lateral body velocities last handed to the simulator, m/s.
extern double bodyVelocityBuffer[2];

// Key-event handler registered at module start. Every id outside the seven
// returns at once; the host calls it for all key events, its own included.
void handle_command_event(uint32_t event_id, uint32_t value, void* user_data);

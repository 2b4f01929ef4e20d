// The deck's optical landing aids for the user aircraft: the FLOLS meatball's
// position, whether the lens is valid (L:FLOLS_is_valid), the wave-off lights
// with their check and the power light, all as panel variables the module
// writes and whatever draws the lights reads.
#pragma once

#include <cstdint>

// Light-logic values (owner: landing/landing_lights; all start 0 at module
// load and are never reset on retuning).
extern uint8_t flolsValid;        // last value written to L:FLOLS_is_valid; read by this unit
extern uint8_t waveOffCheckDone;  // the wave-off check was raised on this pass through its window
extern uint8_t waveOffLightOn;    // the wave-off lights are lit and L:WO_Timer runs
extern uint8_t powerLightOn;      // the power light is lit and L:Power_Timer runs

// Width of the window below a check distance in which a one-shot check
// fires, nautical miles (shared with the officer's distance checks).
constexpr double CHECK_WINDOW_NM = 0.05;

// Runs on every pass of the approach geometry, right after update_validity:
// moves the meatball ("Meatball_Position"), writes L:FLOLS_is_valid on its
// changes, raises the wave-off check (command 0x11102) when the slant range
// enters the wave-off window, and puts out the lights whose time is up.
void update_landing_lights();

// The wave-off check (handling of command 0x11102): latches the window, and
// when the approach is outside the error window lights the wave-off lights
// and, while the officer is active, makes the wave-off call.
void run_wave_off_check();

// Power-light switch-on (first part of the line-up check, command 0x11106):
// lights the power light when the angle of attack exceeds the approach
// gauge's setting; a setting of exactly 0 disables it.
void switch_on_power_light();

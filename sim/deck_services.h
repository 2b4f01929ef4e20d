// Deck services: the animation toggle, refuelling and launch readiness, on the
// user's bound inputs. A command bound to a joystick button acts only on the
// value 1 (pressed); a keyboard command acts on every event.
#pragma once

#include <cstdint>

// Flips L:ZEB_Command1 and says so on screen.
void handle_toggle_animation(uint32_t value);
// Writes refuelLevels to the eleven tanks when the aircraft stands still
// (speed over the surface 0.1 m/s or less) on the ground with the parking
// brake set; "Refuelling is done!" only when the simulator accepted the
// write, "Refuelling can't be done!" otherwise.
void handle_refuel(uint32_t value);
// Sets launchRequested (and shows "OK for Launch!") when the aircraft is on
// the hold-back bar, not yet armed, with the first engine above
// EnginePowerPercent; otherwise nothing.
void handle_launch_ready(uint32_t value);

// Deck services: the animation toggle, refuelling and launch readiness, on the
// user's bound inputs. A command bound to a joystick button acts only on the
// value 1 (pressed); a keyboard command acts on every event.
#pragma once

#include <cstdint>

void handle_toggle_animation(uint32_t value);
void handle_refuel(uint32_t value);
void handle_launch_ready(uint32_t value);

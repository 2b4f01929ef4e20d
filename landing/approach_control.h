// The landing-signal officer: the `Approach_Ctrl` logic gauge (whether the
// officer watches, his seven distance checks, the wire report and
// L:FlightDeck_State) and his calls, made when the command events the gauge
// raises are handled.
#pragma once

#include <cstdint>

// Officer values (owner: landing/approach_control; all 0 at module load,
// never reset on retuning).
extern uint8_t lsoOn;                  // L:LSO_is_Off_VC is 0; read by the light logic
extern uint8_t lsoActive;              // check_lso_active held at the last update; read by the light logic
extern uint8_t callBallDone;           // latch of the call-the-ball check
extern uint8_t altitudeCheckDone[3];   // latches of the altitude checks 1..3
extern uint8_t lineUpCheckDone[3];     // latches of the line-up checks 1..3
extern uint8_t wireReported;           // the caught wire has been reported
extern int32_t flightDeckState;        // last value written to L:FlightDeck_State: 0, 1 or 2

// The gauge's parameter string as the power light's angle-of-attack
// threshold, degrees: the number at its start (strtod), 0 when there is no
// text or it does not start with a number.
double parse_approach_gauge_setting(const char* parameters);

// Recomputes lsoActive: the officer is on, the TACAN valid, the aircraft
// airborne within 45 degrees of the landing heading (difference folded into
// (-180, 180]), within 30 degrees of the landing line, inside
// Dist_Activation, gear down or fixed.
void check_lso_active();

// One update of the gauge (service 6): officer switch, check_lso_active, the
// distance checks, the wire report and the hook state.
void approach_control_update();

// The officer's calls, run by the command-event handler with the event's value.
void lso_call_ball();                 // 0x11104
void lso_altitude_check(uint32_t n);  // 0x11105: too high or too low
void lso_line_up_check(uint32_t n);   // 0x11106: power light, then line up
void lso_wire_report(uint32_t n);     // 0x11107: wire n caught

// The catapult: the launch model (a constant-acceleration stroke imposed
// through the aircraft's body velocity, the steam and progress variables) and
// the `CustomCatapult` gauge that drives it from the hold-back bar through the
// delay and the stroke to the end of the launch.
//
// Index: [launch state] [launch model] [catapult gauge]
#pragma once

#include <cstdint>

// [launch state] -----------------------------------------------------------------
// Module-wide values, all zero at module load. Owners: the launch model
// (catapult/launch_model.cpp) and the catapult gauge (catapult/catapult_gauge.cpp);
// `launchRequested` is also set by the launch-readiness command
// (sim/deck_services). All run on the host's thread, one call at a time.

// 0 idle, 1 hold-back bar installed, 2 stroke under way; published as
// L:Catapult_State. Start 0. Owner: catapult gauge (end of launch: model).
// Readers: deck services (launch readiness).
extern int32_t launchPhase;
// 1 from the accepted launch request until the stroke starts. Start 0.
// Owner: catapult gauge (cleared by the model at the end). Readers: deck services.
extern int32_t launchArmed;
// Set by launch readiness when the launch input is accepted; consumed by the
// catapult gauge. Start 0. Owners: deck services (set), catapult gauge and
// model (clear). Readers: catapult gauge.
extern uint8_t launchRequested;
// Last value published to L:LaunchBar_State. Start 0. Owner and reader:
// catapult gauge.
extern int32_t launchBarDown;
// The catapult whose blast deflector is raised: 0 none, 1 to 4. Start 0.
// Owner: catapult gauge (cleared by the model at the end). Reader: catapult gauge.
extern int32_t activeCatapult;
// Process clock (ms) at the start of the stroke. Start 0. Owner and reader:
// launch model.
extern uint32_t launchStartClock;
// Process clock (ms) when the launch request was accepted. Start 0. Owner and
// reader: catapult gauge.
extern uint32_t armedClock;
// Seconds from launchStartClock to the last progress step; not reset between
// launches. Start 0. Owner and reader: launch model.
extern double launchTime;
// Progress along the stroke, percent (not bounded), published as
// "Launch_Percent". Start 0. Owner and reader: launch model.
extern double launchPercent;
// Ground speed to reach at the end of the stroke, m/s. Start 0. Owner: launch
// model. Readers: catapult gauge.
extern double launchEndSpeed;
// The aircraft's ground speed at the start of the stroke, m/s. Start 0.
// Owner and reader: launch model.
extern double launchStartSpeed;
// Constant acceleration of the stroke, m/s^2. Start 0. Owner and reader:
// launch model.
extern double launchAcceleration;
// Forward body speed to impose now, m/s; 0 while no launch runs. Start 0.
// Owners: catapult gauge (set from the model's progress), launch model (reset).
// Readers: command events (catapult velocity write).
extern double catapultTargetSpeed;
// Lateral body speed to impose now, m/s (the ship's own velocity across the
// aircraft's axis); 0 while no launch runs. Start 0. Owner: launch model.
// Readers: command events (catapult velocity write).
extern double catapultCrossSpeed;
// Handle of the catapult sound, 0 until loaded (kept for the module's life).
// Start 0. Owner and reader: catapult gauge.
extern int32_t catapultSound;

// [launch model] ------------------------------------------------------------------
// Host key events the launch raises by number (their meaning is the host's).
constexpr uint32_t HOST_EVENT_CATAPULT_FREEZE = 0x10512;   // 1 at the stroke start, 0 at the end
constexpr uint32_t HOST_EVENT_CATAPULT_LAUNCH_BAR = 0x1053c;  // 0 at the stroke start

// catapult 0: clears the four L:Cat_N_Steam variables in order; 1 to 4: sets
// only that catapult's variable (the others are left as they are); any other
// value: nothing.
void catapult_set_steam(int32_t catapult);

// Starts the stroke: the end speed from the aircraft's weight, design stall
// speed, the speed margin and the wind along its axis; the start speed from
// its ground velocity; the constant acceleration that joins them over
// Catapult_Lenght metres (non-finite for a length of 0: the gauge refuses such
// a stroke before calling this). Publishes "Launch_Lenght".
void catapult_begin_launch();

// Advances the stroke: launch time, the progress over the deck (published as
// "Launch_Percent") and the cross speed. Returns the forward speed the
// aircraft must have now, m/s.
double catapult_launch_progress();

// Ends or aborts a launch: releases the host's freeze events, clears the
// catapult panel variables and the launch state. "Launch_Percent" keeps its
// last published value.
void catapult_end_launch();

// [catapult gauge] -----------------------------------------------------------------
// The gauge's per-update logic (service 6): launch bar, hold-back bar, the
// catapult in use, the armed delay, the stroke and its end.
void catapult_gauge_update();

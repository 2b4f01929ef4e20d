// The meatball, the FLOLS validity, the wave-off check and the light timers.
//
// The lights' timers live in the host as panel variables holding the host's
// local time (seconds) at which the light went on; the module reads the
// elapsed time back with a calculator expression.
#include "landing/landing_lights.h"

#include <cmath>

#include "landing/approach_control.h"
#include "module/host_services.h"
#include "sim/command_events.h"
#include "sim/connection.h"
#include "sound/sound_channel.h"
#include "state/module_state.h"

uint8_t flolsValid = 0;
uint8_t waveOffCheckDone = 0;
uint8_t waveOffLightOn = 0;
uint8_t powerLightOn = 0;

// Full deflection of the meatball either way.
constexpr double MEATBALL_LIMIT = 50.0;

// The meatball: 50 x (error / limit) ^ power above the slope, -50 x ... below,
// clipped at +-50. A NaN result (a NaN error, a zero limit with a zero
// error, a non-integer power of a negative ratio) goes to the limit of its
// side; a NaN error counts as below the slope.
static double meatball_position(double gs_error_deg, const LightParameters& lights)
{
    if (gs_error_deg >= 0.0) {
        const double m = MEATBALL_LIMIT * std::pow(gs_error_deg / lights.Meatball_GS_Max, lights.Meatball_Power);
        return m < MEATBALL_LIMIT ? m : MEATBALL_LIMIT;
    }
    const double m = -MEATBALL_LIMIT * std::pow(gs_error_deg / lights.Meatball_GS_Min, lights.Meatball_Power);
    return m > -MEATBALL_LIMIT ? m : -MEATBALL_LIMIT;
}

// Puts a light out once more than `duration_s` seconds have passed since its
// timer was set; with no answer from the host the elapsed time stays 0.
static void expire_light(uint8_t* light_on, const char* elapsed_code, double duration_s, const char* off_code)
{
    if (!*light_on) return;
    double elapsed_s = 0.0;
    execute_calculator_code(elapsed_code, &elapsed_s, nullptr, nullptr);
    if (duration_s < elapsed_s) {
        execute_calculator_code(off_code, nullptr, nullptr, nullptr);
        *light_on = 0;
    }
}

void update_landing_lights()
{
    const LightParameters& lights = *moduleState->lights;
    ApproachSolution& solution = approachSolution;

    solution.meatballPosition = meatball_position(solution.gsError, lights);

    // FLOLS validity: written only when it changes; a NaN range with a valid
    // TACAN falls through both branches and changes nothing.
    const double range_nm = solution.ilsSlantRange;
    if (solution.tcnValid && range_nm <= lights.Dist_Activation) {
        if (!flolsValid) {
            flolsValid = 1;
            execute_calculator_code("1 (>L:FLOLS_is_valid, bool)", nullptr, nullptr, nullptr);
        }
    } else if (!solution.tcnValid || range_nm > lights.Dist_Activation) {
        if (flolsValid) {
            flolsValid = 0;
            execute_calculator_code("0 (>L:FLOLS_is_valid, bool)", nullptr, nullptr, nullptr);
        }
    }

    // The wave-off window is 0.05 nm deep: an aircraft that crosses it
    // between two passes gets no check. The handler sets the latch.
    if (solution.tcnValid) {
        const double check_nm = lights.Dist_Check_WaveOff;
        if (check_nm - CHECK_WINDOW_NM < range_nm && range_nm <= check_nm && !waveOffCheckDone) {
            trigger_key_event(CMD_WAVE_OFF_CHECK, 0);
        } else if (range_nm > check_nm && waveOffCheckDone) {
            waveOffCheckDone = 0;
        }
    }

    // The timers run whatever the TACAN says, so lit lights go out on time
    // even after the carrier is lost.
    expire_light(&waveOffLightOn, "(P:local time, seconds) (L:WO_Timer,seconds) - ", lights.WO_Duration,
                 "0 (>L:WaveOffLight, bool)");
    expire_light(&powerLightOn, "(P:local time, seconds) (L:Power_Timer,seconds) - ", lights.PowerLight_Duration,
                 "0 (>L:PowerLight, bool)");
}

void run_wave_off_check()
{
    waveOffCheckDone = 1;
    const LightParameters& lights = *moduleState->lights;
    const double gs = approachSolution.gsError;
    const double loc = approachSolution.locError;
    // Strict comparisons: an error on a limit, or a NaN error, is inside.
    const bool outside =
        gs > lights.GS_Error_Max || gs < lights.GS_Error_Min || loc > lights.LOC_Error_Max || loc < lights.LOC_Error_Min;
    if (!outside) return;

    waveOffLightOn = 1;
    execute_calculator_code("1 (>L:WaveOffLight, bool) (P:local time, seconds) (>L:WO_Timer,seconds)", nullptr,
                            nullptr, nullptr);
    if (lsoActive) {
        play_sound_slot(SOUND_WAVE_OFF);
        show_text(moduleState->sounds->WaveOff_msg.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 3.0f);
    }
}

void switch_on_power_light()
{
    const double setting_deg = moduleState->lso->ApproachGaugeSetting;
    if (setting_deg == 0.0) return;
    double alpha_deg = 0.0;
    execute_calculator_code("(A:INCIDENCE ALPHA,Degrees)", &alpha_deg, nullptr, nullptr);
    if (alpha_deg > setting_deg) {
        execute_calculator_code("1 (>L:PowerLight, bool) (P:local time, seconds) (>L:Power_Timer,seconds)", nullptr,
                                nullptr, nullptr);
        powerLightOn = 1;
    }
}

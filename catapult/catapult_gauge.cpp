// The `CustomCatapult` gauge: the catapult controller. Watches the launch bar
// and the hold-back bar, follows the catapult in use, holds the aircraft for
// the launch delay after an accepted request, starts the stroke with its
// sound and steps the launch model on every panel update until the aircraft
// reaches its end speed or leaves the deck.
#include "catapult/catapult.h"
#include "module/gauge_registry.h"
#include "module/host_services.h"
#include "platform/process.h"
#include "sim/command_events.h"
#include "state/module_state.h"

static ELEMENT_STATIC_IMAGE catapult_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1330, {9, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x1, 0},
};
static ELEMENT_HEADER* catapult_elements[] = {&catapult_background.header, nullptr};

// The first catapult of 1..4 whose blast deflector is raised, 0 when none is.
static int32_t raised_deflector(const CarrierEntry& carrier)
{
    if (carrier.blastDeflector1 > 0) return 1;
    if (carrier.blastDeflector2 > 0) return 2;
    if (carrier.blastDeflector3 > 0) return 3;
    if (carrier.blastDeflector4 > 0) return 4;
    return 0;
}

// Plays the launch sound: a restart when the library reports it as known
// (ordinal 28 non-zero), a plain play otherwise. Silent without a handle.
static void play_catapult_sound()
{
    if (catapultSound == 0) return;
    const SoundLibrary* library = process_sound_library();
    if (!library || !library->ordinal_28 || !library->ordinal_33 || !library->ordinal_48) return;
    if (library->ordinal_28(catapultSound) == 0) library->ordinal_33(catapultSound, 0);
    else library->ordinal_48(catapultSound, 1);
}

// The accepted launch request: arm, publish readiness, start the delay clock
// and load the sound on first use.
static void arm_launch()
{
    launchArmed = 1;
    execute_calculator_code("1 (>L:ReadyCatapult, bool) 1 (>L:G_Catapult, bool)", nullptr, nullptr, nullptr);
    launchRequested = 0;
    armedClock = process_clock_ms();
    if (catapultSound == 0) {
        const SoundLibrary* library = process_sound_library();
        if (library && library->ordinal_30)
            catapultSound = library->ordinal_30(moduleState->catapult->Catapult_sound_file.c_str(), 0);
    }
}

// The delay has passed: the stroke starts, unless the stroke length cannot
// give a finite acceleration (0 or less, or not a number): then the launch
// ends here and nothing is written to the aircraft's velocities. Returns
// whether the stroke started.
static bool start_stroke()
{
    if (!(moduleState->catapult->Catapult_Lenght > 0.0)) {
        catapult_end_launch();
        return false;
    }
    catapult_begin_launch();
    catapultTargetSpeed = catapult_launch_progress();
    trigger_key_event(HOST_EVENT_CATAPULT_FREEZE, 1);
    execute_calculator_code("1 (>K:FREEZE_ATTITUDE_SET)", nullptr, nullptr, nullptr);
    trigger_key_event(HOST_EVENT_CATAPULT_LAUNCH_BAR, 0);
    trigger_key_event(CMD_CATAPULT_VELOCITY, 0);
    play_catapult_sound();
    launchPhase = 2;
    execute_calculator_code("2 (>L:Catapult_State,enum)", nullptr, nullptr, nullptr);
    return true;
}

void catapult_gauge_update()
{
    int32_t launch_bar = 0;
    execute_calculator_code("(A:LAUNCHBAR POSITION, percent) 50 > if{ 1 } els{ 0 }", nullptr, &launch_bar, nullptr);
    if (launch_bar == 1 && launchBarDown == 0) {
        launchBarDown = 1;
        execute_calculator_code("1 (>L:LaunchBar_State,Bool)", nullptr, nullptr, nullptr);
    } else if (launch_bar == 0 && launchBarDown == 1) {
        launchBarDown = 0;
        execute_calculator_code("0 (>L:LaunchBar_State,Bool)", nullptr, nullptr, nullptr);
    }

    int32_t hold_back = 0;
    execute_calculator_code("(A:HOLDBACK BAR INSTALLED,bool)", nullptr, &hold_back, nullptr);
    if (hold_back == 1 && launchPhase == 0) {
        launchPhase = 1;
        execute_calculator_code("1 (>L:Catapult_State,enum)", nullptr, nullptr, nullptr);
    }

    if (launchPhase == 1) {
        activeCatapult = approachSolution.tcnValid ? raised_deflector(*moduleState->carrier) : 0;
        catapult_set_steam(activeCatapult);
        if (launchRequested) {
            arm_launch();
            return;
        }
        if (launchArmed == 1) {
            const double armed_s = static_cast<double>(process_clock_ms() - armedClock) / 1000.0;
            if (armed_s > moduleState->catapult->Launch_Delay) {
                if (!start_stroke()) return;
            } else if (hold_back == 0) {
                catapult_end_launch();  // the bar was removed during the delay
            }
        }
    }

    if (launchPhase == 2) {
        catapultTargetSpeed = catapult_launch_progress();
        if (catapultTargetSpeed < launchEndSpeed && moduleState->userAircraft->simOnGround == 1) {
            trigger_key_event(CMD_CATAPULT_VELOCITY, 0);
            return;
        }
        catapult_end_launch();  // end speed reached, airborne, or not a number
    }
}

// Connected to its window, the gauge tells panels that the custom catapult is
// available; before each update it runs the launch.
static void catapult_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_CONNECT_TO_WINDOW:
        execute_calculator_code("1 (>L:Cust_Catapult_Available,bool)", nullptr, nullptr, nullptr);
        break;
    case PANEL_SERVICE_PRE_UPDATE:
        catapult_gauge_update();
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_CustomCatapult = make_gauge_header<catapult_elements>("CustomCatapult", 100, nullptr, catapult_callback);

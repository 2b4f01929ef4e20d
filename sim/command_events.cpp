// The command-event handler and the catapult velocity write.
#include "sim/command_events.h"

#include "catapult/catapult.h"
#include "landing/approach_control.h"
#include "landing/landing_lights.h"
#include "sim/connection.h"
#include "sim/dispatch.h"
#include "state/module_state.h"

double bodyVelocityBuffer[2] = {0.0, 0.0};

// Imposes the catapult's target forward speed and the lateral speed on the
// user aircraft's body velocities. Results are stored, not tested.
static void write_catapult_velocity()
{
    bodyVelocityBuffer[0] = catapultTargetSpeed;
    bodyVelocityBuffer[1] = catapultCrossSpeed;
    lastSimConnectResult = SimConnect_SetDataOnSimObject(simConnectHandle, DEF_BODY_VELOCITY_Z,
                                                         SIMCONNECT_OBJECT_ID_USER, 0, 0, 8, &bodyVelocityBuffer[0]);
    lastSimConnectResult = SimConnect_SetDataOnSimObject(simConnectHandle, DEF_BODY_VELOCITY_X,
                                                         SIMCONNECT_OBJECT_ID_USER, 0, 0, 8, &bodyVelocityBuffer[1]);
}

void handle_command_event(uint32_t event_id, uint32_t value, void* user_data)
{
    const uint32_t k = event_id - CMD_TUNE;
    if (k > 6) return;
    switch (event_id) {
    case CMD_TUNE:
        select_carrier();
        break;
    case CMD_WAVE_OFF_CHECK:
        run_wave_off_check();
        break;
    case CMD_CATAPULT_VELOCITY:
        write_catapult_velocity();
        break;
    case CMD_CALL_BALL:
        lso_call_ball();
        break;
    case CMD_ALTITUDE_CHECK:
        lso_altitude_check(value);
        break;
    case CMD_LINE_UP_CHECK:
        lso_line_up_check(value);
        break;
    case CMD_WIRE_REPORT:
        lso_wire_report(value);
        break;
    default:
        break;
    }
}

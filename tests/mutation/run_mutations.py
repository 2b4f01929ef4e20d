#!/usr/bin/env python3
"""Breaks the module's code one change at a time and reports which changes
the tests catch.

Each mutation replaces one exact text in one file (a comparison flipped, a
call dropped, two values swapped, a clear left out). The script copies the
checkout to a scratch folder, builds it once, then for each mutation applies
it, rebuilds, runs the unit and scenario tests and restores the file. A
mutation is caught when a test fails (or the build does). Usage:

    tests/mutation/run_mutations.py [--keep DIR] [--only SUBSTRING ...] [--start INDEX]

Prints one line per mutation and the catch rate. Takes a few minutes per
ten mutations on a loaded machine.
"""
import argparse, os, shutil, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))

# (file, text to find, replacement, what it breaks)
MUTATIONS = [
    ("sim/dispatch.cpp", "if ((entry != 0 || count != 0) &&", "if ((entry != 0 && count != 0) &&", "boat list: k or N non-zero"),
    ("sim/dispatch.cpp", "if (std::memchr(boat.title, '\\0', sizeof boat.title)) {", "if (true) {", "boat title terminator check"),
    ("sim/dispatch.cpp", "boatList.erase(boatList.upper_bound(count), boatList.end());", "boatList.erase(boatList.upper_bound(count + 1), boatList.end());", "boat list trim bound"),
    ("sim/dispatch.cpp", "if (!carrierDataReceived && carrier.CarrierType != CARRIER_TYPE_FIXED_SITE) return;", "if (!carrierDataReceived) return;", "geometry for fixed sites"),
    ("sim/dispatch.cpp", "        tacanMessage += \" -Lock on-\";\n", "", "lock-on suffix"),
    ("sim/dispatch.cpp", "        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);\n        lockMessagePending = 0;\n    }\n}", "        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_YELLOW, 5.0f);\n        lockMessagePending = 0;\n    }\n}", "red tuning message colour"),
    ("sim/dispatch.cpp", "        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_YELLOW, 5.0f);\n        lockMessagePending = 0;\n", "        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_YELLOW, 5.0f);\n", "lock message cleared once shown"),
    ("sim/ai_objects.cpp", "    if (lastSimConnectResult == S_OK) {\n        heloObjectExists = 0;", "    if (lastSimConnectResult != S_OK) {\n        heloObjectExists = 0;", "helo removal result test"),
    ("sim/ai_objects.cpp", "carrier.deckHeading + carrier.Helo_Bearing * RAD_PER_DEG", "carrier.deckHeading + carrier.Helo_Bearing", "helo bearing in degrees"),
    ("sim/ai_objects.cpp", "    aiInitPosition.OnGround = 1;\n    // Truncated", "    aiInitPosition.OnGround = 0;\n    // Truncated", "helo on ground"),
    ("sim/ai_objects.cpp", "    if (lastSimConnectResult == S_OK) heloObjectExists = 1;", "    heloObjectExists = 1;", "helo creation result test"),
    ("sim/dispatch.cpp", "if (message->dwentrynumber != 1 || message->dwoutof != 1) return;", "if (message->dwentrynumber != 1 && message->dwoutof != 1) return;", "ship data entry and count"),
    ("sim/dispatch.cpp", "carrier.deckLongitude = ship.planeLongitude * -1.0;", "carrier.deckLongitude = ship.planeLongitude;", "deck longitude sign"),
    ("sim/dispatch.cpp", "    carrierDataReceived = 1;\n", "", "ship data flag set"),
    ("sim/ai_objects.cpp", "if (carrier.Sim_Name_Helo == \"none\" || approachSolution.tcnValid != 1) return;", "if (approachSolution.tcnValid != 1) return;", "no helo for none"),
    ("sim/ai_objects.cpp", "if (carrier.Sim_Name_Helo == \"none\" || approachSolution.tcnValid != 1) return;", "if (carrier.Sim_Name_Helo == \"none\") return;", "helo only with TCN valid"),
    ("sim/ai_objects.cpp", "std::fabs(carrier.deckYawRate) > SHIP_TURNING_YAW_RATE", "std::fabs(carrier.deckYawRate) >= SHIP_TURNING_YAW_RATE", "turning is strictly above 0.01"),
    ("sim/ai_objects.cpp", "            heloSpeed = carrier.deckSpeed;", "            heloSpeed = 0.0;", "helo speed follows the ship"),
    ("sim/ai_objects.cpp", "        heloControlReleased = 1;\n", "", "helo release flag"),
    ("sim/ai_objects.cpp", "        flolsObjectId = message->dwObjectID;\n", "", "FLOLS object id"),
    ("sim/dispatch.cpp", "        request_boat_list();\n        if (message->dwData != carrierObjectId) return;", "        if (message->dwData != carrierObjectId) return;", "removal renews the boat list"),
    ("sim/dispatch.cpp", "        if (message->dwData != carrierObjectId) return;\n        carrierFound = 0;", "        if (message->dwData != carrierObjectId) return;", "removed ship no longer found"),
    ("sim/carrier_selection.cpp", "if (!found || d < best_distance) {", "if (!found || d <= best_distance) {", "nearest boat, ties keep the lower entry"),
    ("sim/carrier_selection.cpp", "            carrierDataReceived = 0;\n", "", "retuning clears the ship data flag"),
    ("sim/carrier_selection.cpp", "            request_carrier_data(carrierObjectId);\n", "", "ship data requested on selection"),
    ("sim/carrier_selection.cpp", "            if (moduleState->sounds->soundReloadNeeded) load_sounds();\n        } else {", "            load_sounds();\n        } else {", "sounds only when reload needed (ship)"),
    ("sim/carrier_selection.cpp", "            show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);\n        }", "            show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f);\n        }", "ship not found: 5 s"),
    ("sim/ai_objects.cpp", "carrier.deckAltitude * 6076.115485564304", "carrier.deckAltitude * 6076.0", "FLOLS altitude in feet"),
    ("sim/carrier_selection.cpp", "        tacanMessage.assign(1, ' ');", "        tacanMessage.clear();", "blank message"),
    ("sim/carrier_selection.cpp", "    clear_approach_solution();\n", "", "selection clears the results"),
    ("sim/ai_objects.cpp", "    if (lastSimConnectResult == S_OK) flolsObjectExists = 0;", "    flolsObjectExists = 0;", "FLOLS removal result test"),
    ("sim/carrier_selection.cpp", "        lockMessagePending = 1;\n        if (moduleState->sounds->soundReloadNeeded) load_sounds();\n        if (carrier.FLOLS_Name", "        if (moduleState->sounds->soundReloadNeeded) load_sounds();\n        if (carrier.FLOLS_Name", "fixed site: tuning message pending"),
    ("sim/deck_services.cpp", "ground_speed <= REFUEL_MAX_GROUND_SPEED", "ground_speed < REFUEL_MAX_GROUND_SPEED", "refuel at exactly 0.1"),
    ("sim/deck_services.cpp", "parking_brake == 1 &&", "parking_brake != 0 &&", "parking brake equals 1"),
    ("sim/deck_services.cpp", "static_cast<double>(EnginePowerPercent) < moduleState", "static_cast<double>(EnginePowerPercent) <= moduleState", "launch power strictly above"),
    ("sim/deck_services.cpp", "        launchRequested = 1;\n", "", "launch requested"),
    ("sim/deck_services.cpp", "return value == 1 || !is_button;", "return value != 0 || !is_button;", "button acts on 1 only"),
    ("sim/deck_services.cpp", "show_text(\"Animation is toggled!\", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);", "show_text(\"Animation is toggled!\", SIMCONNECT_TEXT_TYPE_PRINT_RED, 2.0f);", "toggle text colour"),
    ("sim/deck_services.cpp", "show_text(\"Refuelling is done!\", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);", "show_text(\"Refuelling can't be done!\", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);", "refuel text"),
    ("sim/command_events.cpp", "if (k > 6) return;", "if (k > 7) return;", "command id range"),
    ("sim/command_events.cpp", "    bodyVelocityBuffer[0] = catapultTargetSpeed;\n    bodyVelocityBuffer[1] = catapultCrossSpeed;", "    bodyVelocityBuffer[0] = catapultCrossSpeed;\n    bodyVelocityBuffer[1] = catapultTargetSpeed;", "body velocities swapped"),
    ("sim/connection.cpp", "static_cast<DWORD>(std::strlen(text) + 1)", "static_cast<DWORD>(std::strlen(text))", "text length plus one"),
    ("sim/connection.cpp", "if (definition.size() <= 1) return 0;", "if (definition.size() < 1) return 0;", "one-character input unbound"),
    ("sim/connection.cpp", "definition.find(\"button\") != std::string::npos ? 1 : 0", "definition.find(\"Button\") != std::string::npos ? 1 : 0", "button flag"),
    ("sim/connection.cpp", "SimConnect_SetInputGroupState(simConnectHandle, GROUP_COMMANDS, SIMCONNECT_STATE_ON)", "SimConnect_SetInputGroupState(simConnectHandle, GROUP_COMMANDS, SIMCONNECT_STATE_OFF)", "inputs on at SimStart"),
    ("sim/connection.cpp", "void close_simconnect_connection() { lastSimConnectResult = SimConnect_Close(simConnectHandle); }", "void close_simconnect_connection() { lastSimConnectResult = 0; }", "stop closes the connection"),
    ("sound/sound_channel.cpp", "if (path == \"none\") {", "if (path == \"None\") {", "none path"),
    ("sound/sound_channel.cpp", "if (load_sound_list(document, language) != 1) return;", "if (load_sound_list(document, language) == 2) return;", "no list: nothing loaded"),
    ("sound/sound_channel.cpp", "const int32_t soundGroup = library->ordinal_29();", "const int32_t soundGroup = 0;", "group from ordinal 29"),
    ("sound/sound_channel.cpp", "    load_sound_slot(SOUND_CALL_BALL, list.CallBall, soundGroup);\n    load_sound_slot(SOUND_TOO_HIGH, list.TooHigh, soundGroup);", "    load_sound_slot(SOUND_CALL_BALL, list.TooHigh, soundGroup);\n    load_sound_slot(SOUND_TOO_HIGH, list.CallBall, soundGroup);", "slot order"),
    ("gauges/tacan_navigation.cpp", "        s.ilsRadial,\n        s.tcnRadial,", "        s.tcnRadial,\n        s.ilsRadial,", "published values swapped"),
    ("gauges/tacan_navigation.cpp", "        static_cast<double>(s.ilsLocValid),\n        static_cast<double>(s.ilsGsValid),", "        static_cast<double>(s.ilsGsValid),\n        static_cast<double>(s.ilsLocValid),", "validity flags swapped"),
    ("gauges/tacan_navigation.cpp", "std::strchr(header->parameters, '2') ? 2 : 1", "std::strchr(header->parameters, '2') ? 2 : 0", "NAV1 number from the parameter string"),
    ("gauges/tacan_navigation.cpp", "    tuningChanged = 0;\n", "", "tuning flag cleared"),
    ("gauges/tacan_navigation.cpp", "        trigger_key_event(CMD_TUNE, 0);\n", "", "tuning event raised"),
    ("gauges/tacan_navigation.cpp", "        trigger_key_event(CMD_TUNE, 0);\n        return;", "        trigger_key_event(CMD_TUNE, 0);", "no publication in the tuning update"),
    ("module/module.cpp", "for (double& level : refuelLevels) level = 99.9;", "for (double& level : refuelLevels) level = 9.9;", "refuel levels"),
    ("module/module.cpp", "    execute_calculator_code(\"0 (>L:LSO_is_Off_VC, bool)\", nullptr, nullptr, nullptr);\n", "", "officer on at start"),
    ("module/module.cpp", "    unregister_key_event_handler(commandEventHandler, nullptr);\n", "", "stop unregisters the handler"),
    ("module/module.cpp", "aiInitPosition = SIMCONNECT_DATA_INITPOSITION{0, 0, 0, 0, 0, 0, 1, 0};", "aiInitPosition = SIMCONNECT_DATA_INITPOSITION{0, 0, 0, 0, 0, 0, 0, 0};", "AI position reset on ground"),
    ("module/gauge_registry.h", "static SINT32 install_list(UINT32 word) { return element_list_install(List[0], word); }", "static SINT32 install_list(UINT32 word) { return element_list_install(List[0], 0); }", "install routine passes its word"),
    ("module/gauge_registry.h", "header.size_x_mm = size_mm;", "header.size_x_mm = 100;", "gauge size"),
    # The central record, the AI objects, the live fields, the gauges' services.
    ("state/module_state.cpp", "    if (!state) state = new CarrierModuleState{};", "    state = new CarrierModuleState{};", "get-or-create returns the same record"),
    ("sim/ai_objects.cpp", "        heloObjectExists = 0;\n        heloControlReleased = 0;", "        heloObjectExists = 0;", "removed helo forgets its control release"),
    ("sim/dispatch.cpp", "carrier.blastDeflector3 = ship.blastShield[2];", "carrier.blastDeflector3 = ship.blastShield[3];", "deflector 3 from its own field"),
    ("sim/dispatch.cpp", "carrier.blastDeflector1 = ship.blastShield[0];", "carrier.blastDeflector1 = ship.blastShield[1];", "deflector 1 from its own field"),
    ("catapult/catapult_gauge.cpp", "    case PANEL_SERVICE_CONNECT_TO_WINDOW:\n        execute_calculator_code(\"1 (>L:Cust_Catapult_Available", "    case PANEL_SERVICE_PRE_INSTALL:\n        execute_calculator_code(\"1 (>L:Cust_Catapult_Available", "custom catapult announced at service 14"),
    ("sim/carrier_selection.cpp", "        if (carrier.FLOLS_Name != \"none\") create_flols_object();", "        create_flols_object();", "no FLOLS object for none"),
    # The officer.
    ("landing/approach_control.cpp", "std::fabs(s.locError) < LSO_LOC_LIMIT_DEG", "s.locError < LSO_LOC_LIMIT_DEG", "line-up limit on both sides"),
    ("landing/approach_control.cpp", "        if (user.simOnGround == 0 && wireReported) wireReported = 0;\n", "", "wire report cleared when airborne"),
    ("landing/approach_control.cpp", "std::fabs(heading_off_deg) < LSO_HEADING_LIMIT_DEG", "std::fabs(heading_off_deg) <= LSO_HEADING_LIMIT_DEG", "heading limit strict"),
    ("landing/approach_control.cpp", "s.ilsSlantRange < moduleState->lights->Dist_Activation &&\n                gear == 1", "s.ilsSlantRange <= moduleState->lights->Dist_Activation &&\n                gear == 1", "officer's activation distance strict"),
    ("landing/approach_control.cpp", "lsoActive = lsoOn && s.tcnValid && user.simOnGround == 0 &&", "lsoActive = lsoOn && s.tcnValid &&", "officer only airborne"),
    ("landing/approach_control.cpp", "                gear == 1;", "                gear != 0;", "gear result exactly 1"),
    ("landing/approach_control.cpp", "    if (0.0 <= d && d < CHECK_WINDOW_NM && !*latch) {", "    if (0.0 < d && d < CHECK_WINDOW_NM && !*latch) {", "check at exactly its distance"),
    ("landing/approach_control.cpp", "    if (0.0 <= d && d < CHECK_WINDOW_NM && !*latch) {", "    if (0.0 <= d && d <= CHECK_WINDOW_NM && !*latch) {", "check window open below"),
    ("landing/approach_control.cpp", "    } else if (d < 0.0) {\n        *latch = 0;", "    } else if (d < -1.0) {\n        *latch = 0;", "check re-armed just beyond its distance"),
    ("landing/approach_control.cpp", "    distance_check(lso.Check_Altitude_1, s, &altitudeCheckDone[0], CMD_ALTITUDE_CHECK, 1);\n    distance_check(lso.Check_LOC_1, s, &lineUpCheckDone[0], CMD_LINE_UP_CHECK, 1);", "    distance_check(lso.Check_LOC_1, s, &lineUpCheckDone[0], CMD_LINE_UP_CHECK, 1);\n    distance_check(lso.Check_Altitude_1, s, &altitudeCheckDone[0], CMD_ALTITUDE_CHECK, 1);", "altitude check before line-up check"),
    ("landing/approach_control.cpp", "    distance_check(lso.Check_Altitude_3, s, &altitudeCheckDone[2], CMD_ALTITUDE_CHECK, 3);", "    distance_check(lso.Check_Altitude_3, s, &altitudeCheckDone[1], CMD_ALTITUDE_CHECK, 3);", "third altitude latch"),
    ("landing/approach_control.cpp", " &&\n            moduleState->carrier->CarrierType == CARRIER_TYPE_SHIP) {", ") {", "wire report only on a ship"),
    ("landing/approach_control.cpp", "            execute_calculator_code(\"1 (>L:FlightDeck_State,enum)\", nullptr, nullptr, nullptr);\n", "", "arrested state written"),
    ("landing/approach_control.cpp", "    if (hook > HOOK_DOWN_PERCENT && flightDeckState != 2 && user.simOnGround == 0) {", "    if (hook >= HOOK_DOWN_PERCENT && flightDeckState != 2 && user.simOnGround == 0) {", "hook at exactly 5 in the air"),
    ("landing/approach_control.cpp", "    if (hook > HOOK_DOWN_PERCENT && flightDeckState != 2 && user.simOnGround == 0) {", "    if (hook > HOOK_DOWN_PERCENT && user.simOnGround == 0) {", "hook-down state written on change only"),
    ("landing/approach_control.cpp", "    if (hook > HOOK_DOWN_PERCENT && flightDeckState != 2 && user.simOnGround == 0) {", "    if (hook > HOOK_DOWN_PERCENT && flightDeckState != 2) {", "hook-down state only airborne"),
    ("landing/approach_control.cpp", "    } else if (hook < HOOK_DOWN_PERCENT && flightDeckState != 0) {", "    } else if (hook <= HOOK_DOWN_PERCENT && flightDeckState != 0) {", "hook at exactly 5 stays"),
    ("landing/approach_control.cpp", "    if (gs > lso.TooHigh_Angle) call", "    if (gs >= lso.TooHigh_Angle) call", "too high strict"),
    ("landing/approach_control.cpp", "    else if (gs < lso.TooLow_Angle) call", "    else if (gs <= lso.TooLow_Angle) call", "too low strict"),
    ("landing/approach_control.cpp", "    if (std::fabs(approachSolution.locError) > moduleState->lso->LOC_Angle)", "    if (approachSolution.locError > moduleState->lso->LOC_Angle)", "line-up call on both sides"),
    ("landing/approach_control.cpp", "    if (n >= 1 && n <= 3) lineUpCheckDone[n - 1] = 1;\n    switch_on_power_light();", "    if (n >= 1 && n <= 3) lineUpCheckDone[n - 1] = 1;", "line-up check lights the power light"),
    ("landing/approach_control.cpp", "    wireReported = 1;\n", "", "wire report latch"),
    ("landing/approach_control.cpp", "    case 3: call(SOUND_WIRE3, sounds.Wire3_msg, WIRE_TEXT_SECONDS); break;", "    case 3: call(SOUND_WIRE4, sounds.Wire3_msg, WIRE_TEXT_SECONDS); break;", "wire 3 plays its own slot"),
    ("landing/approach_control.cpp", "constexpr float WIRE_TEXT_SECONDS = 5.0f;", "constexpr float WIRE_TEXT_SECONDS = 3.0f;", "wire texts 5 s"),
    ("landing/approach_control.cpp", "    lsoOn = officer_on != 0;", "    lsoOn = 1;", "officer switch read"),
    # The meatball and the lights.
    ("landing/landing_lights.cpp", "-MEATBALL_LIMIT * std::pow(gs_error_deg / lights.Meatball_GS_Min", "-MEATBALL_LIMIT * std::pow(gs_error_deg / -lights.Meatball_GS_Max", "meatball below uses its own limit"),
    ("landing/landing_lights.cpp", "    return m > -MEATBALL_LIMIT ? m : -MEATBALL_LIMIT;", "    return m;", "meatball clipped below"),
    ("landing/landing_lights.cpp", "    if (solution.tcnValid && range_nm <= lights.Dist_Activation) {", "    if (solution.tcnValid && range_nm < lights.Dist_Activation) {", "FLOLS valid at exactly the activation distance"),
    ("landing/landing_lights.cpp", "        if (!flolsValid) {\n            flolsValid = 1;", "        {\n            flolsValid = 1;", "FLOLS validity written only on change"),
    ("landing/landing_lights.cpp", "    } else if (!solution.tcnValid || range_nm > lights.Dist_Activation) {", "    } else if (range_nm > lights.Dist_Activation) {", "FLOLS invalid when the TACAN is lost"),
    ("landing/landing_lights.cpp", "if (check_nm - CHECK_WINDOW_NM < range_nm && range_nm <= check_nm && !waveOffCheckDone)", "if (check_nm - CHECK_WINDOW_NM < range_nm && range_nm < check_nm && !waveOffCheckDone)", "wave-off check at exactly its distance"),
    ("landing/landing_lights.cpp", "if (check_nm - CHECK_WINDOW_NM < range_nm && range_nm <= check_nm && !waveOffCheckDone)", "if (check_nm - 1.0 < range_nm && range_nm <= check_nm && !waveOffCheckDone)", "wave-off window 0.05 deep"),
    ("landing/landing_lights.cpp", "        } else if (range_nm > check_nm && waveOffCheckDone) {\n            waveOffCheckDone = 0;", "        } else if (range_nm > check_nm + 1.0 && waveOffCheckDone) {\n            waveOffCheckDone = 0;", "wave-off check re-armed beyond its distance"),
    ("landing/landing_lights.cpp", "    if (solution.tcnValid) {\n        const double check_nm", "    {\n        const double check_nm", "wave-off check only with the TACAN valid"),
    ("landing/landing_lights.cpp", "    if (duration_s < elapsed_s) {", "    if (duration_s <= elapsed_s) {", "lights go out only after their duration"),
    ("landing/landing_lights.cpp", "lights.WO_Duration,\n", "lights.PowerLight_Duration,\n", "wave-off duration"),
    ("landing/landing_lights.cpp", "gs > lights.GS_Error_Max || gs < lights.GS_Error_Min", "gs > lights.GS_Error_Max || gs <= lights.GS_Error_Min", "wave-off glide-slope minimum strict"),
    ("landing/landing_lights.cpp", " || loc < lights.LOC_Error_Min;", ";", "wave-off left of the line"),
    ("landing/landing_lights.cpp", "loc > lights.LOC_Error_Max", "loc >= lights.LOC_Error_Max", "wave-off line-up maximum strict"),
    ("landing/landing_lights.cpp", "    if (lsoActive) {\n        play_sound_slot(SOUND_WAVE_OFF);", "    {\n        play_sound_slot(SOUND_WAVE_OFF);", "wave-off call only with the officer"),
    ("landing/landing_lights.cpp", "    waveOffCheckDone = 1;\n", "", "wave-off latch set by the check"),
    ("landing/landing_lights.cpp", "    if (setting_deg == 0.0) return;", "    if (setting_deg == 0.0) {}", "no power light without a setting"),
    ("landing/landing_lights.cpp", "    if (alpha_deg > setting_deg) {", "    if (alpha_deg >= setting_deg) {", "power light strictly above the setting"),
    ("landing/landing_lights.cpp", "        powerLightOn = 1;\n", "", "power light timer runs"),
    # The catapult.
    ("catapult/catapult_gauge.cpp", "    if (carrier.blastDeflector2 > 0) return 2;", "    if (carrier.blastDeflector2 >= 0) return 2;", "lowered deflector 2 is no catapult"),
    ("catapult/catapult_gauge.cpp", "    if (carrier.blastDeflector3 > 0) return 3;\n    if (carrier.blastDeflector4 > 0) return 4;", "    if (carrier.blastDeflector4 > 0) return 4;\n    if (carrier.blastDeflector3 > 0) return 3;", "first raised deflector wins"),
    ("catapult/catapult_gauge.cpp", "    } else if (launch_bar == 0 && launchBarDown == 1) {", "    } else if (launch_bar == 0 && launchBarDown == 2) {", "launch bar up published"),
    ("catapult/catapult_gauge.cpp", "    if (hold_back == 1 && launchPhase == 0) {", "    if (hold_back == 1) {", "hold-back bar state written once"),
    ("catapult/catapult_gauge.cpp", "    if (launchPhase == 1) {\n        activeCatapult = approachSolution.tcnValid ? raised_deflector(*moduleState->carrier) : 0;", "    if (launchPhase == 1) {\n        activeCatapult = raised_deflector(*moduleState->carrier);", "steam only with the TACAN valid"),
    ("catapult/catapult_gauge.cpp", "    launchRequested = 0;\n    armedClock", "    armedClock", "request consumed on arming"),
    ("catapult/catapult_gauge.cpp", "            if (armed_s > moduleState->catapult->Launch_Delay) {", "            if (armed_s >= moduleState->catapult->Launch_Delay) {", "delay strictly passed"),
    ("catapult/catapult_gauge.cpp", "            } else if (hold_back == 0) {", "            } else if (hold_back == 2) {", "bar removed during the delay"),
    ("catapult/catapult_gauge.cpp", "    trigger_key_event(HOST_EVENT_CATAPULT_FREEZE, 1);", "    trigger_key_event(HOST_EVENT_CATAPULT_FREEZE, 0);", "stroke freezes"),
    ("catapult/catapult_gauge.cpp", "    execute_calculator_code(\"1 (>K:FREEZE_ATTITUDE_SET)\", nullptr, nullptr, nullptr);\n", "", "stroke freezes the attitude"),
    ("catapult/catapult_gauge.cpp", "    trigger_key_event(HOST_EVENT_CATAPULT_LAUNCH_BAR, 0);\n", "", "stroke releases the launch bar"),
    ("catapult/catapult_gauge.cpp", "    execute_calculator_code(\"2 (>L:Catapult_State,enum)\", nullptr, nullptr, nullptr);\n", "", "stroke state published"),
    ("catapult/catapult_gauge.cpp", "        if (catapultTargetSpeed < launchEndSpeed && moduleState->userAircraft->simOnGround == 1) {", "        if (catapultTargetSpeed <= launchEndSpeed && moduleState->userAircraft->simOnGround == 1) {", "stroke ends at the end speed"),
    ("catapult/catapult_gauge.cpp", "        if (catapultTargetSpeed < launchEndSpeed && moduleState->userAircraft->simOnGround == 1) {", "        if (catapultTargetSpeed < launchEndSpeed) {", "stroke ends when airborne"),
    ("catapult/catapult_gauge.cpp", "    if (library->ordinal_28(catapultSound) == 0) library->ordinal_33(catapultSound, 0);", "    if (library->ordinal_28(catapultSound) != 0) library->ordinal_33(catapultSound, 0);", "catapult sound restart when known"),
    ("catapult/catapult_gauge.cpp", "    if (catapultSound == 0) {\n        const SoundLibrary* library", "    {\n        const SoundLibrary* library", "catapult sound loaded once"),
    ("catapult/launch_model.cpp", "    launch_speed_kt += parameters.Speed_Margin;", "    launch_speed_kt -= parameters.Speed_Margin;", "speed margin added"),
    ("catapult/launch_model.cpp", "(launch_speed_kt - user.ambientWindZ)", "(launch_speed_kt + user.ambientWindZ)", "head wind subtracted"),
    ("catapult/launch_model.cpp", "    launchStartSpeed = user.groundVelocity;", "    launchStartSpeed = 0.0;", "stroke starts at the ground speed"),
    ("catapult/launch_model.cpp", "(delta * launchStartSpeed + 0.5 * delta * delta)", "(delta * launchStartSpeed + delta * delta)", "acceleration formula"),
    ("catapult/launch_model.cpp", "    set_named_variable_value(register_named_variable(\"Launch_Lenght\"), parameters.Catapult_Lenght);\n", "", "stroke length published"),
    ("catapult/launch_model.cpp", "deck_speed_mps / parameters.Catapult_Lenght * 100.0;", "deck_speed_mps / parameters.Catapult_Lenght;", "progress in percent"),
    ("catapult/launch_model.cpp", "std::sin(carrier.deckHeading - moduleState->userAircraft->planeHeadingTrue)", "std::sin(moduleState->userAircraft->planeHeadingTrue - carrier.deckHeading)", "cross speed sign"),
    ("catapult/launch_model.cpp", "    catapult_set_steam(0);\n    launchStartSpeed = 0.0;", "    launchStartSpeed = 0.0;", "end of launch lets off the steam"),
    ("catapult/launch_model.cpp", "    launchArmed = 0;\n    launchAcceleration", "    launchAcceleration", "end of launch disarms"),
    ("catapult/launch_model.cpp", "    launchRequested = 0;\n    catapultCrossSpeed = 0.0;", "    catapultCrossSpeed = 0.0;", "end of launch drops the request"),
    ("catapult/launch_model.cpp", "    trigger_key_event(HOST_EVENT_CATAPULT_FREEZE, 0);\n", "", "end of launch unfreezes"),
    ("catapult/launch_model.cpp", "        execute_calculator_code(\"1 (>L:Cat_3_Steam, bool)\", nullptr, nullptr, nullptr);", "        execute_calculator_code(\"1 (>L:Cat_4_Steam, bool)\", nullptr, nullptr, nullptr);", "steam of catapult 3"),
    # The deck services.
    ("sim/deck_services.cpp", "\"(L:ZEB_Command1, bool) ! (>L:ZEB_Command1, bool)\"", "\"(L:ZEB_Command1, bool) (>L:ZEB_Command1, bool)\"", "toggle inverts the switch"),
    ("sim/deck_services.cpp", "    if (standing && parking_brake == 1 &&", "    if (parking_brake == 1 &&", "refuel only standing"),
    ("sim/deck_services.cpp", "SIMCONNECT_OBJECT_ID_USER,\n", "1,\n", "refuel writes the user aircraft"),
    ("sim/deck_services.cpp", "    if (launchPhase == 1 && launchArmed == 0 &&", "    if (launchPhase >= 1 && launchArmed == 0 &&", "launch readiness only on the hold-back bar"),
    ("sim/deck_services.cpp", "    if (launchPhase == 1 && launchArmed == 0 &&", "    if (launchPhase == 1 &&", "no readiness while armed"),
    ("sim/deck_services.cpp", "show_text(\"OK for Launch!\", SIMCONNECT_TEXT_TYPE_PRINT_RED, 2.0f);", "show_text(\"OK for Launch!\", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);", "launch readiness text red"),
    # The radio, the indicator, the sub-panel.
    ("gauges/radio_tacan.cpp", "    finish_knob_step(c, &radioTacan.rightKnobAngle, -10.0);", "    finish_knob_step(c, &radioTacan.rightKnobAngle, 10.0);", "units-decrease knob turns down"),
    ("gauges/radio_tacan.cpp", "    finish_knob_step(c, &radioTacan.leftKnobAngle, 10.0);", "    finish_knob_step(c, &radioTacan.leftKnobAngle, -10.0);", "tens-increase knob turns up"),
    ("gauges/radio_tacan.cpp", "    radioTacan.frequency += radioTacan.xyMode == 0 ? 0.05 : -0.05;", "    radioTacan.frequency += radioTacan.xyMode == 0 ? -0.05 : 0.05;", "X/Y switch direction"),
    ("gauges/radio_tacan.cpp", "    radioTacan.toneSwitch = !radioTacan.toneSwitch;", "", "tone switch inverts"),
    ("gauges/radio_tacan.cpp", "void units_knob_increase()\n{\n    if (!tacanMainSwitch) return;", "void units_knob_increase()\n{", "units knob blocked when off"),
    ("gauges/carrier_indicator.cpp", "execute_calculator_code(nav1 ? \"(A:NAV DME:1, nmiles)\" : \"(A:NAV DME:2, nmiles)\"", "execute_calculator_code(nav1 ? \"(A:NAV DME:1, nmiles)\" : \"(A:NAV DME:1, nmiles)\"", "receiver 2 reads the NAV2 DME"),
    ("gauges/carrier_indicator.cpp", "    return tacanMainSwitch && !tacan_valid() && carrierIndicator.navDmeAvailable == 1 ? 0.0 : NO_IMAGE;", "    return tacanMainSwitch && carrierIndicator.navDmeAvailable == 1 ? 0.0 : NO_IMAGE;", "DME flag dark while the TACAN is valid"),
    ("gauges/carrier_indicator.cpp", "    return tacanMainSwitch && !tacan_valid() && carrierIndicator.navSignalAvailable == 1 ? 0.0 : NO_IMAGE;", "    return tacanMainSwitch && carrierIndicator.navSignalAvailable == 1 ? 0.0 : NO_IMAGE;", "NAV flag dark while the TACAN is valid"),
    ("gauges/carrier_indicator.cpp", "        if (s.distance < 0) s.navDmeAvailable = 0;\n", "", "negative DME is no DME"),
    ("gauges/carrier_indicator.cpp", "s.distance = tacan_presentation() ? approachSolution.tcnSlantRange : approachSolution.ilsSlantRange;", "s.distance = tacan_presentation() ? approachSolution.ilsSlantRange : approachSolution.tcnSlantRange;", "readout range by presentation"),
    ("gauges/carrier_indicator.cpp", "    return tacan_valid() ? 0.0 : 1.0;", "    return tacan_valid() ? 1.0 : 0.0;", "carrier lamp image by validity"),
    ("gauges/carrier_indicator.cpp", "    if (error_deg >= -limit && error_deg <= limit) {", "    if (error_deg >= -limit && error_deg < limit) {", "in-range bar at the limit"),
    ("gauges/carrier_indicator.cpp", "        return error_deg > limit ? limit : -limit;", "        return limit;", "limit bar side"),
    ("gauges/carrier_indicator.cpp", "    return s.navSignalAvailable == 1 ? s.navRelativeBearing : 90.0;", "    return s.navSignalAvailable == 1 ? s.navRelativeBearing : 0.0;", "bearing pointer parks at 90"),
    ("gauges/carrier_indicator.cpp", "        panelLightsOn = lights.value > 0 ? 1 : 0;", "        panelLightsOn = lights.value >= 0 ? 1 : 0;", "panel lights only when on"),
    ("gauges/close_subpanel.cpp", "    panel_commands(text, 'o', KEY_PANEL_OPEN);\n    panel_commands(text, 'c', KEY_PANEL_CLOSE);", "    panel_commands(text, 'c', KEY_PANEL_CLOSE);\n    panel_commands(text, 'o', KEY_PANEL_OPEN);", "open commands before close commands"),
    ("gauges/close_subpanel.cpp", "    panel_commands(text, 't', KEY_PANEL_TOGGLE);\n", "", "toggle commands"),
    ("gauges/close_subpanel.cpp", "            const uint32_t event = n > 0 ? KEY_PANEL_P_UP : KEY_PANEL_P_DOWN;", "            const uint32_t event = n > 0 ? KEY_PANEL_P_DOWN : KEY_PANEL_P_UP;", "p direction"),
    ("landing/landing_lights.cpp", "if (check_nm - CHECK_WINDOW_NM < range_nm && range_nm <= check_nm", "if (check_nm - CHECK_WINDOW_NM <= range_nm && range_nm <= check_nm", "wave-off window open at its deep edge"),
    ("gauges/tacan_navigation.cpp", "tacanReceiver == 2 ? \"(A:Nav2 Active Frequency, MHz)\" : \"(A:Nav1 Active Frequency, MHz)\"", "tacanReceiver == 2 ? \"(A:Nav1 Active Frequency, MHz)\" : \"(A:Nav1 Active Frequency, MHz)\"", "receiver 2 watches NAV2"),
    ("gauges/tacan_navigation.cpp", "        tunedTacanFrequency = frequency;\n", "", "new frequency remembered"),
    ("gauges/radio_tacan.cpp", "constexpr int32_t FREQUENCY_DISPLAY_UPDATES = 60;", "constexpr int32_t FREQUENCY_DISPLAY_UPDATES = 59;", "frequency window for 60 updates"),
    ("gauges/radio_tacan.cpp", "        c += radioTacan.channelTens == 5 ? 20 : 10;", "        c += 10;", "tens knob skips the sixties"),
    ("gauges/radio_tacan.cpp", "    if (t >= 1080.0 && t <= 1122.0) radioTacan.channel", "    if (t >= 1080.0 && t < 1122.0) radioTacan.channel", "channel 59 at 112.20"),
    ("gauges/radio_tacan.cpp", "        if (tuningChanged) follow_receiver();", "        follow_receiver();", "radio follows the receiver only on tuning"),
    ("gauges/radio_tacan.cpp", "        trigger_key_event(tacanReceiver == 2 ? KEY_TACAN_TONE_ON_NAV2 : KEY_TACAN_TONE_ON_NAV1, 0);\n        follow_receiver();", "        follow_receiver();", "tone off at install"),
    ("gauges/radio_tacan.cpp", "static FLOAT64 power_lamp_value(ELEMENT_HEADER*) { return tacanMainSwitch ? 1.0 : -1.0; }", "static FLOAT64 power_lamp_value(ELEMENT_HEADER*) { return tacanMainSwitch ? 1.0 : 0.0; }", "power lamp dark when off"),
    ("gauges/radio_tacan.cpp", "    if (tacanMainSwitch && radioTacan.frequencyCountdown >= 1) {", "    if (radioTacan.frequencyCountdown >= 1) {", "frequency window dark when off"),
    ("gauges/carrier_indicator.cpp", "    if (tacan_presentation() && tacan_valid()) {\n        show(e, true);", "    if (tacan_presentation()) {\n        show(e, true);", "TACAN runway pointer only with a valid TACAN"),
    ("gauges/carrier_indicator.cpp", "(approachSolution.tcnTrueRadial - approachSolution.magneticVariation)", "(approachSolution.tcnTrueRadial + approachSolution.magneticVariation)", "bearing pointer magnetic"),
    ("gauges/carrier_indicator.cpp", "    carrierIndicator.presentationMode = !carrierIndicator.presentationMode;", "    carrierIndicator.presentationMode = 1;", "mode button toggles"),
    ("gauges/carrier_indicator.cpp", "\"(L:LSO_is_Off_VC, bool) ! (>L:LSO_is_Off_VC, bool)\"", "\"(L:LSO_is_Off_VC, bool) (>L:LSO_is_Off_VC, bool)\"", "LSO button inverts"),
    ("gauges/close_subpanel.cpp", "n >= BITMAP_ID_MIN && n <= BITMAP_ID_MAX", "n >= BITMAP_ID_MIN && n < BITMAP_ID_MAX", "bitmap 360 allowed"),
    ("gauges/close_subpanel.cpp", "        header->user_data = 1;\n", "", "install-time close once"),
    ("catapult/launch_model.cpp", "    set_named_variable_value(register_named_variable(\"Launch_Percent\"), launchPercent);\n", "", "progress published"),
    ("catapult/catapult_gauge.cpp", "    if (!(moduleState->catapult->Catapult_Lenght > 0.0)) {", "    if (moduleState->catapult->Catapult_Lenght < 0.0) {", "no stroke of zero length"),
]


def run(cmd, cwd, timeout=900):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout,
                          text=True).returncode


def top_level_outputs(folder, names):
    """The checkout's build folders, runs and git data; build_paths.cpp.in and
    other sources whose names start with "build" are copied."""
    if os.path.abspath(folder) != SOURCE:
        return []
    return [n for n in names if n.startswith("build") or n in ("runs", ".git")]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keep", help="scratch folder to reuse (kept afterwards)")
    parser.add_argument("--only", action="append", default=[],
                        help="run only the mutations whose file, text or description contains this (repeatable)")
    parser.add_argument("--start", type=int, default=0, help="skip the mutations before this index (0-based)")
    args = parser.parse_args()
    scratch = args.keep or tempfile.mkdtemp(prefix="carrier-mutations-")
    src = os.path.join(scratch, "src")
    if not os.path.isdir(src):
        shutil.copytree(SOURCE, src, ignore=top_level_outputs)
    else:  # a kept folder: take the current tests
        shutil.copytree(os.path.join(SOURCE, "tests"), os.path.join(src, "tests"), dirs_exist_ok=True)
    build = os.path.join(src, "build")
    env_prefix = ["nice", "-n", "10"]
    if not os.path.isdir(build):
        if run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], src):
            sys.exit("configure failed")
    targets = ["unit_tests", "scenario_tests", "carrier_ops", "carrier-bench"]
    if run(env_prefix + ["cmake", "--build", build, "-j", "2", "--target"] + targets, src, timeout=None):
        sys.exit("the unmutated build fails")
    # Each stage builds what its test program needs, then runs it: a mutation
    # the unit tests catch costs no link of the bench and the module.
    stages = [(["unit_tests"], "unit_tests"), (["scenario_tests", "carrier_ops", "carrier-bench"], "scenario_tests")]
    if any(run(["./" + t], build) for _, t in stages):
        sys.exit("the unmutated tests fail")

    caught = total = 0
    for index, (path, find, replace, what) in enumerate(MUTATIONS):
        if index < args.start:
            continue
        if args.only and not any(o in path or o in find or o in what for o in args.only):
            continue
        file = os.path.join(src, path)
        original = open(file).read()
        if original.count(find) != 1:
            print(f"SKIP   {path}: {what} (text found {original.count(find)} times)")
            continue
        total += 1
        open(file, "w").write(original.replace(find, replace))
        started = time.time()
        try:
            failed, how = False, ""
            for stage_targets, program in stages:
                if run(env_prefix + ["cmake", "--build", build, "-j", "2", "--target"] + stage_targets, src,
                       timeout=1800):
                    failed, how = True, "build"
                    break
                if run(["./" + program], build, timeout=300):
                    failed, how = True, program
                    break
        except subprocess.TimeoutExpired:
            failed, how = True, "timeout"
        finally:
            open(file, "w").write(original)
        caught += failed
        print(f"{'CAUGHT' if failed else 'MISSED'} {path}: {what}" + (f" ({how})" if failed else "")
              + f" [{time.time() - started:.0f} s]", flush=True)
    run(env_prefix + ["cmake", "--build", build, "-j", "2", "--target"] + targets, src)
    print(f"\n{caught} of {total} mutations caught ({100.0 * caught / max(total, 1):.0f}%)")
    if not args.keep:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Breaks the module's code one change at a time and reports which changes
the tests catch.

Each mutation replaces one exact text in one file (a comparison flipped, a
call dropped, two values swapped, a clear left out). The script copies the
checkout to a scratch folder, builds it once, then for each mutation applies
it, rebuilds, runs the unit and scenario tests and restores the file. A
mutation is caught when a test fails (or the build does). Usage:

    tests/mutation/run_mutations.py [--keep DIR] [--only SUBSTRING ...]

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
    ("sim/dispatch.cpp", "    if (lastSimConnectResult == S_OK) {\n        heloObjectExists = 0;", "    if (lastSimConnectResult != S_OK) {\n        heloObjectExists = 0;", "helo removal result test"),
    ("sim/dispatch.cpp", "carrier.deckHeading + carrier.Helo_Bearing * RAD_PER_DEG", "carrier.deckHeading + carrier.Helo_Bearing", "helo bearing in degrees"),
    ("sim/dispatch.cpp", "    aiInitPosition.OnGround = 1;\n    // Truncated", "    aiInitPosition.OnGround = 0;\n    // Truncated", "helo on ground"),
    ("sim/dispatch.cpp", "    if (lastSimConnectResult == S_OK) heloObjectExists = 1;", "    heloObjectExists = 1;", "helo creation result test"),
    ("sim/dispatch.cpp", "if (message->dwentrynumber != 1 || message->dwoutof != 1) return;", "if (message->dwentrynumber != 1 && message->dwoutof != 1) return;", "ship data entry and count"),
    ("sim/dispatch.cpp", "carrier.deckLongitude = ship.planeLongitude * -1.0;", "carrier.deckLongitude = ship.planeLongitude;", "deck longitude sign"),
    ("sim/dispatch.cpp", "    carrierDataReceived = 1;\n", "", "ship data flag set"),
    ("sim/dispatch.cpp", "if (carrier.Sim_Name_Helo == \"none\" || approachSolution.tcnValid != 1) return;", "if (approachSolution.tcnValid != 1) return;", "no helo for none"),
    ("sim/dispatch.cpp", "if (carrier.Sim_Name_Helo == \"none\" || approachSolution.tcnValid != 1) return;", "if (carrier.Sim_Name_Helo == \"none\") return;", "helo only with TCN valid"),
    ("sim/dispatch.cpp", "std::fabs(carrier.deckYawRate) > SHIP_TURNING_YAW_RATE", "std::fabs(carrier.deckYawRate) >= SHIP_TURNING_YAW_RATE", "turning is strictly above 0.01"),
    ("sim/dispatch.cpp", "            heloSpeed = carrier.deckSpeed;", "            heloSpeed = 0.0;", "helo speed follows the ship"),
    ("sim/dispatch.cpp", "        heloControlReleased = 1;\n", "", "helo release flag"),
    ("sim/dispatch.cpp", "        flolsObjectId = message->dwObjectID;\n", "", "FLOLS object id"),
    ("sim/dispatch.cpp", "        request_boat_list();\n        if (message->dwData != carrierObjectId) return;", "        if (message->dwData != carrierObjectId) return;", "removal renews the boat list"),
    ("sim/dispatch.cpp", "        if (message->dwData != carrierObjectId) return;\n        carrierFound = 0;", "        if (message->dwData != carrierObjectId) return;", "removed ship no longer found"),
    ("sim/dispatch.cpp", "if (!found || d < best_distance) {", "if (!found || d <= best_distance) {", "nearest boat, ties keep the lower entry"),
    ("sim/dispatch.cpp", "            carrierDataReceived = 0;\n", "", "retuning clears the ship data flag"),
    ("sim/dispatch.cpp", "            request_carrier_data(carrierObjectId);\n", "", "ship data requested on selection"),
    ("sim/dispatch.cpp", "            if (moduleState->sounds->soundReloadNeeded) load_sounds();\n        } else {", "            load_sounds();\n        } else {", "sounds only when reload needed (ship)"),
    ("sim/dispatch.cpp", "            show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);\n        }", "            show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f);\n        }", "ship not found: 5 s"),
    ("sim/dispatch.cpp", "carrier.deckAltitude * 6076.115485564304", "carrier.deckAltitude * 6076.0", "FLOLS altitude in feet"),
    ("sim/dispatch.cpp", "        tacanMessage = \" \";", "        tacanMessage = \"\";", "blank message"),
    ("sim/dispatch.cpp", "    clear_approach_solution();\n", "", "selection clears the results"),
    ("sim/dispatch.cpp", "        if (lastSimConnectResult == S_OK) flolsObjectExists = 0;", "        flolsObjectExists = 0;", "FLOLS removal result test"),
    ("sim/dispatch.cpp", "        lockMessagePending = 1;\n        if (moduleState->sounds->soundReloadNeeded) load_sounds();\n        if (carrier.FLOLS_Name", "        if (moduleState->sounds->soundReloadNeeded) load_sounds();\n        if (carrier.FLOLS_Name", "fixed site: tuning message pending"),
    ("sim/deck_services.cpp", "ground_speed <= REFUEL_MAX_GROUND_SPEED", "ground_speed < REFUEL_MAX_GROUND_SPEED", "refuel at exactly 0.1"),
    ("sim/deck_services.cpp", "parking_brake == 1 &&", "parking_brake != 0 &&", "parking brake equals 1"),
    ("sim/deck_services.cpp", "static_cast<double>(EnginePowerPercent) < moduleState", "static_cast<double>(EnginePowerPercent) <= moduleState", "launch power strictly above"),
    ("sim/deck_services.cpp", "        launchRequested = 1;\n", "", "launch requested"),
    ("sim/deck_services.cpp", "return value == 1 || !is_button;", "return value != 0 || !is_button;", "button acts on 1 only"),
    ("sim/deck_services.cpp", "show_text(\"Animation is toggled!\", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);", "show_text(\"Animation is toggled!\", SIMCONNECT_TEXT_TYPE_PRINT_RED, 2.0f);", "toggle text colour"),
    ("sim/deck_services.cpp", "        show_text(\"Refuelling is done!\", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);\n", "", "refuel text"),
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
]


def run(cmd, cwd, timeout=900):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout,
                          text=True).returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keep", help="scratch folder to reuse (kept afterwards)")
    parser.add_argument("--only", action="append", default=[],
                        help="run only the mutations whose file, text or description contains this (repeatable)")
    args = parser.parse_args()
    scratch = args.keep or tempfile.mkdtemp(prefix="carrier-mutations-")
    src = os.path.join(scratch, "src")
    if not os.path.isdir(src):
        shutil.copytree(SOURCE, src, ignore=shutil.ignore_patterns("build*", "runs", ".git"))
    else:  # a kept folder: take the current tests
        shutil.copytree(os.path.join(SOURCE, "tests"), os.path.join(src, "tests"), dirs_exist_ok=True)
    build = os.path.join(src, "build")
    env_prefix = ["nice", "-n", "19"]
    if not os.path.isdir(build):
        if run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], src):
            sys.exit("configure failed")
    targets = ["unit_tests", "scenario_tests", "carrier_ops", "carrier-bench"]
    if run(env_prefix + ["cmake", "--build", build, "-j", "2", "--target"] + targets, src, timeout=None):
        sys.exit("the unmutated build fails")
    tests = [["./unit_tests"], ["./scenario_tests"]]
    if any(run(t, build) for t in tests):
        sys.exit("the unmutated tests fail")

    caught = total = 0
    for path, find, replace, what in MUTATIONS:
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
            failed = run(env_prefix + ["cmake", "--build", build, "-j", "2", "--target"] + targets, src,
                         timeout=1800) != 0
            how = "build"
            if not failed:
                for t in tests:
                    if run(t, build, timeout=300):
                        failed, how = True, t[0][2:]
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

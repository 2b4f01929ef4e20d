// A recording fake of the host's panel services for unit tests of module code:
// installs itself in ImportTable, answers calculator expressions from a table
// of exact texts, and records every call in order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "module/host_services.h"

struct FakePanels {
    struct KeyEvent {
        uint32_t id;
        uint32_t value;
    };
    std::map<std::string, double> results;      // expression text -> value it yields
    std::vector<std::string> executed;          // every expression, in order
    std::vector<KeyEvent> keyEvents;            // every trigger_key_event, in order
    std::map<std::string, int32_t> namedIds;    // registered names
    std::vector<std::pair<int32_t, double>> namedSets;  // every set_named_variable_value
    std::map<int32_t, double> moduleVars;       // lookup_var answers
    std::vector<uint32_t> windowToggles;
    std::vector<std::pair<GAUGE_KEY_EVENT_HANDLER, void*>> registeredHandlers;    // in order
    std::vector<std::pair<GAUGE_KEY_EVENT_HANDLER, void*>> unregisteredHandlers;  // in order
    std::vector<std::pair<ELEMENT_HEADER*, uint32_t>> elementWords;  // install and generate calls
    bool throwOnCall = false;  // every service throws std::runtime_error (a misbehaving host)

    FakePanels();   // installs into ImportTable
    ~FakePanels();  // removes itself
    static FakePanels* current;
};

// The host's panel services as the module calls them: thin wrappers over the
// table that the host stores in ImportTable before module start. Every panel
// variable, calculator expression, key event and element-list call of the
// module goes through here.
#pragma once

#include <cstdint>

#include "platform/gauge_interface.h"

// The exported import table; entry 1 holds the host's panel-services table.
extern "C" IMPORT_TABLE ImportTable;

// Evaluates a postfix expression; any result pointer may be null. The host
// leaves the results untouched when it cannot evaluate the expression.
void execute_calculator_code(const char* code, double* fvalue, int32_t* ivalue, const char** svalue);
void trigger_key_event(uint32_t event_id, uint32_t value);
int32_t register_named_variable(const char* name);
void set_named_variable_value(int32_t id, double value);
void lookup_var(MODULE_VAR* var);
void panel_window_toggle(uint32_t window_id);
void register_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data);
void unregister_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data);

int32_t element_list_query(ELEMENT_HEADER* element);
int32_t element_list_install(ELEMENT_HEADER* element, uint32_t word);
int32_t element_list_initialize(ELEMENT_HEADER* element);
int32_t element_list_update(ELEMENT_HEADER* element);
int32_t element_list_generate(ELEMENT_HEADER* element, uint32_t word);
int32_t element_list_plot(ELEMENT_HEADER* element);
int32_t element_list_kill(ELEMENT_HEADER* element);

// Calls through the host's panel-services table.
#include "module/host_services.h"

extern "C" {
__attribute__((visibility("default"))) IMPORT_TABLE ImportTable = {
    {PANELS_TABLE_ID, nullptr},  // the host stores its table here before module start
    {0, nullptr},
};
}

static PANELS* panels() { return ImportTable.PANELSentry.fnptr; }

void execute_calculator_code(const char* code, double* fvalue, int32_t* ivalue, const char** svalue)
{
    panels()->execute_calculator_code(code, fvalue, ivalue, svalue);
}

void trigger_key_event(uint32_t event_id, uint32_t value) { panels()->trigger_key_event(event_id, value); }
int32_t register_named_variable(const char* name) { return panels()->register_named_variable(name); }
void set_named_variable_value(int32_t id, double value) { panels()->set_named_variable_value(id, value); }
void lookup_var(MODULE_VAR* var) { panels()->lookup_var(var); }
void panel_window_toggle(uint32_t window_id) { panels()->panel_window_toggle(window_id); }

void register_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    panels()->register_key_event_handler(handler, user_data);
}

void unregister_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    panels()->unregister_key_event_handler(handler, user_data);
}

int32_t element_list_query(ELEMENT_HEADER* element) { return panels()->element_list_query(element); }
int32_t element_list_install(ELEMENT_HEADER* element, uint32_t word)
{
    return panels()->element_list_install(element, word);
}
int32_t element_list_initialize(ELEMENT_HEADER* element) { return panels()->element_list_initialize(element); }
int32_t element_list_update(ELEMENT_HEADER* element) { return panels()->element_list_update(element); }
int32_t element_list_generate(ELEMENT_HEADER* element, uint32_t word)
{
    return panels()->element_list_generate(element, word);
}
int32_t element_list_plot(ELEMENT_HEADER* element) { return panels()->element_list_plot(element); }
int32_t element_list_kill(ELEMENT_HEADER* element) { return panels()->element_list_kill(element); }

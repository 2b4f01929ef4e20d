#include "fake_panels.h"

#include <stdexcept>

#include "geo/numeric.h"

FakePanels* FakePanels::current = nullptr;

namespace {
void maybe_throw()
{
    if (FakePanels::current->throwOnCall) throw std::runtime_error("host service failed");
}
SINT32 element_noop(ELEMENT_HEADER*)
{
    maybe_throw();
    return 0;
}
SINT32 element_word_noop(ELEMENT_HEADER* element, UINT32 word)
{
    maybe_throw();
    FakePanels::current->elementWords.emplace_back(element, word);
    return 0;
}
void window_toggle(UINT32 id) { FakePanels::current->windowToggles.push_back(id); }
void key_event(UINT32 id, UINT32 value) { FakePanels::current->keyEvents.push_back({id, value}); }
void lookup(MODULE_VAR* var) { var->value = FakePanels::current->moduleVars[var->id]; }
ID register_name(const char* name)
{
    auto& ids = FakePanels::current->namedIds;
    auto it = ids.find(name);
    if (it != ids.end()) return it->second;
    const ID id = static_cast<ID>(ids.size()) + 1;
    ids[name] = id;
    return id;
}
void set_named(ID id, FLOAT64 value) { FakePanels::current->namedSets.emplace_back(id, value); }
bool execute(const char* code, FLOAT64* f, SINT32* i, const char** s)
{
    FakePanels& fake = *FakePanels::current;
    maybe_throw();
    fake.executed.emplace_back(code);
    auto it = fake.results.find(code);
    if (it == fake.results.end()) return false;
    if (f) *f = it->second;
    if (i) *i = truncate_to_int32(it->second);
    return true;
}
bool register_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    maybe_throw();
    FakePanels::current->registeredHandlers.emplace_back(handler, user_data);
    return true;
}
bool unregister_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    maybe_throw();
    FakePanels::current->unregisteredHandlers.emplace_back(handler, user_data);
    return true;
}

PANELS table = {element_noop, element_word_noop, element_noop, element_noop, element_word_noop,
                element_noop, element_noop, window_toggle, key_event, lookup, register_name,
                set_named, execute, register_handler, unregister_handler};
}  // namespace

FakePanels::FakePanels()
{
    current = this;
    ImportTable.PANELSentry.fnptr = &table;
}

FakePanels::~FakePanels()
{
    ImportTable.PANELSentry.fnptr = nullptr;
    current = nullptr;
}

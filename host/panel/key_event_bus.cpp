// Registered key handlers, synchronous delivery and the host's NAV keys.
#include "host/panel/key_event_bus.h"
#include "host/record/printf_text.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "host/panel/calculator.h"
#include "host/world/sim_vars.h"
#include "host/record/timeline.h"
#include "host/world/world.h"

namespace host {
namespace {

// An id as the timeline writes it: "0x" and upper-case hex digits.
std::string hex(uint32_t v) { return printf_text("0x%X", v); }

}  // namespace

bool KeyEventBus::register_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    handlers_.push_back({handler, user_data});
    timeline_.add("key_handler", {{"action", "register"}});
    return true;
}

bool KeyEventBus::unregister_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
        if (it->handler == handler && it->user_data == user_data) {
            handlers_.erase(it);
            timeline_.add("key_handler", {{"action", "unregister"}});
            return true;
        }
    }
    return false;
}

void KeyEventBus::trigger(uint32_t id, uint32_t value, const char* source)
{
    char id_text[16];
    std::snprintf(id_text, sizeof id_text, "0x%X", id);
    {
        Timeline::Line line = timeline_.event("key");
        line.str("id", id_text);
        if (const char* name = key_event_name(id)) line.str("name", name);
        line.str("source", source ? source : "").uinteger("value", value);
    }
    if (depth_ > MAX_DEPTH) {
        timeline_.add("host_error", {{"what", "key events nested too deeply; dropped"}, {"id", hex(id)}});
        return;
    }
    ++depth_;
    host_reaction(id, value);
    // Handlers may unregister themselves while running: iterate over a copy
    // (on the stack for the usual few).
    constexpr size_t FEW = 8;
    Handler few[FEW];
    std::vector<Handler> many;
    const Handler* handlers = few;
    const size_t count = handlers_.size();
    if (count <= FEW) {
        std::copy(handlers_.begin(), handlers_.end(), few);
    } else {
        many = handlers_;
        handlers = many.data();
    }
    for (size_t k = 0; k < count; ++k) handlers[k].handler(id, value, handlers[k].user_data);
    --depth_;
}

// The host's own reaction to the key events it implements.
void KeyEventBus::host_reaction(uint32_t id, uint32_t value)
{
    if (id != 0x100AC && id != 0x100AD) return;
    // NAV radio set: the value is the frequency in packed BCD of hundredths of MHz.
    uint32_t bcd = value;
    double hundredths = 0.0;
    double scale = 1.0;
    while (bcd) {
        const uint32_t digit = bcd & 0xF;
        if (digit > 9) {
            timeline_.add("host_error", {{"what", "NAV frequency key with a value that is not BCD"}, {"value", hex(value)}});
            return;
        }
        hundredths += digit * scale;
        scale *= 10.0;
        bcd >>= 4;
    }
    const char* name = id == 0x100AC ? "NAV ACTIVE FREQUENCY:1" : "NAV ACTIVE FREQUENCY:2";
    World::set(world_.user(), *find_sim_var(name), hundredths / 100.0);
}

}  // namespace host

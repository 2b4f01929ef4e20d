// The host's key-event bus: the key handlers the module registers, the
// synchronous delivery of every key event (the host's own reaction first,
// then each handler in registration order) and the recording of each event
// on the timeline with its source ("module", "calculator", "scenario", ...).
//
// The host reacts itself to the NAV frequency keys NAV1_RADIO_SET (0x100AC)
// and NAV2_RADIO_SET (0x100AD): the value, packed BCD of hundredths of MHz,
// becomes the user aircraft's "NAV ACTIVE FREQUENCY:1" or ":2".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gauge_interface.h"

namespace host {

class Timeline;
class World;

class KeyEventBus {
public:
    // Key events raised while delivering more than this many nested ones are
    // recorded and dropped (a handler that raises its own event forever).
    static constexpr int MAX_DEPTH = 64;

    KeyEventBus(Timeline& timeline, World& world) : timeline_(timeline), world_(world) {}

    // Adds a handler (the same pair may be added twice: it is then called twice).
    bool register_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data);
    // Removes the first registration of the pair; false when there is none.
    bool unregister_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data);
    size_t handler_count() const { return handlers_.size(); }

    // Records the event and delivers it at once. Handlers may raise further
    // events (delivered within, depth first) and may register or unregister
    // handlers: this delivery goes to the handlers registered when it began.
    void trigger(uint32_t id, uint32_t value, const char* source);

private:
    struct Handler {
        GAUGE_KEY_EVENT_HANDLER handler;
        void* user_data;
    };

    void host_reaction(uint32_t id, uint32_t value);

    Timeline& timeline_;
    World& world_;
    std::vector<Handler> handlers_;
    int depth_ = 0;
};

}  // namespace host

// The host's key-event bus on its own: delivery order, events raised and
// handlers changed during a delivery, the recording and the NAV keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/panel/key_event_bus.h"
#include "host/world/sim_vars.h"
#include "host/record/timeline.h"
#include "host/world/world.h"

namespace {

struct Delivery {
    std::string handler;
    uint32_t id;
    uint32_t value;
    bool operator==(const Delivery&) const = default;
};

// A handler's user data: its name, the shared log and what it does when called.
struct Probe {
    std::string name;
    std::vector<Delivery>* log;
    host::KeyEventBus* bus = nullptr;
    uint32_t raise_on = 0;  // on this id it raises raise_on + 1
    Probe* unregister = nullptr;  // on any event it unregisters this probe
};

void probe_handler(UINT32 id, UINT32 value, void* user)
{
    Probe& p = *static_cast<Probe*>(user);
    p.log->push_back({p.name, id, value});
    if (p.raise_on != 0 && id == p.raise_on) p.bus->trigger(id + 1, value, "module");
    if (p.unregister) {
        p.bus->unregister_handler(probe_handler, p.unregister);
        p.unregister = nullptr;
    }
}

struct Bus {
    host::Timeline timeline;
    host::World world;
    host::KeyEventBus bus{timeline, world};
    std::vector<Delivery> log;
    Probe a{"a", &log, &bus}, b{"b", &log, &bus}, c{"c", &log, &bus};
};

}  // namespace

TEST(KeyEventBus, DeliversToEveryHandlerInRegistrationOrder)
{
    Bus t;
    t.bus.register_handler(probe_handler, &t.b);
    t.bus.register_handler(probe_handler, &t.a);
    t.bus.register_handler(probe_handler, &t.c);
    t.bus.trigger(0x11101, 7, "scenario");
    EXPECT_EQ(t.log, (std::vector<Delivery>{{"b", 0x11101, 7}, {"a", 0x11101, 7}, {"c", 0x11101, 7}}));

    EXPECT_TRUE(t.bus.unregister_handler(probe_handler, &t.a));
    EXPECT_FALSE(t.bus.unregister_handler(probe_handler, &t.a));  // only once
    t.log.clear();
    t.bus.trigger(0x11102, 1, "scenario");
    EXPECT_EQ(t.log, (std::vector<Delivery>{{"b", 0x11102, 1}, {"c", 0x11102, 1}}));

    std::vector<std::string> actions;
    for (const auto* e : t.timeline.of_kind("key_handler")) actions.push_back(e->data["action"]);
    EXPECT_EQ(actions, (std::vector<std::string>{"register", "register", "register", "unregister"}));
}

TEST(KeyEventBus, AnEventRaisedDuringDeliveryIsDeliveredWithinIt)
{
    Bus t;
    t.a.raise_on = 0x11101;
    t.bus.register_handler(probe_handler, &t.a);
    t.bus.register_handler(probe_handler, &t.b);
    t.bus.trigger(0x11101, 3, "scenario");
    // Depth first: the raised event reaches every handler before the first
    // event reaches the second handler.
    EXPECT_EQ(t.log, (std::vector<Delivery>{
                         {"a", 0x11101, 3}, {"a", 0x11102, 3}, {"b", 0x11102, 3}, {"b", 0x11101, 3}}));
    const auto keys = t.timeline.of_kind("key");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0]->data["id"], "0x11101");
    EXPECT_EQ(keys[0]->data["source"], "scenario");
    EXPECT_EQ(keys[1]->data["id"], "0x11102");
    EXPECT_EQ(keys[1]->data["source"], "module");
}

TEST(KeyEventBus, HandlersChangedDuringDeliveryTakeEffectOnTheNextEvent)
{
    // Both the few handlers copied on the stack and a longer list.
    for (const int extra : {0, 9}) {
        SCOPED_TRACE(extra);
        Bus t;
        std::vector<Probe> others(static_cast<size_t>(extra), Probe{"x", &t.log, &t.bus});
        t.a.unregister = &t.b;  // a removes b while the first event is delivered
        t.bus.register_handler(probe_handler, &t.a);
        t.bus.register_handler(probe_handler, &t.b);
        for (Probe& p : others) t.bus.register_handler(probe_handler, &p);
        t.bus.trigger(1, 0, "scenario");
        ASSERT_EQ(t.log.size(), 2u + static_cast<size_t>(extra));
        EXPECT_EQ(t.log[1].handler, "b");  // still reached by the event in delivery
        t.log.clear();
        t.bus.trigger(2, 0, "scenario");
        ASSERT_EQ(t.log.size(), 1u + static_cast<size_t>(extra));
        for (const Delivery& d : t.log) EXPECT_NE(d.handler, "b");
        EXPECT_EQ(t.bus.handler_count(), 1u + static_cast<size_t>(extra));
    }
}

TEST(KeyEventBus, AHandlerRaisingItsOwnEventForeverIsCutOff)
{
    struct Loop {
        host::KeyEventBus* bus;
        int calls = 0;
    };
    host::Timeline timeline;
    host::World world;
    host::KeyEventBus bus(timeline, world);
    Loop loop{&bus};
    bus.register_handler(
        [](UINT32 id, UINT32 value, void* user) {
            Loop& l = *static_cast<Loop*>(user);
            ++l.calls;
            l.bus->trigger(id, value, "module");
        },
        &loop);
    bus.trigger(0x11103, 0, "scenario");
    EXPECT_EQ(loop.calls, host::KeyEventBus::MAX_DEPTH + 1);
    EXPECT_EQ(timeline.count("key"), static_cast<uint64_t>(host::KeyEventBus::MAX_DEPTH + 2));
    const auto errors = timeline.of_kind("host_error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]->data["what"], "key events nested too deeply; dropped");
    EXPECT_EQ(errors[0]->data["id"], "0x11103");
}

TEST(KeyEventBus, RecordsEachEventWithItsNameAndSourceBeforeDelivery)
{
    Bus t;
    t.bus.register_handler(probe_handler, &t.a);
    t.bus.trigger(0x100AC, 0x10800, "calculator");
    t.bus.trigger(0x12345, 9, nullptr);
    const auto keys = t.timeline.of_kind("key");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0]->data, (nlohmann::json{{"id", "0x100AC"}, {"name", "NAV1_RADIO_SET"}, {"source", "calculator"},
                                             {"value", 0x10800}}));
    EXPECT_EQ(keys[1]->data, (nlohmann::json{{"id", "0x12345"}, {"source", ""}, {"value", 9}}));
    EXPECT_EQ(t.log.size(), 2u);
}

TEST(KeyEventBus, TheNavKeysTuneTheUserAircraftsReceivers)
{
    const host::SimVarInfo& nav1 = *host::find_sim_var("NAV ACTIVE FREQUENCY:1");
    const host::SimVarInfo& nav2 = *host::find_sim_var("NAV ACTIVE FREQUENCY:2");
    struct Case {
        uint32_t id, value;
        double nav1, nav2;  // MHz afterwards; both start at 1
        bool error;
    } cases[] = {
        {0x100AC, 0x10800, 108.00, 1, false},
        {0x100AC, 0x11795, 117.95, 1, false},
        {0x100AD, 0x11230, 1, 112.30, false},
        {0x100AC, 0x10A00, 1, 1, true},  // not BCD: left alone
        {0x100AE, 0x10800, 1, 1, false}, // another key: no reaction
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Bus t;
        host::World::set(t.world.user(), nav1, 1.0);
        host::World::set(t.world.user(), nav2, 1.0);
        t.bus.trigger(c.id, c.value, "module");
        EXPECT_NEAR(host::World::get(t.world.user(), nav1), c.nav1, 1e-9);
        EXPECT_NEAR(host::World::get(t.world.user(), nav2), c.nav2, 1e-9);
        EXPECT_EQ(t.timeline.count("host_error"), c.error ? 1u : 0u);
    }
}

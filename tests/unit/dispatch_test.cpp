// The boat list and carrier detection of the dispatch procedure, fed with
// hand-built messages.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_panels.h"
#include "module_reset.h"
#include "sim/dispatch.h"
#include "state/module_state.h"

namespace {

class BoatListTest : public ::testing::Test {
protected:
    void SetUp() override { reset_module_values(); }
    void TearDown() override { reset_module_values(); }

    // One boat-list reply: entry k of n, object id, title (unterminated when
    // `terminated` is false), position in radians.
    void reply(DWORD k, DWORD n, DWORD object, const char* title, double lat = 0.0, double lon = 0.0,
               bool terminated = true)
    {
        std::vector<unsigned char> bytes(40 + sizeof(BoatListEntry), 0);
        auto* header = reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(bytes.data());
        header->dwSize = static_cast<DWORD>(bytes.size());
        header->dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE;
        header->dwRequestID = 1;
        header->dwObjectID = object;
        header->dwDefineID = 1;
        header->dwentrynumber = k;
        header->dwoutof = n;
        BoatListEntry entry{};
        if (terminated) std::strncpy(entry.title, title, sizeof entry.title - 1);
        else std::memset(entry.title, 'X', sizeof entry.title);
        entry.planeLatitude = lat;
        entry.planeLongitude = lon;
        std::memcpy(bytes.data() + 40, &entry, sizeof entry);
        dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(bytes.data()), header->dwSize, nullptr);
    }

    std::vector<int32_t> entries() const
    {
        std::vector<int32_t> out;
        for (const auto& [k, boat] : boatList) out.push_back(k);
        return out;
    }

};

}  // namespace

TEST_F(BoatListTest, ShorterRepliesRemoveEverySurplusEntryEvenAfterAGap)
{
    reply(1, 3, 11, "Boat A");
    reply(2, 3, 12, "Boat B", 0, 0, /*terminated=*/false);  // never stored
    reply(3, 3, 13, "Boat C");
    EXPECT_EQ(entries(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(moduleState->boatCount, 3);

    // Two boats now, the second again without a terminator: entry 3 must go
    // although the list held only two entries.
    reply(1, 2, 11, "Boat A");
    reply(2, 2, 12, "Boat B", 0, 0, false);
    EXPECT_EQ(entries(), (std::vector<int32_t>{1}));
    EXPECT_EQ(moduleState->boatCount, 2);

    // No boats at all: one message with entry 0 of 0 empties the list.
    reply(0, 0, 0, "");
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(moduleState->boatCount, 0);

    // Entry 0 of a non-zero count is still a record: only 0 of 0 carries none.
    reply(0, 1, 40, "Boat Zero");
    EXPECT_EQ(entries(), (std::vector<int32_t>{0}));
    EXPECT_EQ(boatList[0].objectId, 40u);
}

TEST_F(BoatListTest, TheNearestBoatWithExactlyTheTitleIsFoundAndTiesKeepTheLowerEntry)
{
    moduleState->userAircraft->planeLatitude = 0.0;
    moduleState->userAircraft->planeLongitude = 0.0;
    moduleState->carrier->Sim_Name = "Carrier Nimitz CVN-68";
    reply(1, 6, 21, "Carrier Nimitz CVN-68", 0.0, 0.003);
    reply(2, 6, 22, "carrier nimitz cvn-68", 0.0, 0.0001);    // other case
    reply(3, 6, 23, "Carrier Nimitz CVN-68 ", 0.0, 0.0001);   // trailing blank
    reply(4, 6, 24, "Carrier Nimitz CVN-68", 0.0, -0.002);    // nearer than entry 1
    reply(5, 6, 25, "Carrier Nimitz CVN-6", 0.0, 0.00005);    // partial
    reply(6, 6, 26, "Carrier Nimitz CVN-68", 0.002, 0.0);     // as near as entry 4
    EXPECT_EQ(find_carrier_object(), 24u);

    moduleState->carrier->Sim_Name = "Carrier Kitty Hawk CV-63";
    EXPECT_EQ(find_carrier_object(), 0u);
}

// Carrier selection and carrier detection.
#include "sim/carrier_selection.h"

#include <tinyxml.h>

#include "config/carrier_list.h"
#include "geo/approach.h"
#include "geo/geodesy.h"
#include "geo/numeric.h"
#include "sim/ai_objects.h"
#include "sim/connection.h"
#include "sim/dispatch.h"
#include "sound/sound_channel.h"
#include "state/module_state.h"

uint32_t carrierObjectId = 0;
uint8_t carrierDataReceived = 0;
uint8_t lockMessagePending = 0;
std::string tacanMessage;

uint32_t find_carrier_object()
{
    const UserAircraftData& user = *moduleState->userAircraft;
    const std::string& wanted = moduleState->carrier->Sim_Name;
    uint32_t best = 0;
    double best_distance = 0.0;
    bool found = false;
    for (const auto& [entry, boat] : boatList) {
        if (boat.title != wanted) continue;
        const double d =
            great_circle_distance(user.planeLatitude, -user.planeLongitude, boat.latitude, -boat.longitude);
        if (!found || d < best_distance) {
            found = true;
            best = boat.objectId;
            best_distance = d;
        }
    }
    return best;
}

void select_carrier()
{
    TiXmlDocument document("./Gauges/ZEB_Carrier.xml");
    load_carrier_entry(document, to_single_precision(tunedTacanFrequency));
    CarrierEntry& carrier = *moduleState->carrier;

    tacanMessage = "TACAN tuned on " + carrier.Name;

    clear_approach_solution();
    carrierFound = 0;
    carrierObjectId = 0;

    if (flolsObjectExists) remove_flols_object();
    if (heloObjectExists) remove_helo_object();

    if (carrier.valid == 1 && carrier.CarrierType == CARRIER_TYPE_SHIP) {
        carrierObjectId = find_carrier_object();
        if (carrierObjectId != 0) {
            carrierFound = 1;
            lockMessagePending = 1;
            carrierDataReceived = 0;
            request_carrier_data(carrierObjectId);
            // Refused, no data from this ship will come: say at once that the
            // TACAN is tuned but not locked. A later lock still says so.
            if (lastSimConnectResult != 0) show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);
            if (moduleState->sounds->soundReloadNeeded) load_sounds();
        } else {
            carrierFound = 0;
            lockMessagePending = 0;
            show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);
        }
    } else if (carrier.valid == 1 && carrier.CarrierType == CARRIER_TYPE_FIXED_SITE) {
        carrierFound = 1;
        lockMessagePending = 1;
        if (moduleState->sounds->soundReloadNeeded) load_sounds();
        if (carrier.FLOLS_Name != "none") create_flols_object();
    } else {
        tacanMessage.assign(1, ' ');  // one blank
        carrierFound = 0;
        lockMessagePending = 0;
        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f);
    }
}  // the carrier-list document is released here

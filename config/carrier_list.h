// The carrier list "./Gauges/ZEB_Carrier.xml": landing places keyed by TACAN
// frequency, read afresh on every tuning into the current CarrierEntry.
#pragma once

class TiXmlDocument;

// Loads `document` (constructed with the list's path, not yet loaded) and
// copies the first entry whose frequency equals `frequency` (compared in
// single precision) into the current carrier; with no match the carrier is
// cleared and marked invalid. Also sets soundReloadNeeded.
// Returns 1 on a match, 0 when none matched, 1 when the file cannot be loaded
// and 2 when CarrierList or its first entry is missing; on those two failures
// the current carrier is unchanged.
int load_carrier_entry(TiXmlDocument& document, float frequency);

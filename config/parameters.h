// The parameters file "./Gauges/ZEB_Parameters.xml": input definitions, light
// and officer thresholds and catapult values, read once at module start.
#pragma once

class TiXmlDocument;

// Loads `document` (constructed with the file's path, not yet loaded) and fills
// the configuration records of the central state and EnginePowerPercent.
// Returns 0 when every section was read, 1 when the file cannot be loaded or
// parsed (two lines on standard error, nothing changed), 2 when a section is
// missing ("no node found"; earlier sections stay read, later ones untouched).
int load_parameters_file(TiXmlDocument& document);

// Writes the two standard-error lines of a document that failed to load:
// "erreur lors du chargement" and "error #<id> : <description>".
void report_load_failure(const TiXmlDocument& document);

// Writes the standard-error line of a missing element: "no node found".
void report_missing_node();

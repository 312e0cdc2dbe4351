#pragma once

#include <string>

namespace corvale::tools {

/**
 * Writes the sample city, city.gpkg, into the folder:
 * - "streets" (EPSG:25832, lines): a few hundred segments, most streets made
 *   of several features with the same name; names with apostrophes, commas,
 *   leading and trailing blanks, case twins, non-ASCII letters, one that
 *   reads like an injected clause; null, empty and blank names; one street
 *   without geometry. Fields: name, "Alt Name" (a name with a blank), lanes
 *   (integer), width_m (real), opened (date), surveyed (date and time).
 * - "hydrants" (EPSG:4326, points): hydrant_id, flow_lpm, installed.
 * - "water_mains" (EPSG:25832, lines): main_id, diameter_mm, material.
 * - "street_owners": a table without geometry.
 * The same call writes the same bytes.
 */
void writeSampleCity(const std::string& gpkgPath);

}  // namespace corvale::tools

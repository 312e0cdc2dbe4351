#pragma once

#include <string>

namespace corvale::tools {

/**
 * Writes a QGIS project (.qgs) next to the sample city's GeoPackage, with
 * paths relative to it:
 *   streets                       feature layer (EPSG:25832)
 *   Utilities                     group
 *     hydrants                    feature layer (EPSG:4326)
 *     water_mains                 feature layer (EPSG:25832)
 *     Archive                     group inside the group
 *       old_mains                 feature layer (the water mains again)
 *   street_owners                 table without geometry
 * The project's coordinate reference system, which the canvas takes, is
 * EPSG:3857, so every layer is drawn through a transform. Layer ids and the
 * saving user and time are fixed, so the same GeoPackage gives the same file.
 * Needs an initialised QgsApplication. Returns false (with a message on
 * stderr) when a layer cannot be loaded or the file cannot be written.
 */
bool writeCityProject(const std::string& gpkgPath, const std::string& projectPath);

}  // namespace corvale::tools

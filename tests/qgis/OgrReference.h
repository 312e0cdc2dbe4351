#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvale::testing {

/// A row of an SQL result as OGR reads it: each column's text, or nothing for null.
using OgrRow = std::vector<std::optional<std::string>>;

/**
 * Runs SQL on a GeoPackage through GDAL's C API alone, not through QGIS: the
 * tests' independent account of what a file holds. The SQLite dialect is used.
 */
std::vector<OgrRow> ogrQuery(const std::filesystem::path& gpkg, const std::string& sql);

/// The first column of every row of the query.
std::vector<std::optional<std::string>> ogrColumn(const std::filesystem::path& gpkg,
                                                  const std::string& sql);

/// The number of rows of the sample city's street layer, as OGR counts them.
int streetRows(const std::filesystem::path& gpkg);

}  // namespace corvale::testing

#include "qgis/OgrReference.h"

#include <stdexcept>

#include <gdal.h>
#include <ogr_api.h>

namespace corvale::testing {

std::vector<OgrRow> ogrQuery(const std::filesystem::path& gpkg, const std::string& sql) {
  GDALAllRegister();
  GDALDatasetH dataset =
      GDALOpenEx(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
  if (!dataset) throw std::runtime_error("cannot open " + gpkg.string());
  OGRLayerH result = GDALDatasetExecuteSQL(dataset, sql.c_str(), nullptr, "SQLITE");
  if (!result) {
    GDALClose(dataset);
    throw std::runtime_error("cannot run " + sql);
  }
  std::vector<OgrRow> rows;
  OGRFeatureH feature;
  while ((feature = OGR_L_GetNextFeature(result)) != nullptr) {
    OgrRow row;
    for (int i = 0; i < OGR_F_GetFieldCount(feature); ++i) {
      if (OGR_F_IsFieldSetAndNotNull(feature, i)) {
        row.emplace_back(OGR_F_GetFieldAsString(feature, i));
      } else {
        row.emplace_back(std::nullopt);
      }
    }
    rows.push_back(std::move(row));
    OGR_F_Destroy(feature);
  }
  GDALDatasetReleaseResultSet(dataset, result);
  GDALClose(dataset);
  return rows;
}

std::vector<std::optional<std::string>> ogrColumn(const std::filesystem::path& gpkg,
                                                  const std::string& sql) {
  std::vector<std::optional<std::string>> column;
  for (auto& row : ogrQuery(gpkg, sql))
    column.push_back(row.empty() ? std::nullopt : row[0]);
  return column;
}

int streetRows(const std::filesystem::path& gpkg) {
  const auto count = ogrColumn(gpkg, "SELECT COUNT(*) FROM streets").at(0);
  return count ? std::stoi(*count) : -1;
}

}  // namespace corvale::testing

#include "GpkgWriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>

namespace corvale::tools {

namespace {
constexpr int64_t kFeaturesPerTransaction = 100000;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "corvale_citygen: %s: %s\n", what.c_str(), CPLGetLastErrorMsg());
  std::exit(1);
}
}  // namespace

GpkgWriter::GpkgWriter(const std::string& path) {
  GDALAllRegister();
  CPLSetConfigOption("OGR_CURRENT_DATE", "2024-01-01T00:00:00.000Z");
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  GDALDriverH driver = GDALGetDriverByName("GPKG");
  if (!driver) fail("no GeoPackage driver");
  dataset_ = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!dataset_) fail("cannot create " + path);
}

GpkgWriter::~GpkgWriter() {
  if (layer_) endLayer();
  if (dataset_) GDALClose(dataset_);
}

void GpkgWriter::beginLayer(const std::string& name, OGRwkbGeometryType geometryType, int epsg,
                            const std::vector<Field>& fields, bool spatialIndex) {
  if (layer_) endLayer();
  OGRSpatialReferenceH srs = nullptr;
  if (epsg != 0) {
    srs = OSRNewSpatialReference(nullptr);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    if (OSRImportFromEPSG(srs, epsg) != OGRERR_NONE) fail("unknown EPSG code");
  }
  const char* options[] = {spatialIndex ? "SPATIAL_INDEX=YES" : "SPATIAL_INDEX=NO", nullptr};
  layer_ = GDALDatasetCreateLayer(dataset_, name.c_str(), srs, geometryType,
                                  const_cast<char**>(options));
  if (srs) OSRDestroySpatialReference(srs);
  if (!layer_) fail("cannot create layer " + name);
  for (const Field& field : fields) {
    OGRFieldDefnH definition = OGR_Fld_Create(field.name.c_str(), field.type);
    OGR_Fld_SetSubType(definition, field.subType);
    if (OGR_L_CreateField(layer_, definition, TRUE) != OGRERR_NONE)
      fail("cannot add " + field.name);
    OGR_Fld_Destroy(definition);
  }
  definition_ = OGR_L_GetLayerDefn(layer_);
  geometryType_ = geometryType;
}

void GpkgWriter::addFeature(const std::vector<FieldValue>& values, const Vertices& vertices) {
  if (inTransaction_ == 0 && GDALDatasetStartTransaction(dataset_, FALSE) != OGRERR_NONE) {
    fail("cannot start a transaction");
  }
  OGRFeatureH feature = OGR_F_Create(definition_);
  for (size_t i = 0; i < values.size(); ++i) {
    const FieldValue& v = values[i];
    const int index = static_cast<int>(i);
    switch (v.kind) {
      case FieldValue::Kind::Null:
        OGR_F_SetFieldNull(feature, index);
        break;
      case FieldValue::Kind::Text:
        OGR_F_SetFieldString(feature, index, v.text.c_str());
        break;
      case FieldValue::Kind::Integer:
        OGR_F_SetFieldInteger64(feature, index, v.integer);
        break;
      case FieldValue::Kind::Real:
        OGR_F_SetFieldDouble(feature, index, v.real);
        break;
      case FieldValue::Kind::DateTime:
        OGR_F_SetFieldDateTimeEx(feature, index, v.dateTime.year, v.dateTime.month, v.dateTime.day,
                                 v.dateTime.hour, v.dateTime.minute,
                                 static_cast<float>(v.dateTime.second), 0);
        break;
    }
  }
  if (!vertices.empty()) {
    const OGRwkbGeometryType flat = wkbFlatten(geometryType_);
    OGRGeometryH geometry = nullptr;
    if (flat == wkbPoint) {
      geometry = OGR_G_CreateGeometry(wkbPoint);
      OGR_G_SetPoint_2D(geometry, 0, vertices[0].first, vertices[0].second);
    } else {
      OGRGeometryH line = OGR_G_CreateGeometry(wkbLineString);
      for (const auto& [x, y] : vertices)
        OGR_G_AddPoint_2D(line, x, y);
      if (flat == wkbMultiLineString) {
        geometry = OGR_G_CreateGeometry(wkbMultiLineString);
        OGR_G_AddGeometryDirectly(geometry, line);
      } else {
        geometry = line;
      }
    }
    OGR_F_SetGeometryDirectly(feature, geometry);
  }
  if (OGR_L_CreateFeature(layer_, feature) != OGRERR_NONE) fail("cannot add a feature");
  OGR_F_Destroy(feature);
  if (++inTransaction_ == kFeaturesPerTransaction) commit();
}

void GpkgWriter::commit() {
  if (inTransaction_ == 0) return;
  if (GDALDatasetCommitTransaction(dataset_) != OGRERR_NONE) fail("cannot commit");
  inTransaction_ = 0;
}

void GpkgWriter::endLayer() {
  commit();
  layer_ = nullptr;
  definition_ = nullptr;
}

}  // namespace corvale::tools

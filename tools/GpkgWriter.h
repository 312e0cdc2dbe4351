#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

namespace corvale::tools {

/// A date with a time of day, as a GeoPackage date or datetime field stores it.
struct DateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

/// A value of one field of a new feature: null, text, integer, real, or a date with a time.
struct FieldValue {
  enum class Kind { Null, Text, Integer, Real, DateTime };
  Kind kind = Kind::Null;
  std::string text;
  int64_t integer = 0;
  double real = 0;
  DateTime dateTime;

  static FieldValue null() { return {}; }
  static FieldValue of(std::string t) { return {Kind::Text, std::move(t), 0, 0, {}}; }
  static FieldValue of(int64_t i) { return {Kind::Integer, {}, i, 0, {}}; }
  static FieldValue of(double r) { return {Kind::Real, {}, 0, r, {}}; }
  static FieldValue of(DateTime d) { return {Kind::DateTime, {}, 0, 0, d}; }
};

using Vertices = std::vector<std::pair<double, double>>;

/**
 * A GeoPackage being written through GDAL's C API. Layers are written in
 * transactions of many features each, so a million features take seconds.
 * The output is the same bytes for the same calls: gpkg_contents' timestamps
 * are pinned (OGR_CURRENT_DATE). Every GDAL failure ends the program with a
 * message: this is a tool, not a library.
 */
class GpkgWriter {
 public:
  /// Creates the file anew (an existing one is replaced).
  explicit GpkgWriter(const std::string& path);
  ~GpkgWriter();
  GpkgWriter(const GpkgWriter&) = delete;
  GpkgWriter& operator=(const GpkgWriter&) = delete;

  struct Field {
    std::string name;
    OGRFieldType type;
    OGRFieldSubType subType = OFSTNone;
  };

  /**
   * Starts a new layer; wkbNone makes an attribute table without geometry.
   * `epsg` 0 for none. Features added from now on go to this layer.
   */
  void beginLayer(const std::string& name, OGRwkbGeometryType geometryType, int epsg,
                  const std::vector<Field>& fields, bool spatialIndex = true);
  /// Adds a feature; values in field order; no vertices gives a null geometry.
  void addFeature(const std::vector<FieldValue>& values, const Vertices& vertices = {});
  /// Commits the current layer's last transaction.
  void endLayer();

 private:
  void commit();

  GDALDatasetH dataset_ = nullptr;
  OGRLayerH layer_ = nullptr;
  OGRFeatureDefnH definition_ = nullptr;
  OGRwkbGeometryType geometryType_ = wkbNone;
  int64_t inTransaction_ = 0;
};

}  // namespace corvale::tools

#pragma once

#include <memory>
#include <optional>

#include <qgscoordinatereferencesystem.h>
#include <qgsgeometry.h>
#include <qgsrectangle.h>

#include "host/Geometry.h"

namespace corvale::qgis {

/**
 * A bounding rectangle in the coordinate reference system of the layer it came
 * from, or no rectangle at all (the envelope of a feature without geometry):
 * that one bounds nothing, its coordinates read as NaN and expand() keeps it so.
 * QgsRectangle's own "null" state is not used for this, because it cannot tell
 * a point at the origin from no rectangle.
 */
class QgisEnvelope : public host::IEnvelope {
 public:
  QgisEnvelope(std::optional<QgsRectangle> rectangle, QgsCoordinateReferenceSystem crs)
      : rectangle_(std::move(rectangle)), crs_(std::move(crs)) {}

  void expand(double dx, double dy, bool asRatio) override;
  double xMin() override;
  double yMin() override;
  double xMax() override;
  double yMax() override;

  const std::optional<QgsRectangle>& rectangle() const { return rectangle_; }
  const QgsCoordinateReferenceSystem& crs() const { return crs_; }

 private:
  std::optional<QgsRectangle> rectangle_;
  QgsCoordinateReferenceSystem crs_;
};

/// The shape of a feature, in its layer's coordinate reference system.
class QgisGeometry : public host::IGeometry {
 public:
  QgisGeometry(QgsGeometry geometry, QgsCoordinateReferenceSystem crs)
      : geometry_(std::move(geometry)), crs_(std::move(crs)) {}

  std::shared_ptr<host::IEnvelope> envelope() override;

  const QgsGeometry& geometry() const { return geometry_; }

 private:
  QgsGeometry geometry_;
  QgsCoordinateReferenceSystem crs_;
};

}  // namespace corvale::qgis

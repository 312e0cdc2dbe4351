#include "hosts/qgis/model/QgisMapView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <qgscoordinatetransform.h>
#include <qgsexception.h>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/model/QgisGeometry.h"

namespace corvale::qgis {

namespace {
/// A side this much of the other one wide stands for a side without width.
constexpr double kThinSide = 1e-9;

bool isFinite(const QgsRectangle& r) {
  return std::isfinite(r.xMinimum()) && std::isfinite(r.yMinimum()) &&
         std::isfinite(r.xMaximum()) && std::isfinite(r.yMaximum());
}

/// Points taken along a box without width or height when it is transformed.
constexpr int kSegmentSteps = 256;

/**
 * The bounds of a box without width or height (a segment) in the transform's
 * destination: the segment is transformed point by point along its length, so
 * a straight street keeps its length and a side stays without width only
 * where every point of it lands on one line. QgsCoordinateTransform's own
 * bounding-box transform takes such a box for a point. Points that have no
 * place in the destination are left out; none at all is a host failure.
 */
QgsRectangle transformedSegment(const QgsRectangle& box, const QgsCoordinateTransform& transform) {
  double xMin = std::numeric_limits<double>::infinity(), yMin = xMin;
  double xMax = -xMin, yMax = -xMin;
  bool any = false;
  for (int step = 0; step <= kSegmentSteps; ++step) {
    const double t = static_cast<double>(step) / kSegmentSteps;
    // The ends exactly, so that the segment's own ends are never lost to rounding.
    const double x = step == kSegmentSteps ? box.xMaximum()
                                           : box.xMinimum() + (box.xMaximum() - box.xMinimum()) * t;
    const double y = step == kSegmentSteps ? box.yMaximum()
                                           : box.yMinimum() + (box.yMaximum() - box.yMinimum()) * t;
    QgsPointXY point;
    try {
      point = transform.transform(QgsPointXY(x, y));
    } catch (const QgsCsException&) {
      continue;
    }
    if (!std::isfinite(point.x()) || !std::isfinite(point.y())) continue;
    any = true;
    xMin = std::min(xMin, point.x());
    yMin = std::min(yMin, point.y());
    xMax = std::max(xMax, point.x());
    yMax = std::max(yMax, point.y());
  }
  if (!any) hostFailure("The extent has no place in the map's coordinate system.");
  return QgsRectangle(xMin, yMin, xMax, yMax, false);
}
}  // namespace

QgsMapCanvas& QgisMapView::canvas() const {
  if (!canvas_) hostFailure("The map canvas is gone.");
  return *canvas_;
}

void QgisMapView::setExtent(const std::shared_ptr<host::IEnvelope>& extent) {
  auto envelope = std::dynamic_pointer_cast<QgisEnvelope>(extent);
  if (!envelope) raise(err::kTypeMismatch);
  QgsMapCanvas& view = canvas();
  if (!envelope->rectangle()) return;
  QgsRectangle requested;
  guarded("Transforming the extent to the map's coordinate system", [&] {
    QgsRectangle box = *envelope->rectangle();
    const QgsCoordinateReferenceSystem destination = view.mapSettings().destinationCrs();
    const bool point = box.width() == 0 && box.height() == 0;
    if (envelope->crs().isValid() && destination.isValid() && envelope->crs() != destination) {
      const QgsCoordinateTransformContext context =
          project_ ? project_->transformContext() : QgsCoordinateTransformContext();
      const QgsCoordinateTransform transform(envelope->crs(), destination, context);
      if (point) {
        const QgsPointXY centre = transform.transform(box.center());
        box = QgsRectangle(centre.x(), centre.y(), centre.x(), centre.y());
      } else if (box.width() == 0 || box.height() == 0) {
        box = transformedSegment(box, transform);
      } else {
        box = transform.transformBoundingBox(box);
      }
    }
    if (!isFinite(box)) hostFailure("The extent has no place in the map's coordinate system.");
    requested = box;
    if (point || (box.width() == 0 && box.height() == 0)) {
      view.setCenter(box.center());
      return;
    }
    // QgsMapCanvas only re-centres on a rectangle without width or height; give
    // the missing side a sliver so that the other side decides the scale.
    if (box.width() == 0) {
      const double half = box.height() * kThinSide / 2;
      box.setXMinimum(box.xMinimum() - half);
      box.setXMaximum(box.xMaximum() + half);
    } else if (box.height() == 0) {
      const double half = box.width() * kThinSide / 2;
      box.setYMinimum(box.yMinimum() - half);
      box.setYMaximum(box.yMaximum() + half);
    }
    view.setExtent(box);
  });
  if (observer_ && observer_->extent) observer_->extent(requested, view.extent());
}

std::shared_ptr<host::IActiveView> QgisMapView::focusMap() {
  hostFailure("A map view has no focus map of its own.");
}

void QgisMapView::refresh() {
  canvas().refresh();
}

}  // namespace corvale::qgis

#include "hosts/qgis/QgisMapView.h"

#include <cmath>

#include <qgscoordinatetransform.h>

#include "hosts/qgis/QgisFailure.h"
#include "hosts/qgis/QgisGeometry.h"

namespace corvale::qgis {

namespace {
/// A side this much of the other one wide stands for a side without width.
constexpr double kThinSide = 1e-9;

bool isFinite(const QgsRectangle& r) {
  return std::isfinite(r.xMinimum()) && std::isfinite(r.yMinimum()) &&
         std::isfinite(r.xMaximum()) && std::isfinite(r.yMaximum());
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

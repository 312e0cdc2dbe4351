#include "hosts/qgis/model/QgisGeometry.h"

#include <limits>

namespace corvale::qgis {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

void QgisEnvelope::expand(double dx, double dy, bool asRatio) {
  if (!rectangle_) return;
  const QgsRectangle& r = *rectangle_;
  if (asRatio) {
    const double cx = (r.xMinimum() + r.xMaximum()) / 2;
    const double cy = (r.yMinimum() + r.yMaximum()) / 2;
    const double halfWidth = r.width() / 2 * dx;
    const double halfHeight = r.height() / 2 * dy;
    rectangle_ =
        QgsRectangle(cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight, false);
  } else {
    rectangle_ = QgsRectangle(r.xMinimum() - dx, r.yMinimum() - dy, r.xMaximum() + dx,
                              r.yMaximum() + dy, false);
  }
}

double QgisEnvelope::xMin() {
  return rectangle_ ? rectangle_->xMinimum() : kNaN;
}
double QgisEnvelope::yMin() {
  return rectangle_ ? rectangle_->yMinimum() : kNaN;
}
double QgisEnvelope::xMax() {
  return rectangle_ ? rectangle_->xMaximum() : kNaN;
}
double QgisEnvelope::yMax() {
  return rectangle_ ? rectangle_->yMaximum() : kNaN;
}

std::shared_ptr<host::IEnvelope> QgisGeometry::envelope() {
  std::optional<QgsRectangle> box;
  if (!geometry_.isNull() && !geometry_.isEmpty()) box = geometry_.boundingBox();
  return std::make_shared<QgisEnvelope>(box, crs_);
}

}  // namespace corvale::qgis

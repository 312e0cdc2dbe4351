#pragma once

#include <memory>

#include <QPointer>

#include <qgsmapcanvas.h>
#include <qgsproject.h>

#include "host/MapModel.h"
#include "hosts/qgis/QgisObserver.h"

namespace corvale::qgis {

/**
 * The active view: the main map canvas. It never passes the page-layout test
 * (QGIS's layouts are windows of their own), so it has no focus map.
 */
class QgisMapView : public host::IActiveView {
 public:
  QgisMapView(QgsMapCanvas* canvas, QgsProject* project,
              std::shared_ptr<QgisObserver> observer = nullptr)
      : canvas_(canvas), project_(project), observer_(std::move(observer)) {}

  /**
   * Shows the envelope (a QgisEnvelope, else failure 13): it is transformed
   * from its layer's coordinate reference system to the canvas's, with the
   * project's transform context, and becomes the canvas extent; the canvas
   * keeps its own aspect ratio, so the envelope is fitted inside and centred.
   * An envelope without width and height (a point) centres the canvas on it at
   * the current scale; one without width or height alone (a straight street)
   * shows its length, also in another coordinate reference system, where it is
   * transformed along its length and keeps a side without width only where
   * the transformed street truly has none; an
   * envelope that bounds nothing leaves the canvas as it is. A transform that
   * fails is a host failure and the canvas keeps its extent.
   */
  void setExtent(const std::shared_ptr<host::IEnvelope>& extent) override;
  /// Always a host failure: a map view has no focus map of its own.
  std::shared_ptr<host::IActiveView> focusMap() override;
  /// Asks the canvas to redraw (QgsMapCanvas::refresh, which draws when the event loop runs).
  void refresh() override;

 private:
  QgsMapCanvas& canvas() const;

  QPointer<QgsMapCanvas> canvas_;
  QPointer<QgsProject> project_;
  std::shared_ptr<QgisObserver> observer_;
};

}  // namespace corvale::qgis

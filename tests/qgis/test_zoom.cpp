#include <gtest/gtest.h>

#include <cmath>

#include <qgscoordinatetransform.h>

#include "host/Services.h"
#include "hosts/qgis/QgisGeometry.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "qgis/QgisFixture.h"
#include "state/ProductState.h"

namespace corvale {
namespace {

class QgisZoom : public testing::CityFixture {
 protected:
  std::shared_ptr<host::IFeature> find(const std::string& layer, const std::string& field,
                                       const std::string& value) {
    auto feature = GetFeatureByValue(GetLayerByName(layer), field, value);
    EXPECT_TRUE(feature) << value;
    return feature;
  }
  /// The feature's bounding box in its layer's coordinates, scaled about its centre.
  static QgsRectangle scaledBox(const std::shared_ptr<host::IFeature>& feature, double factor) {
    auto envelope = std::dynamic_pointer_cast<qgis::QgisEnvelope>(feature->shape()->envelope());
    const QgsRectangle box = *envelope->rectangle();
    const QgsPointXY c = box.center();
    return QgsRectangle(c.x() - box.width() / 2 * factor, c.y() - box.height() / 2 * factor,
                        c.x() + box.width() / 2 * factor, c.y() + box.height() / 2 * factor);
  }
  QgsRectangle toCanvas(const QgsRectangle& box, const char* crs) {
    QgsCoordinateTransform transform(QgsCoordinateReferenceSystem(QString(crs)),
                                     canvas->mapSettings().destinationCrs(),
                                     project.transformContext());
    return transform.transformBoundingBox(box);
  }
  /// The canvas shows the box: same centre, and the box fits with one side exactly.
  void expectShows(const QgsRectangle& box) {
    const QgsRectangle shown = canvas->extent();
    const double tolerance = 1e-6 * std::max(box.width(), box.height());
    EXPECT_NEAR(shown.center().x(), box.center().x(), tolerance);
    EXPECT_NEAR(shown.center().y(), box.center().y(), tolerance);
    EXPECT_GE(shown.width(), box.width() - tolerance);
    EXPECT_GE(shown.height(), box.height() - tolerance);
    const bool widthFits = std::abs(shown.width() - box.width()) <= tolerance;
    const bool heightFits = std::abs(shown.height() - box.height()) <= tolerance;
    EXPECT_TRUE(widthFits || heightFits)
        << "shown " << shown.toString().toStdString() << " for " << box.toString().toStdString();
  }
};

TEST_F(QgisZoom, AStreetIsShownEnlargedThroughTheCanvasTransform) {
  ASSERT_EQ(canvas->mapSettings().destinationCrs().authid().toStdString(), "EPSG:3857");
  auto feature = find("streets", "name", "O'Brien Road");
  ZoomToFeaturePlus(feature, 0.2);
  expectShows(toCanvas(scaledBox(feature, 1.2), "EPSG:25832"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisZoom, InTheLayersOwnCoordinatesTheExtentIsTheScaledBox) {
  canvas->setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:25832")));
  auto feature = find("streets", "name", "Kirkegata");
  ZoomToFeaturePlus(feature, 0.2);
  expectShows(scaledBox(feature, 1.2));
  ZoomToFeaturePlus(feature, 0);
  expectShows(scaledBox(feature, 1.0));
}

TEST_F(QgisZoom, ALineWithoutWidthIsShownAlongItsLength) {
  canvas->setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:25832")));
  auto feature = find("streets", "name", "1st Avenue");
  const QgsRectangle box = scaledBox(feature, 1.2);
  ASSERT_EQ(box.width(), 0);
  ZoomToFeaturePlus(feature, 0.2);
  const QgsRectangle shown = canvas->extent();
  EXPECT_NEAR(shown.height(), box.height(), 1e-6 * box.height());
  EXPECT_NEAR(shown.center().x(), box.center().x(), 1e-6);
  EXPECT_NEAR(shown.center().y(), box.center().y(), 1e-6);
}

TEST_F(QgisZoom, APointIsCentredAndTheScaleIsKept) {
  canvas->setExtent(QgsRectangle(680000, 8700000, 700000, 8715000));
  const double scale = canvas->scale();
  auto hydrant = find("hydrants", "hydrant_id", "H-009");
  ZoomToFeaturePlus(hydrant, 0.2);
  const QgsRectangle point = toCanvas(scaledBox(hydrant, 1.0), "EPSG:4326");
  EXPECT_NEAR(canvas->extent().center().x(), point.center().x(), 1e-6);
  EXPECT_NEAR(canvas->extent().center().y(), point.center().y(), 1e-6);
  EXPECT_NEAR(canvas->scale(), scale, scale * 1e-9);
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisZoom, AStreetWithoutGeometryLeavesTheMapAsItWas) {
  canvas->setExtent(QgsRectangle(680000, 8700000, 700000, 8715000));
  const QgsRectangle before = canvas->extent();
  ZoomToFeaturePlus(find("streets", "name", "Unbuilt Road"), 0.2);
  EXPECT_EQ(canvas->extent(), before);
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisZoom, TheViewIsNoPageLayoutAndHasNoFocusMap) {
  auto view = state().HostDocument->activeView();
  EXPECT_FALSE(isA<host::IPageLayout>(view));
  try {
    view->focusMap();
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostUnspecified);
  }
  // An envelope of another host is not one this view can show.
  struct Foreign : host::IEnvelope {
    void expand(double, double, bool) override {}
    double xMin() override { return 0; }
    double yMin() override { return 0; }
    double xMax() override { return 1; }
    double yMax() override { return 1; }
  };
  try {
    view->setExtent(std::make_shared<Foreign>());
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kTypeMismatch);
  }
}

TEST_F(QgisZoom, ACanvasThatIsGoneIsAHostFailure) {
  auto view = state().HostDocument->activeView();
  canvas.reset();
  EXPECT_THROW(view->refresh(), Failure);
  EXPECT_THROW(state().HostDocument->activeView(), Failure);
}

}  // namespace
}  // namespace corvale

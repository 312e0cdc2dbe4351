#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <qgscoordinatetransform.h>

#include "GpkgWriter.h"
#include "host/Services.h"
#include "hosts/qgis/model/QgisGeometry.h"
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

/**
 * Straight east-west and north-south streets of a layer in one coordinate
 * system, on a canvas in another: each is shown along its length (the
 * enlarged street fills the canvas's width or height), centred on it.
 */
TEST_F(QgisZoom, AStraightStreetInAnotherCoordinateSystemIsShownAlongItsLength) {
  testing::TempFolder folder;
  const auto file = folder / "straight.gpkg";
  {
    using tools::FieldValue;
    tools::GpkgWriter writer(file.string());
    writer.beginLayer("geographic", wkbLineString, 4326, {{"name", OFTString}});
    writer.addFeature({FieldValue::of(std::string("east-west"))}, {{10.70, 59.91}, {10.76, 59.91}});
    writer.addFeature({FieldValue::of(std::string("north-south"))},
                      {{10.75, 59.90}, {10.75, 59.94}});
    writer.endLayer();
    writer.beginLayer("mercator", wkbLineString, 3857, {{"name", OFTString}});
    writer.addFeature({FieldValue::of(std::string("east-west"))},
                      {{1191000, 8375000}, {1197000, 8375000}});
    writer.addFeature({FieldValue::of(std::string("north-south"))},
                      {{1196000, 8374000}, {1196000, 8379000}});
    writer.endLayer();
  }
  addLayer(file, "geographic", "geographic");
  addLayer(file, "mercator", "mercator");
  for (const auto& [layer, canvasCrs] : std::vector<std::pair<std::string, std::string>>{
           {"geographic", "EPSG:3857"}, {"mercator", "EPSG:4326"}, {"geographic", "EPSG:25832"}}) {
    for (const std::string name : {"east-west", "north-south"}) {
      SCOPED_TRACE(layer + " " + name + " on " + canvasCrs);
      const QgsCoordinateReferenceSystem destination{QString::fromStdString(canvasCrs)};
      canvas->setDestinationCrs(destination);
      // Far from the streets, at another scale. (In UTM zone 32 a street of
      // constant latitude is tilted: its box there has a height.)
      canvas->setExtent(canvasCrs == "EPSG:4326" ? QgsRectangle(-10, 40, 30, 70)
                        : canvasCrs == "EPSG:3857" ? QgsRectangle(-2e6, 5e6, 4e6, 1e7)
                                                   : QgsRectangle(0, 6e6, 1e6, 7e6));
      auto feature = find(layer, "name", name);
      ASSERT_TRUE(feature);
      const QgsRectangle street = scaledBox(feature, 1.0), enlarged = scaledBox(feature, 1.2);
      const bool eastWest = street.height() == 0;
      ASSERT_TRUE(eastWest || street.width() == 0);
      ZoomToFeaturePlus(feature, 0.2);

      // The ends, each transformed alone.
      const QgsCoordinateTransform transform(vectorLayer(layer)->crs(), destination,
                                             project.transformContext());
      auto end = [&](const QgsRectangle& box, bool last) {
        return transform.transform(last ? QgsPointXY(box.xMaximum(), box.yMaximum())
                                        : QgsPointXY(box.xMinimum(), box.yMinimum()));
      };
      const QgsRectangle shown = canvas->extent();
      EXPECT_TRUE(shown.contains(end(street, false)) && shown.contains(end(street, true)))
          << shown.toString().toStdString();
      const QgsPointXY a = end(enlarged, false), b = end(enlarged, true);
      const double length = eastWest ? b.x() - a.x() : b.y() - a.y();
      ASSERT_GT(length, 0);
      EXPECT_NEAR(eastWest ? shown.width() : shown.height(), length, 1e-6 * length);
      EXPECT_NEAR(shown.center().x(), (a.x() + b.x()) / 2, 1e-6 * length);
      EXPECT_NEAR(shown.center().y(), (a.y() + b.y()) / 2, 1e-6 * length);
    }
  }
  EXPECT_TRUE(messages().empty());
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

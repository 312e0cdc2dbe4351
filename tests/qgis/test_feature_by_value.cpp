#include <gtest/gtest.h>

#include "GpkgWriter.h"
#include "hosts/qgis/model/QgisGeometry.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "qgis/OgrReference.h"
#include "qgis/QgisFixture.h"
#include "runtime/Variant.h"

namespace corvale {
namespace {

class QgisFeatureByValue : public testing::CityFixture {
 protected:
  std::shared_ptr<host::IFeature> find(const std::string& layer, const std::string& field,
                                       const std::string& value) {
    return GetFeatureByValue(GetLayerByName(layer), field, value);
  }
  /// The text of a field of the feature found, read through the host.
  std::string valueOf(const std::shared_ptr<host::IFeature>& feature, const std::string& layer,
                      const std::string& field) {
    auto table = query<host::IClass>(GetLayerByName(layer)->featureClass());
    return textOf(query<host::IRowValues>(feature)->value(table->findField(field)));
  }
  /// The smallest feature id whose column equals the value, by OGR alone.
  int64_t firstId(const std::string& where) {
    const auto ids = testing::ogrColumn(gpkg(), "SELECT MIN(fid) FROM streets WHERE " + where);
    EXPECT_TRUE(!ids.empty() && ids[0]) << where;
    return std::stoll(*ids[0]);
  }
};

TEST_F(QgisFeatureByValue, TextValuesAreFoundExactlyWhateverTheyHold) {
  for (const std::string name :
       {"Main Street", "MAIN STREET", "main street", "O'Brien Road", " Harbour Lane", "Elm Street",
        "Elm Street ", "Commerce Street, North", "\xC3\x85lesund All\xC3\xA9",
        "Lange Stra\xC3\x9F"
        "e",
        "Rue de l'\xC3\x89glise"}) {
    auto feature = find("streets", "name", name);
    ASSERT_TRUE(feature) << name;
    EXPECT_EQ(valueOf(feature, "streets", "name"), name);
    std::string quoted;
    for (char c : name)
      quoted += c == '\'' ? std::string("''") : std::string(1, c);
    EXPECT_EQ(query<host::IRow>(feature)->objectId(), firstId("name = '" + quoted + "'")) << name;
  }
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisFeatureByValue, AValueThatReadsLikeSqlFindsOnlyItself) {
  auto feature = find("streets", "name", "x' OR '1'='1");
  ASSERT_TRUE(feature);
  EXPECT_EQ(valueOf(feature, "streets", "name"), "x' OR '1'='1");
  EXPECT_FALSE(find("streets", "name", "y' OR '1'='1"));
  EXPECT_FALSE(find("streets", "name", "Main Street' --"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisFeatureByValue, AbsentValuesAndFieldsGiveNothingSilently) {
  EXPECT_FALSE(find("streets", "name", "Nowhere Street"));
  EXPECT_FALSE(find("streets", "name", "main STREET"));
  EXPECT_FALSE(find("streets", "no such field", "Main Street"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisFeatureByValue, NumbersDatesAndOtherFieldsAreFound) {
  auto lanes = find("streets", "lanes", "3");
  ASSERT_TRUE(lanes);
  EXPECT_EQ(valueOf(lanes, "streets", "lanes"), "3");
  EXPECT_EQ(query<host::IRow>(lanes)->objectId(), firstId("lanes = 3"));

  auto width = find("streets", "width_m", "6.5");
  ASSERT_TRUE(width);
  EXPECT_EQ(valueOf(width, "streets", "width_m"), "6.5");

  // Values as the list shows them: the component's date texts.
  LoadListWithUniqueFieldValues("streets", "opened", list, false, nullptr);
  ASSERT_GT(list.count(), 2);
  for (int32_t i : {0, list.count() - 1}) {
    auto opened = find("streets", "opened", list.item(i));
    ASSERT_TRUE(opened) << list.item(i);
    EXPECT_EQ(valueOf(opened, "streets", "opened"), list.item(i));
  }
  LoadListWithUniqueFieldValues("streets", "surveyed", list, false, nullptr);
  ASSERT_GT(list.count(), 2);
  for (int32_t i = 0; i < list.count(); i += 17) {
    auto surveyed = find("streets", "surveyed", list.item(i));
    ASSERT_TRUE(surveyed) << list.item(i);
    EXPECT_EQ(valueOf(surveyed, "streets", "surveyed"), list.item(i));
  }

  auto alt = find("streets", "Alt Name", "Old O'Brien Road");
  ASSERT_TRUE(alt);
  EXPECT_EQ(valueOf(alt, "streets", "name"), "O'Brien Road");

  // The field name in another case than the field's own.
  EXPECT_TRUE(find("streets", "NAME", "Kirkegata"));
  auto hydrant = find("hydrants", "hydrant_id", "H-017");
  ASSERT_TRUE(hydrant);
  EXPECT_EQ(valueOf(hydrant, "hydrants", "flow_lpm"), std::to_string(800 + (17 * 37) % 900));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisFeatureByValue, TheFeatureCarriesItsShapeInTheLayersCoordinates) {
  auto feature = find("streets", "name", "Kirkegata");
  ASSERT_TRUE(feature);
  auto envelope = feature->shape()->envelope();
  const auto extent = testing::ogrQuery(
      gpkg(),
      "SELECT ST_MinX(geom), ST_MinY(geom), ST_MaxX(geom), ST_MaxY(geom) FROM streets "
      "WHERE fid = " +
          std::to_string(query<host::IRow>(feature)->objectId()));
  ASSERT_EQ(extent.size(), 1u);
  EXPECT_DOUBLE_EQ(envelope->xMin(), std::stod(*extent[0][0]));
  EXPECT_DOUBLE_EQ(envelope->yMin(), std::stod(*extent[0][1]));
  EXPECT_DOUBLE_EQ(envelope->xMax(), std::stod(*extent[0][2]));
  EXPECT_DOUBLE_EQ(envelope->yMax(), std::stod(*extent[0][3]));
  auto own = std::dynamic_pointer_cast<qgis::QgisEnvelope>(envelope);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->crs().authid().toStdString(), "EPSG:25832");
}

TEST_F(QgisFeatureByValue, FieldNamesWithQuotesAndBlanksAreQuotedForQgis) {
  testing::TempFolder folder;
  {
    tools::GpkgWriter writer((folder / "odd.gpkg").string());
    writer.beginLayer("odd", wkbPoint, 25832,
                      {{"Owner's \"Name\"", OFTString}, {"Street Name", OFTString}});
    writer.addFeature(
        {tools::FieldValue::of(std::string("Ann")), tools::FieldValue::of(std::string("First"))},
        {{10, 10}});
    writer.addFeature({tools::FieldValue::of(std::string("O'Neil")),
                       tools::FieldValue::of(std::string("Second"))},
                      {{20, 20}});
    writer.endLayer();
  }
  addLayer(folder / "odd.gpkg", "odd", "odd");
  auto owner = find("odd", "Owner's \"Name\"", "O'Neil");
  ASSERT_TRUE(owner);
  EXPECT_EQ(valueOf(owner, "odd", "Street Name"), "Second");
  auto street = find("odd", "street name", "First");
  ASSERT_TRUE(street);
  EXPECT_EQ(valueOf(street, "odd", "Owner's \"Name\""), "Ann");
  EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace corvale

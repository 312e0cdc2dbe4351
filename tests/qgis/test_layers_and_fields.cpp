#include <gtest/gtest.h>

#include <qgslayertree.h>

#include "host/Data.h"
#include "host/MapModel.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "qgis/OgrReference.h"
#include "qgis/QgisFixture.h"
#include "state/ProductState.h"

namespace corvale {
namespace {

using Names = std::vector<std::string>;
namespace ft = host::fieldtype;

class QgisLayers : public testing::CityFixture {
 protected:
  std::shared_ptr<host::IMap> map() { return state().HostDocument->focusMap(); }
};

TEST_F(QgisLayers, TheFocusMapIsTheTopOfTheLayerTree) {
  auto focus = map();
  ASSERT_EQ(focus->layerCount(), 3);
  auto streets = focus->layer(0);
  EXPECT_EQ(streets->name(), "streets");
  EXPECT_TRUE(isA<host::IFeatureLayer>(streets));
  EXPECT_TRUE(isA<host::IDisplayTable>(streets));
  EXPECT_FALSE(isA<host::IGroupLayer>(streets));

  auto utilities = focus->layer(1);
  EXPECT_EQ(utilities->name(), "Utilities");
  EXPECT_TRUE(isA<host::IGroupLayer>(utilities));
  EXPECT_FALSE(isA<host::IFeatureLayer>(utilities));
  auto members = query<host::ICompositeLayer>(utilities);
  ASSERT_EQ(members->memberCount(), 3);
  EXPECT_EQ(members->member(0)->name(), "hydrants");
  EXPECT_TRUE(isA<host::IFeatureLayer>(members->member(0)));
  EXPECT_EQ(members->member(1)->name(), "water_mains");
  auto archive = members->member(2);
  EXPECT_EQ(archive->name(), "Archive");
  EXPECT_TRUE(isA<host::IGroupLayer>(archive));

  // A table without geometry is some other layer: a name and nothing else.
  auto owners = focus->layer(2);
  EXPECT_EQ(owners->name(), "street_owners");
  EXPECT_FALSE(isA<host::IFeatureLayer>(owners));
  EXPECT_FALSE(isA<host::IGroupLayer>(owners));
  EXPECT_FALSE(isA<host::IDisplayTable>(owners));
}

TEST_F(QgisLayers, IndexesOutsideTheTreeAreHostFailures) {
  auto focus = map();
  for (int32_t index : {-1, 3}) {
    try {
      focus->layer(index);
      ADD_FAILURE() << index;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number, err::kHostUnspecified);
    }
  }
  auto group = query<host::ICompositeLayer>(focus->layer(1));
  EXPECT_THROW(group->member(3), Failure);
}

TEST_F(QgisLayers, TheWalkListsTopLevelAndGroupedFeatureLayersOnly) {
  LoadListWithLayers(list);
  EXPECT_EQ(list.entries(), (Names{"streets", "hydrants", "water_mains"}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisLayers, LayersAreFoundByNameInAnyCaseAndNestedOnesAreNot) {
  auto upper = GetLayerByName("STREETS");
  ASSERT_TRUE(upper);
  EXPECT_EQ(query<host::ILayer>(upper)->name(), "streets");
  EXPECT_TRUE(GetLayerByName("Hydrants"));
  EXPECT_FALSE(GetLayerByName("old_mains"));      // in a group inside a group
  EXPECT_FALSE(GetLayerByName("street_owners"));  // no geometry
  EXPECT_FALSE(GetLayerByName("Utilities"));      // a group
  EXPECT_FALSE(GetLayerByName("streets "));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisLayers, FieldsKeepTheLayersOrderAndMapToHostTypes) {
  auto layer = GetLayerByName("streets");
  LoadListWithFields(list, layer);
  EXPECT_EQ(list.entries(),
            (Names{"fid", "name", "Alt Name", "lanes", "width_m", "opened", "surveyed"}));

  auto table = query<host::IClass>(query<host::IDisplayTable>(layer)->displayTable());
  auto fields = table->fields();
  std::vector<int32_t> types;
  for (int32_t i = 0; i < fields->fieldCount(); ++i)
    types.push_back(fields->field(i)->type());
  EXPECT_EQ(types, (std::vector<int32_t>{ft::kObjectId, ft::kText, ft::kText, ft::kInteger,
                                         ft::kDouble, ft::kDate, ft::kDate}));
  EXPECT_THROW(fields->field(7), Failure);
  EXPECT_TRUE(table->hasObjectId());
  EXPECT_EQ(table->objectIdFieldName(), "$id");
  EXPECT_EQ(table->findField("name"), 1);
  EXPECT_EQ(table->findField("NAME"), 1);
  EXPECT_EQ(table->findField("alt name"), 2);
  EXPECT_EQ(table->findField("Shape"), -1);
  EXPECT_EQ(table->findField("nam"), -1);

  // The display table and the feature class are one: the layer itself.
  EXPECT_EQ(
      std::dynamic_pointer_cast<host::IClass>(query<host::IFeatureLayer>(layer)->featureClass()),
      table);
}

TEST_F(QgisLayers, TheFeatureCountIsTheLayersOwn) {
  auto layer = GetLayerByName("streets");
  EXPECT_EQ(layer->featureClass()->featureCount(nullptr), vectorLayer("streets")->featureCount());
  EXPECT_EQ(layer->featureClass()->featureCount(nullptr), testing::streetRows(gpkg()));
}

TEST_F(QgisLayers, ASubsetStringNarrowsTheCountEvenWhereQgisDoesNotKnowIt) {
  auto layer = GetLayerByName("streets");
  vectorLayer("streets")->setSubsetString(QStringLiteral("\"lanes\" = 2"));
  const auto expected =
      testing::ogrColumn(gpkg(), "SELECT COUNT(*) FROM streets WHERE lanes = 2").at(0);
  ASSERT_TRUE(expected);
  EXPECT_EQ(layer->featureClass()->featureCount(nullptr), std::stoi(*expected));
  EXPECT_LT(std::stoi(*expected), testing::streetRows(gpkg()));
}

TEST_F(QgisLayers, ALayerRemovedFromTheProjectFailsClearly) {
  auto layer = GetLayerByName("hydrants");
  ASSERT_TRUE(layer);
  project.removeMapLayer(vectorLayer("hydrants"));
  try {
    query<host::ILayer>(layer)->name();
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostUnspecified);
    EXPECT_EQ(failure.description, "The layer is no longer part of the project.");
  }
  EXPECT_THROW(layer->featureClass()->featureCount(nullptr), Failure);
  // And the walk no longer sees it.
  LoadListWithLayers(list);
  EXPECT_EQ(list.entries(), (Names{"streets", "water_mains"}));
}

TEST_F(QgisLayers, ALayerWhoseDataIsMissingIsListedAndFailsWithItsName) {
  testing::TempFolder folder;
  std::filesystem::copy_file(gpkg(), folder / "gone.gpkg");
  addLayer(folder / "gone.gpkg", "streets", "Old streets");
  project.write(QString::fromStdString((folder / "gone.qgs").string()));
  std::filesystem::remove(folder / "gone.gpkg");
  ASSERT_TRUE(project.read(QString::fromStdString((folder / "gone.qgs").string())));
  ASSERT_FALSE(vectorLayer("Old streets")->isValid());

  LoadListWithLayers(list);
  EXPECT_EQ(list.entries().front(), "Old streets");
  LoadListWithUniqueFieldValues("Old streets", "name", list, true, nullptr);
  EXPECT_TRUE(list.entries().empty());
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_NE(messages()[0].find("The layer \"Old streets\" cannot be read"), std::string::npos)
      << messages()[0];
}

}  // namespace
}  // namespace corvale

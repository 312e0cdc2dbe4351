#include <gtest/gtest.h>

#include "map/CorvaleGIS_ArcMap.h"
#include "map/MapFixture.h"

namespace corvale {
namespace {

using Names = std::vector<std::string>;
using testing::isPrefixOf;

class LayersAndFields : public testing::MapFixture {
 protected:
  /// Top level: Streets, a raster, a group (Parcels, a nested group holding
  /// Hidden, a second "streets") and Rivers.
  void buildMixedMap() {
    host.map->add(host.otherLayer("Image"));
    group = host.groupLayer("Group");
    auto nested = host.groupLayer("Nested");
    nested->add(host.featureLayer("Hidden", host.table()));
    innerStreets = host.featureLayer("streets", host.table());
    group->add(host.featureLayer("Parcels", host.table())).add(nested).add(innerStreets);
    host.map->add(group).add(host.featureLayer("Rivers", host.table()));
  }

  std::shared_ptr<memory::MemoryGroupLayer> group;
  std::shared_ptr<memory::MemoryFeatureLayer> innerStreets;
};

TEST_F(LayersAndFields, AnEmptyMapFindsNothingQuietlyAndListsNothing) {
  host.map->clearLayers();
  list.append("stale");
  EXPECT_EQ(GetLayerByName("Streets"), nullptr);
  LoadListWithLayers(list);
  EXPECT_TRUE(entries().empty());
  EXPECT_TRUE(messages().empty());
}

TEST_F(LayersAndFields, NamesMatchWithoutRegardToCaseButWholeAndUntrimmed) {
  host.map->add(host.featureLayer("Élan Roads", host.table()));
  EXPECT_EQ(GetLayerByName("STREETS"), streetLayer);
  EXPECT_NE(GetLayerByName("éLAN roads"), nullptr);
  EXPECT_EQ(GetLayerByName("Streets "), nullptr);
  EXPECT_EQ(GetLayerByName(" Streets"), nullptr);
  EXPECT_EQ(GetLayerByName("Street"), nullptr);
  EXPECT_EQ(GetLayerByName(""), nullptr);
  EXPECT_TRUE(messages().empty());
}

TEST_F(LayersAndFields, TheWalkVisitsTopLevelLayersAndMembersOfTopLevelGroupsInOrder) {
  buildMixedMap();
  LoadListWithLayers(list);
  EXPECT_EQ(entries(), (Names{"Streets", "Parcels", "streets", "Rivers"}));
}

TEST_F(LayersAndFields, TheLastMatchInWalkOrderIsFound) {
  buildMixedMap();
  EXPECT_EQ(GetLayerByName("Streets"), innerStreets);
}

TEST_F(LayersAndFields, GroupsNestedGroupsAndOtherLayersAreNeitherFoundNorListed) {
  buildMixedMap();
  EXPECT_EQ(GetLayerByName("Hidden"), nullptr);
  EXPECT_EQ(GetLayerByName("Group"), nullptr);
  EXPECT_EQ(GetLayerByName("Nested"), nullptr);
  EXPECT_EQ(GetLayerByName("Image"), nullptr);
  EXPECT_TRUE(messages().empty());
}

TEST_F(LayersAndFields, VeryLongNamesAreFoundAndListed) {
  const std::string name(10000, 'x');
  auto layer = host.featureLayer(name + "Y", host.table());
  host.map->add(layer);
  EXPECT_EQ(GetLayerByName(name + "y"), layer);
  LoadListWithLayers(list);
  EXPECT_EQ(entries().back(), name + "Y");
}

TEST_F(LayersAndFields, ALayerRemovedAfterListingIsNoLongerFound) {
  LoadListWithLayers(list);
  ASSERT_EQ(entries(), Names{"Streets"});
  host.map->removeLayer(streetLayer);
  EXPECT_EQ(GetLayerByName(list.item(0)), nullptr);
  EXPECT_TRUE(messages().empty());
}

TEST_F(LayersAndFields, AFailureAnywhereInTheSearchYieldsNothingWithItsMessage) {
  buildMixedMap();
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    const size_t shown = messages().size();
    const auto found = GetLayerByName("Streets");
    if (!host.faults().injected()) {
      EXPECT_EQ(found, innerStreets);
      break;
    }
    EXPECT_EQ(found, nullptr) << "also when a match came before the failure";
    ASSERT_EQ(messages().size(), shown + 1);
    EXPECT_EQ(messages().back(), "Error: Could not find layer Streets");
  }
}

TEST_F(LayersAndFields, AFailureWhileListingKeepsTheNamesSoFarWithItsMessage) {
  buildMixedMap();
  const Names all{"Streets", "Parcels", "streets", "Rivers"};
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    const size_t shown = messages().size();
    LoadListWithLayers(list);
    if (!host.faults().injected()) break;
    EXPECT_TRUE(isPrefixOf(entries(), all));
    ASSERT_EQ(messages().size(), shown + 1);
    EXPECT_EQ(messages().back(), "Error loading map layers");
  }
}

TEST_F(LayersAndFields, AGroupOfMoreThan32767MembersOverflowsTheMemberCounter) {
  auto huge = host.groupLayer("Huge");
  huge->add(host.featureLayer("First member", host.table()));
  huge->pretendMemberCount(32768);
  host.map->add(huge).add(host.featureLayer("After", host.table()));
  EXPECT_EQ(GetLayerByName("Streets"), nullptr);
  LoadListWithLayers(list);
  EXPECT_EQ(messages(), (Names{"Error: Could not find layer Streets", "Error loading map layers"}));
  EXPECT_TRUE(isPrefixOf({"Streets", "First member"}, entries()));
  EXPECT_NE(entries().back(), "After");
}

TEST_F(LayersAndFields, AGroupOf32767MembersIsWalkedWhole) {
  auto big = host.groupLayer("Big");
  big->add(host.featureLayer("First member", host.table()));
  big->pretendMemberCount(32767);
  auto after = host.featureLayer("After", host.table());
  host.map->add(big).add(after);
  EXPECT_EQ(GetLayerByName("After"), after);
  EXPECT_TRUE(messages().empty());
}

TEST_F(LayersAndFields, FieldsAreListedInTheDisplayTablesOwnOrder) {
  list.append("stale");
  LoadListWithFields(list, streetLayer);
  EXPECT_EQ(entries(), (Names{"OBJECTID", "NAME", "LANES", "BUILT", "Shape"}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(LayersAndFields, AJoinedDisplayTableListsItsOwnFields) {
  auto joined = host.table();
  joined->addField("Streets.NAME", host::fieldtype::kText).addField("Owners.OWNER", 4);
  streetLayer->setDisplayTable(joined);
  LoadListWithFields(list, streetLayer);
  EXPECT_EQ(entries(), (Names{"Streets.NAME", "Owners.OWNER"}));
}

TEST_F(LayersAndFields, FieldsOfNothingOrOfALayerWithoutATableShowTheMessage) {
  list.append("stale");
  LoadListWithFields(list, nullptr);
  EXPECT_TRUE(entries().empty());
  LoadListWithFields(
      list, std::make_shared<memory::MemoryBareFeatureLayer>(host.context, "Bare", host.table()));
  streetLayer->setDisplayTable(nullptr);
  LoadListWithFields(list, streetLayer);
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(messages(), Names(3, "Error loading layer fields"));
}

TEST_F(LayersAndFields, AFailureWhileListingFieldsKeepsTheFieldsSoFar) {
  const Names all{"OBJECTID", "NAME", "LANES", "BUILT", "Shape"};
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    const size_t shown = messages().size();
    LoadListWithFields(list, streetLayer);
    if (!host.faults().injected()) break;
    EXPECT_TRUE(isPrefixOf(entries(), all));
    ASSERT_EQ(messages().size(), shown + 1);
    EXPECT_EQ(messages().back(), "Error loading layer fields");
  }
}

}  // namespace
}  // namespace corvale

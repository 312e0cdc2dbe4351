#include <gtest/gtest.h>

#include <limits>

#include "errors/ReportMatchers.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "map/MapFixture.h"

namespace corvale {
namespace {

using Names = std::vector<std::string>;
using testing::isReport;
using testing::isReportAt;

/// The object id of a feature the memory host returned, or -1 for nothing.
int64_t idOf(const std::shared_ptr<host::IFeature>& feature) {
  auto row = std::dynamic_pointer_cast<host::IRow>(feature);
  return row ? row->objectId() : -1;
}

class FeatureByValue : public testing::MapFixture {
 protected:
  FeatureByValue() {
    addStreet("Main St");                                                                 // 1
    addStreet("O'Brien Way");                                                             // 2
    streets->addRow({{"NAME", " Main St "}, {"LANES", 4}, {"BUILT", Date{2024, 5, 1}}});  // 3
    addStreet("Main St", 100, 100);                                                       // 4
  }
  std::shared_ptr<host::IFeature> find(const std::string& field, const std::string& value) {
    return GetFeatureByValue(streetLayer, field, value);
  }
};

TEST_F(FeatureByValue, FindsTheFeatureOfTheFirstMatchingRow) {
  EXPECT_EQ(idOf(find("NAME", "Main St")), 1);
  EXPECT_EQ(streets->searches(), Names{"NAME = 'Main St'"});
  EXPECT_TRUE(messages().empty());
}

TEST_F(FeatureByValue, TheFirstRowIsTheOneTheCursorYieldsFirst) {
  streets->setReverseCursorOrder(true);
  EXPECT_EQ(idOf(find("NAME", "Main St")), 4);
}

TEST_F(FeatureByValue, TheClauseCarriesTheFieldNameAsPassed) {
  EXPECT_EQ(idOf(find("name", "Main St")), 1);
  EXPECT_EQ(streets->searches(), Names{"name = 'Main St'"});
}

TEST_F(FeatureByValue, ApostrophesInATextValueAreDoubled) {
  EXPECT_EQ(idOf(find("NAME", "O'Brien Way")), 2);
  EXPECT_EQ(streets->searches(), Names{"NAME = 'O''Brien Way'"});
}

TEST_F(FeatureByValue, AValueCraftedToWidenTheQueryFindsNothingAndChangesNothing) {
  const size_t rows = streets->rows().size();
  EXPECT_EQ(find("NAME", "x' OR '1'='1"), nullptr);
  EXPECT_EQ(streets->searches(), Names{"NAME = 'x'' OR ''1''=''1'"});
  EXPECT_EQ(streets->rows().size(), rows);
  EXPECT_EQ(textOf(streets->valueAt(0, 1)), "Main St");
  EXPECT_TRUE(messages().empty());
}

TEST_F(FeatureByValue, TheValueIsSearchedWithItsBlanks) {
  EXPECT_EQ(idOf(find("NAME", " Main St ")), 3);
  EXPECT_EQ(find("NAME", "Main St  "), nullptr);
}

TEST_F(FeatureByValue, DatesGoBetweenNumberSignsAndOtherValuesBare) {
  EXPECT_EQ(idOf(find("BUILT", "2024-05-01")), 3);
  EXPECT_EQ(idOf(find("LANES", "4")), 3);
  EXPECT_EQ(streets->searches(), (Names{"BUILT = #2024-05-01#", "LANES = 4"}));
}

TEST_F(FeatureByValue, TheLastFieldOfThatNameDecidesHowTheValueIsWrapped) {
  streets->addField("code", host::fieldtype::kInteger).addField("CODE", host::fieldtype::kText);
  EXPECT_EQ(find("Code", "7"), nullptr);
  EXPECT_EQ(streets->searches(), Names{"Code = '7'"});
}

TEST_F(FeatureByValue, AClauseTheHostRefusesIsReportedAndFindsNothing) {
  EXPECT_EQ(find("LANES", "four"), nullptr);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(isReport(messages()[0], err::kHostInvalidSql,
                       "GetFeatureByValue CorvaleGIS_ArcMap Line : 6"));
}

TEST_F(FeatureByValue, NothingBlankOrUnknownReturnsNothingWithoutSearching) {
  EXPECT_EQ(GetFeatureByValue(nullptr, "NAME", "Main St"), nullptr);
  EXPECT_EQ(find("NAME", ""), nullptr);
  EXPECT_EQ(find("NAME", "   "), nullptr);
  EXPECT_EQ(find("", "Main St"), nullptr);
  EXPECT_EQ(find(" ", "Main St"), nullptr);
  EXPECT_EQ(find("LABEL", "Main St"), nullptr);
  EXPECT_EQ(find("NAME ", "Main St"), nullptr);
  EXPECT_TRUE(streets->searches().empty());
  EXPECT_TRUE(messages().empty());
}

TEST_F(FeatureByValue, NoMatchingRowGivesNothingQuietly) {
  EXPECT_EQ(find("NAME", "Nowhere Lane"), nullptr);
  EXPECT_TRUE(messages().empty());
}

TEST_F(FeatureByValue, VeryLongValuesAreFound) {
  const std::string name(10000, 'n');
  addStreet(name);
  EXPECT_EQ(idOf(find("NAME", name)), 5);
}

TEST_F(FeatureByValue, TheFeatureIsFetchedByTheClassesOwnObjectIdField) {
  streets->setObjectIdFieldName("FID");
  streets->addRowWithId(-5, {{"NAME", "Negative"}});
  EXPECT_EQ(idOf(find("NAME", "Negative")), -5);
}

class JoinedFeatureByValue : public FeatureByValue {
 protected:
  JoinedFeatureByValue() {
    joined = host.table();
    joined->addField("OBJECTID", host::fieldtype::kObjectId).addField("NAME", 4);
    streetLayer->setDisplayTable(joined);
  }
  std::shared_ptr<memory::MemoryTable> joined;
};

TEST_F(JoinedFeatureByValue, ARowWhoseIdTheLayerDoesNotYieldGivesNothing) {
  joined->addRowWithId(99, {{"NAME", "Main St"}});
  EXPECT_EQ(find("NAME", "Main St"), nullptr);
  joined->addRowWithId(4, {{"NAME", "Elm"}});
  EXPECT_EQ(idOf(find("NAME", "Elm")), 4);
  EXPECT_TRUE(messages().empty());
}

TEST_F(JoinedFeatureByValue, TablesWithoutObjectIdsAreToldApart) {
  joined->addRowWithId(1, {{"NAME", "Main St"}});
  joined->setHasObjectId(false);
  EXPECT_EQ(find("NAME", "Main St"), nullptr);
  joined->setHasObjectId(true);
  streets->setHasObjectId(false);
  EXPECT_EQ(find("NAME", "Main St"), nullptr);
  EXPECT_EQ(messages(), (Names{"Table must have OID field.", "FeatureClass must have OID field."}));
}

TEST_F(FeatureByValue, ALayerWithoutADisplayTableIsReported) {
  auto bare = std::make_shared<memory::MemoryBareFeatureLayer>(host.context, "Bare", streets);
  EXPECT_EQ(GetFeatureByValue(bare, "NAME", "Main St"), nullptr);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(
      isReport(messages()[0], err::kTypeMismatch, "GetFeatureByValue CorvaleGIS_ArcMap Line : 2"));
  streetLayer->setDisplayTable(nullptr);
  EXPECT_EQ(find("NAME", "Main St"), nullptr);
  EXPECT_EQ(messages().size(), 1u) << "a display table of nothing is not a failure";
}

TEST_F(FeatureByValue, AFailureAnywhereIsReportedOnceAndFindsNothing) {
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    const size_t shown = messages().size();
    const auto feature = find("NAME", "O'Brien Way");
    const bool injected = host.faults().injected();
    host.faults().reset();
    if (!injected) {
      EXPECT_EQ(idOf(feature), 2);
      break;
    }
    EXPECT_EQ(feature, nullptr);
    ASSERT_EQ(messages().size(), shown + 1);
    EXPECT_TRUE(isReportAt(messages().back(), "GetFeatureByValue CorvaleGIS_ArcMap Line : "));
  }
}

class ZoomToFeature : public testing::MapFixture {
 protected:
  std::shared_ptr<host::IFeature> featureWith(std::shared_ptr<memory::MemoryGeometry> shape) {
    streets->addRow({{"NAME", "x"}}, std::move(shape));
    return std::make_shared<memory::MemoryRow>(streets, streets->rows().size() - 1);
  }
  std::string mapExtent() const { return memory::boundsText(host.map->extent()); }
};

TEST_F(ZoomToFeature, TheViewShowsTheEnvelopeEnlargedAboutItsCentreAndIsRefreshed) {
  ZoomToFeaturePlus(featureWith(host.line({{0, 0}, {10, 20}})), 0.2);
  EXPECT_EQ(host.recorder().lines(),
            (Names{"extent: map Layers -1 -2 11 22", "refresh: map Layers"}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(ZoomToFeature, AMarginOf0ShowsTheEnvelopeExactly) {
  ZoomToFeaturePlus(featureWith(host.line({{-3.5, 2}, {4, 8.25}})), 0);
  EXPECT_EQ(mapExtent(), "-3.5 2 4 8.25");
}

TEST_F(ZoomToFeature, APointIsPassedOnWithoutWidthOrHeight) {
  ZoomToFeaturePlus(featureWith(host.point(7, -3)), 0.2);
  EXPECT_EQ(mapExtent(), "7 -3 7 -3");
  EXPECT_EQ(host.map->refreshCount(), 1);
  EXPECT_TRUE(messages().empty());
}

TEST_F(ZoomToFeature, NothingAsTheFeatureChangesNothing) {
  ZoomToFeaturePlus(nullptr, 0.2);
  EXPECT_TRUE(host.recorder().lines().empty());
  EXPECT_TRUE(messages().empty());
}

TEST_F(ZoomToFeature, WithThePageLayoutActiveItsFocusMapIsZoomed) {
  host.document->showLayout(true);
  ZoomToFeaturePlus(featureWith(host.line({{0, 0}, {10, 20}})), 0.2);
  EXPECT_EQ(host.recorder().lines(),
            (Names{"extent: map Layers -1 -2 11 22", "refresh: map Layers"}));
  EXPECT_TRUE(host.document->layout()->extent().empty);
}

TEST_F(ZoomToFeature, AMarginWithoutAFiniteFactorIsReportedAndTheViewStays) {
  const auto feature = featureWith(host.point(1, 1));
  ZoomToFeaturePlus(feature, std::numeric_limits<double>::infinity());
  ZoomToFeaturePlus(feature, std::numeric_limits<double>::quiet_NaN());
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_TRUE(
      isReport(messages()[0], err::kOverflow, "ZoomToFeaturePlus CorvaleGIS_ArcMap Line : 2"));
  EXPECT_TRUE(host.recorder().linesStartingWith("extent:").empty());
}

TEST_F(ZoomToFeature, AFeatureWithoutAShapeIsReported) {
  ZoomToFeaturePlus(featureWith(nullptr), 0.2);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(
      isReport(messages()[0], err::kObjectNotSet, "ZoomToFeaturePlus CorvaleGIS_ArcMap Line : 4"));
}

TEST_F(ZoomToFeature, AFailureAnywhereIsReportedOnceAndWhatTheViewGotStays) {
  const auto feature = featureWith(host.line({{0, 0}, {10, 20}}));
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    host.recorder().clear();
    const size_t shown = messages().size();
    ZoomToFeaturePlus(feature, 0.2);
    if (!host.faults().injected()) break;
    ASSERT_EQ(messages().size(), shown + 1);
    EXPECT_TRUE(isReportAt(messages().back(), "ZoomToFeaturePlus CorvaleGIS_ArcMap Line : "));
    if (host.faults().injectedCall() == "IActiveView.refresh") {
      EXPECT_EQ(host.recorder().linesStartingWith("extent:"),
                Names{"extent: map Layers -1 -2 11 22"});
    }
  }
}

}  // namespace
}  // namespace corvale

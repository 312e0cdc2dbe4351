#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "errors/ReportMatchers.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "map/MapFixture.h"

namespace corvale {
namespace {

using Names = std::vector<std::string>;
using testing::isPrefixOf;
using testing::isReport;
using testing::isReportAt;

class UniqueValues : public testing::MapFixture {
 protected:
  void load(const std::string& layer, const std::string& field, bool showProgress = true,
            std::shared_ptr<host::IQueryFilter> filter = nullptr) {
    LoadListWithUniqueFieldValues(layer, field, list, showProgress, filter);
  }
  void addStreets(const std::vector<Variant>& names) {
    for (const auto& name : names)
      addStreet(name);
  }
  std::vector<std::string> progressLines() {
    return host.recorder().linesStartingWith("progress:");
  }
};

TEST_F(UniqueValues, EachDistinctTextIsListedOnceAtItsFirstOccurrence) {
  addStreets({"Main St", "Elm", "main st", "Main St ", " ", "Elm", "Main St"});
  list.append("stale");
  load("Streets", "NAME");
  EXPECT_EQ(entries(), (Names{"Main St", "Elm", "main st", "Main St ", " "}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(UniqueValues, NullsAndEmptyTextsAreNeverListed) {
  addStreets({Variant::null(), "", "Oak", Variant::null(), ""});
  load("Streets", "NAME");
  EXPECT_EQ(entries(), Names{"Oak"});
}

TEST_F(UniqueValues, TheOrderIsTheCursorsOrder) {
  addStreets({"B", "A", "C", "A"});
  streets->setReverseCursorOrder(true);
  load("Streets", "NAME");
  EXPECT_EQ(entries(), (Names{"A", "C", "B"}));
}

TEST_F(UniqueValues, NumbersAndDatesAreListedAsTheirText) {
  streets->addField("WIDTH", host::fieldtype::kDouble);
  for (int lanes : {2, 4, 2})
    streets->addRow({{"LANES", lanes}, {"WIDTH", lanes * 1.25}});
  streets->addRow({{"BUILT", Date{2024, 5, 1}}, {"WIDTH", 0.1}});
  load("Streets", "LANES");
  EXPECT_EQ(entries(), (Names{"2", "4"}));
  load("Streets", "WIDTH");
  EXPECT_EQ(entries(), (Names{"2.5", "5", "0.1"}));
  load("Streets", "built");
  EXPECT_EQ(entries(), Names{"2024-05-01"});
}

TEST_F(UniqueValues, TheShapeFieldIsRefusedInAnyLetterCase) {
  addStreet("Oak");
  load("Streets", "SHAPE");
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(messages(), Names{"Shape field is not accessible"});
  EXPECT_TRUE(progressLines().empty());
}

TEST_F(UniqueValues, AFieldNameThatOnlyBeginsWithShapeIsNotRefused) {
  streets->addField("Shape_Length", host::fieldtype::kDouble);
  streets->addRow({{"Shape_Length", 12.5}});
  load("Streets", "Shape_Length");
  EXPECT_EQ(entries(), Names{"12.5"});
  EXPECT_TRUE(messages().empty());
}

TEST_F(UniqueValues, BlankNamesReturnAtOnceWithAnEmptyList) {
  addStreet("Oak");
  for (const auto& [layer, field] : std::vector<std::pair<std::string, std::string>>{
           {"", "NAME"}, {"   ", "NAME"}, {"Streets", ""}, {"Streets", " "}}) {
    list.append("stale");
    load(layer, field);
    EXPECT_TRUE(entries().empty());
  }
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(host.faults().hostCalls(), 0);
}

TEST_F(UniqueValues, AMissingLayerOrFieldGivesAnEmptyListWithoutAMessage) {
  addStreet("Oak");
  load("Roads", "NAME");
  EXPECT_TRUE(entries().empty());
  load("Streets", "LABEL");
  EXPECT_TRUE(entries().empty());
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(host.progress().visible) << "hidden also when the field is not found";
  EXPECT_EQ(progressLines().back(), "progress: hide after 1 steps");
}

TEST_F(UniqueValues, AFieldThatVanishedSinceItWasListedGivesAnEmptyList) {
  addStreet("Oak");
  LoadListWithFields(list, streetLayer);
  auto other = host.table();
  other->addField("OBJECTID", host::fieldtype::kObjectId).addField("LABEL", 4);
  streetLayer->setDisplayTable(other);
  load("Streets", "NAME");
  EXPECT_TRUE(entries().empty());
  EXPECT_TRUE(messages().empty());
}

TEST_F(UniqueValues, ProgressStepsOnceBeforeTheRowsAndOncePerRowNullsIncluded) {
  addStreets({"Oak", Variant::null(), "Elm"});
  load("Streets", "NAME");
  const auto& progress = host.progress();
  EXPECT_EQ(progress.message, "Loading List: NAME...");
  EXPECT_EQ(progress.stepSize, 1);
  EXPECT_EQ(progress.maximum, 3);
  EXPECT_EQ(progress.steps, 4);
  EXPECT_FALSE(progress.visible);
  EXPECT_EQ(progressLines(),
            (Names{"progress: message Loading List: NAME...", "progress: maximum 3",
                   "progress: show", "progress: hide after 4 steps"}));
}

TEST_F(UniqueValues, WithoutProgressTheIndicatorIsNeverShownButStillHidden) {
  addStreets({"Oak", "Elm"});
  load("Streets", "NAME", false);
  EXPECT_EQ(entries(), (Names{"Oak", "Elm"}));
  EXPECT_EQ(host.progress().steps, 0);
  EXPECT_EQ(progressLines(), (Names{"progress: message Loading List: NAME...",
                                    "progress: maximum 2", "progress: hide after 0 steps"}));
}

TEST_F(UniqueValues, AFilterNarrowsTheRowsButTheMaximumCountsThemAll) {
  streets->addRow({{"NAME", "Oak"}, {"LANES", 2}});
  streets->addRow({{"NAME", "Elm"}, {"LANES", 4}});
  streets->addRow({{"NAME", "Ash"}, {"LANES", 2}});
  auto filter = host.createQueryFilter();
  filter->setWhereClause("LANES = 2");
  load("Streets", "NAME", true, filter);
  EXPECT_EQ(entries(), (Names{"Oak", "Ash"}));
  EXPECT_EQ(host.progress().maximum, 3);
}

TEST_F(UniqueValues, AnEmptyLayerGivesAnEmptyListAndAMaximumOf0) {
  host.progress().maximum = 99;
  load("Streets", "NAME");
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(host.progress().maximum, 0);
}

TEST_F(UniqueValues, AValueWithoutATextFormIsReportedAndHidesTheProgress) {
  streets->addField("GEOM", host::fieldtype::kGeometry);
  addStreet("Oak");
  load("Streets", "GEOM");
  EXPECT_TRUE(entries().empty());
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(
      isReport(messages()[0], 13, "LoadListWithUniqueFieldValues CorvaleGIS_ArcMap Line : 11"));
  EXPECT_FALSE(host.progress().visible);
}

TEST_F(UniqueValues, AFailureAnywhereKeepsTheValuesSoFarAndHidesTheProgress) {
  addStreets({"Oak", "Elm", Variant::null(), "Ash"});
  const Names all{"Oak", "Elm", "Ash"};
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    const size_t shown = messages().size();
    load("Streets", "NAME");
    if (!host.faults().injected()) {
      EXPECT_EQ(entries(), all);
      break;
    }
    EXPECT_TRUE(isPrefixOf(entries(), all));
    EXPECT_FALSE(host.progress().visible);
    ASSERT_EQ(messages().size(), shown + 1);
    const std::string& shownNow = messages().back();
    EXPECT_TRUE(shownNow == "Error: Could not find layer Streets" ||
                isReportAt(shownNow, "LoadListWithUniqueFieldValues CorvaleGIS_ArcMap Line : "))
        << shownNow;
  }
}

TEST_F(UniqueValues, AFailureAtARowKeepsExactlyTheNamesOfTheRowsReadBeforeIt) {
  // More rows than the loader looks up behind its reads: a failure at any
  // row, whichever call fails, must leave exactly the names of the rows
  // before it, so every prefix of the full list is what some failure leaves.
  addStreets({"R1", "R2", "R3", "R2", Variant::null(), "R4", "R5", "R6", "R7", "R1", "R8", "R9"});
  const Names all{"R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9"};
  std::set<size_t> leftLengths;
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing host call " + std::to_string(k));
    host.faults().reset();
    host.faults().failHostCall(k);
    load("Streets", "NAME");
    if (!host.faults().injected()) break;
    const Names left = entries();
    ASSERT_TRUE(isPrefixOf(left, all));
    leftLengths.insert(left.size());
  }
  for (size_t n = 0; n < all.size(); ++n) EXPECT_EQ(leftLengths.count(n), 1u) << n;
}

TEST_F(UniqueValues, ASortedListTakesFarMoreThan32767DistinctNames) {
  constexpr int kNames = 60000;
  for (int i = 0; i < 2 * kNames; ++i)
    streets->addRow({{"NAME", "Street " + std::to_string(i % kNames)}});
  memory::ScriptedListBox sorted(true, nullptr);
  const auto start = std::chrono::steady_clock::now();
  LoadListWithUniqueFieldValues("Streets", "NAME", sorted, true, nullptr);
  EXPECT_EQ(sorted.count(), kNames);
  EXPECT_EQ(sorted.item(0), "Street 0");
  EXPECT_EQ(sorted.item(kNames - 1), "Street 9999");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
}

}  // namespace
}  // namespace corvale

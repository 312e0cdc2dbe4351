#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>

#include "errors/ReportMatchers.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "map/MapFixture.h"
#include "runtime/TextSet.h"

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

/**
 * A table whose cursors also hand out one field's texts in blocks of a given
 * size (IFieldTexts), taken from the rows it yields; a block may carry the
 * texts' hashes. With failAtRow set, the row at that position fails: the
 * rows before it are handed out, the failure comes at the next call.
 */
class BlockTable : public memory::MemoryTable {
 public:
  using MemoryTable::MemoryTable;
  size_t blockRows = 3;
  bool withHashes = true;
  bool offered = true;
  std::optional<size_t> failAtRow;
  size_t blocksHandedOut = 0;

  std::shared_ptr<host::ICursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                        bool reuse) override {
    auto rows = MemoryTable::search(filter, reuse);
    return std::make_shared<Cursor>(*this, rows, select(clauseOf(filter)));
  }

 private:
  class Cursor : public host::ICursor, public host::IFieldTexts {
   public:
    Cursor(BlockTable& table, std::shared_ptr<host::ICursor> rows, std::vector<size_t> selected)
        : table_(table), rows_(std::move(rows)), selected_(std::move(selected)) {}
    std::shared_ptr<host::IRow> nextRow() override { return rows_->nextRow(); }
    bool readTexts(int32_t index) override {
      index_ = index;
      return table_.offered;
    }
    bool nextTexts(host::FieldTexts& block) override {
      block.texts.clear();
      block.hashes.clear();
      held_.clear();
      if (next_ == table_.failAtRow && next_ < selected_.size()) {
        raise(err::kHostUnspecified, "The source failed.");
      }
      const size_t end = std::min(selected_.size(), next_ + table_.blockRows);
      if (next_ >= end) return false;
      held_.reserve(end - next_);
      for (; next_ < end && next_ != table_.failAtRow; ++next_) {
        const Variant value = table_.valueAt(selected_[next_], index_);
        if (value.isNull()) {
          block.texts.emplace_back();
        } else {
          block.texts.emplace_back(held_.emplace_back(textOf(value)));
        }
        if (table_.withHashes) block.hashes.push_back(value.isNull() ? 7 : TextSet::hashOf(held_.back()));
      }
      ++table_.blocksHandedOut;
      return true;
    }

   private:
    BlockTable& table_;
    std::shared_ptr<host::ICursor> rows_;
    std::vector<size_t> selected_;
    int32_t index_ = -1;
    size_t next_ = 0;
    std::vector<std::string> held_;
  };
};

TEST_F(UniqueValues, TextsHandedOutInBlocksListWhatRowsList) {
  // The same rows read as rows and as blocks of texts of several sizes, with
  // and without hashes: the same list, the same steps. A failure at any row
  // leaves exactly the names of the rows before it and is reported.
  const std::vector<Variant> names{"Oak",  "oak", "Oak ", " ",   Variant::null(), "",    "Elm",
                                   "Oak",  "Ash", "Elm", "Fir",  Variant::null(), "Yew", "ash",
                                   "Pine", "Oak", "Fir", "Birch"};
  addStreets(names);
  load("Streets", "NAME");
  const Names byRows = entries();
  const int32_t stepsByRows = host.progress().steps;
  ASSERT_EQ(byRows.size(), 11u);

  auto blocks = std::make_shared<BlockTable>(host.context.faults);
  blocks->addField("OBJECTID", host::fieldtype::kObjectId).addField("NAME", host::fieldtype::kText);
  for (const auto& name : names) blocks->addRow({{"NAME", name}});
  streetLayer->setDisplayTable(blocks);
  for (const size_t size : {size_t{1}, size_t{4}, size_t{1000}}) {
    for (const bool hashed : {true, false}) {
      SCOPED_TRACE("blocks of " + std::to_string(size) + (hashed ? ", hashed" : ""));
      blocks->blockRows = size;
      blocks->withHashes = hashed;
      blocks->blocksHandedOut = 0;
      host.progress().steps = 0;
      load("Streets", "NAME");
      EXPECT_EQ(entries(), byRows);
      EXPECT_EQ(host.progress().steps, stepsByRows);
      EXPECT_EQ(blocks->blocksHandedOut, (names.size() + size - 1) / size);
    }
  }
  blocks->blockRows = 4;
  for (size_t failAt = 0; failAt <= names.size(); ++failAt) {
    SCOPED_TRACE("failing at row " + std::to_string(failAt));
    blocks->failAtRow = failAt;
    const size_t shown = messages().size();
    load("Streets", "NAME");
    Names expected;
    std::set<std::string> seen;
    for (size_t row = 0; row < failAt && row < names.size(); ++row) {
      if (names[row].isNull()) continue;
      const std::string text = textOf(names[row]);
      if (seen.insert(text).second && !text.empty()) expected.push_back(text);
    }
    EXPECT_EQ(entries(), expected);
    EXPECT_FALSE(host.progress().visible);
    if (failAt < names.size()) {
      ASSERT_EQ(messages().size(), shown + 1);
      EXPECT_TRUE(isReportAt(messages().back(), "LoadListWithUniqueFieldValues CorvaleGIS_ArcMap Line : 11"))
          << messages().back();
    } else {
      EXPECT_EQ(messages().size(), shown);
    }
  }
  // A cursor that cannot hand out the field's texts leaves the rows to be read.
  blocks->failAtRow.reset();
  blocks->offered = false;
  blocks->blocksHandedOut = 0;
  load("Streets", "NAME");
  EXPECT_EQ(entries(), byRows);
  EXPECT_EQ(blocks->blocksHandedOut, 0u);
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

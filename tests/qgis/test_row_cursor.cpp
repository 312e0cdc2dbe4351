#include <gtest/gtest.h>

#include <map>
#include <set>

#include "host/Services.h"
#include "qgis/OgrReference.h"
#include "qgis/QgisFixture.h"
#include "runtime/Variant.h"
#include "state/ProductState.h"

namespace corvale {
namespace {

/// Reads the table through the host's cursor, the way a caller chooses to.
class QgisRowCursor : public testing::CityFixture {
 protected:
  void SetUp() override {
    auto layer = GetLayerByNameOrFail("streets");
    table = query<host::IDisplayTable>(layer)->displayTable();
    nameIndex = query<host::IClass>(table)->findField("name");
    lanesIndex = query<host::IClass>(table)->findField("lanes");
    for (const auto& row : testing::ogrQuery(gpkg(), "SELECT fid + 0, name, lanes FROM streets")) {
      names[std::stoll(*row[0])] = row[1];
      lanes[std::stoll(*row[0])] = row[2];
    }
  }

  std::shared_ptr<host::IFeatureLayer> GetLayerByNameOrFail(const std::string& name) {
    auto layer =
        std::dynamic_pointer_cast<host::IFeatureLayer>(state().HostDocument->focusMap()->layer(0));
    EXPECT_EQ(query<host::ILayer>(layer)->name(), name);
    return layer;
  }

  std::shared_ptr<host::ICursor> search(const std::string& clause = "") {
    std::shared_ptr<host::IQueryFilter> filter;
    if (!clause.empty()) {
      filter = host::hostClasses().createQueryFilter();
      filter->setWhereClause(clause);
    }
    return query<host::ITable>(table)->search(filter, false);
  }

  static std::optional<std::string> textOrNull(const Variant& value) {
    if (value.isNull()) return std::nullopt;
    return textOf(value);
  }

  std::shared_ptr<host::ITable> table;
  int32_t nameIndex = -1, lanesIndex = -1;
  std::map<int64_t, std::optional<std::string>> names, lanes;
};

TEST_F(QgisRowCursor, EveryRowComesOnceWithItsOwnValueWhenTheFirstRowNamesTheField) {
  auto cursor = search();
  std::set<int64_t> seen;
  for (auto row = cursor->nextRow(); row; row = cursor->nextRow()) {
    const int64_t id = row->objectId();
    EXPECT_TRUE(seen.insert(id).second) << "row " << id << " came twice";
    EXPECT_EQ(textOrNull(query<host::IRowValues>(row)->value(nameIndex)), names.at(id)) << id;
  }
  EXPECT_EQ(seen.size(), names.size());
  EXPECT_FALSE(cursor->nextRow());
}

TEST_F(QgisRowCursor, RowsAreRightWhenNoValueIsAskedOrTheFieldIsAskedLate) {
  for (int askFrom : {-1, 2, 100}) {
    auto cursor = search();
    std::set<int64_t> seen;
    int position = 0;
    for (auto row = cursor->nextRow(); row; row = cursor->nextRow(), ++position) {
      const int64_t id = row->objectId();
      EXPECT_TRUE(seen.insert(id).second) << id;
      if (askFrom >= 0 && position >= askFrom) {
        EXPECT_EQ(textOrNull(query<host::IRowValues>(row)->value(nameIndex)), names.at(id));
      }
    }
    EXPECT_EQ(seen.size(), names.size()) << askFrom;
  }
}

TEST_F(QgisRowCursor, ASecondFieldAskedHalfWayIsReadCorrectly) {
  auto cursor = search();
  int position = 0;
  for (auto row = cursor->nextRow(); row; row = cursor->nextRow(), ++position) {
    auto values = query<host::IRowValues>(row);
    const int64_t id = row->objectId();
    EXPECT_EQ(textOrNull(values->value(nameIndex)), names.at(id));
    if (position >= 50) {
      EXPECT_EQ(textOrNull(values->value(lanesIndex)), lanes.at(id)) << id;
    }
  }
  EXPECT_EQ(position, static_cast<int>(names.size()));
}

TEST_F(QgisRowCursor, APlainLoopAlternatesTwoRowObjectsAndHeldRowsKeepTheirValues) {
  auto cursor = search();
  std::set<host::IRow*> objects;
  for (auto row = cursor->nextRow(); row; row = cursor->nextRow()) {
    query<host::IRowValues>(row)->value(nameIndex);
    objects.insert(row.get());
  }
  EXPECT_EQ(objects.size(), 2u);

  // Rows the caller keeps are never handed out again.
  auto again = search();
  std::vector<std::shared_ptr<host::IRow>> kept;
  for (auto row = again->nextRow(); row; row = again->nextRow()) {
    query<host::IRowValues>(row)->value(nameIndex);
    kept.push_back(row);
  }
  ASSERT_EQ(kept.size(), names.size());
  std::set<host::IRow*> distinct;
  for (const auto& row : kept) {
    distinct.insert(row.get());
    EXPECT_EQ(textOrNull(query<host::IRowValues>(row)->value(nameIndex)),
              names.at(row->objectId()));
  }
  EXPECT_EQ(distinct.size(), kept.size());
}

TEST_F(QgisRowCursor, AFilterSelectsExactlyTheRowsWithTheValue) {
  for (const std::string name : {"Main Street", "O'Brien Road", "Elm Street "}) {
    std::string literal;
    for (char c : name)
      literal += c == '\'' ? std::string("''") : std::string(1, c);
    auto cursor = search("name = '" + literal + "'");
    std::set<int64_t> found;
    for (auto row = cursor->nextRow(); row; row = cursor->nextRow())
      found.insert(row->objectId());
    std::set<int64_t> expected;
    for (const auto& [id, value] : names) {
      if (value == name) expected.insert(id);
    }
    EXPECT_FALSE(expected.empty()) << name;
    EXPECT_EQ(found, expected) << name;
  }
  auto byId = search("$id = 5");
  auto row = byId->nextRow();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->objectId(), 5);
  EXPECT_EQ(textOrNull(query<host::IRowValues>(row)->value(nameIndex)), names.at(5));
  EXPECT_FALSE(byId->nextRow());
}

TEST_F(QgisRowCursor, BadClausesAndIndexesAreFailures) {
  try {
    search("name = 'x' OR 1=1");
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostInvalidSql);
  }
  auto cursor = search();
  auto row = cursor->nextRow();
  ASSERT_TRUE(row);
  EXPECT_THROW(query<host::IRowValues>(row)->value(-1), Failure);
  EXPECT_THROW(query<host::IRowValues>(row)->value(99), Failure);
}

TEST_F(QgisRowCursor, FeatureCountWithAFilterCountsTheSelectedRows) {
  auto featureClass = query<host::IFeatureLayer>(GetLayerByNameOrFail("streets"))->featureClass();
  auto filter = host::hostClasses().createQueryFilter();
  filter->setWhereClause("name = 'Main Street'");
  int32_t expected = 0;
  for (const auto& [id, value] : names)
    expected += value == "Main Street" ? 1 : 0;
  EXPECT_EQ(featureClass->featureCount(filter), expected);
  filter->setWhereClause("$id = 3");
  EXPECT_EQ(featureClass->featureCount(filter), 1);
  filter->setWhereClause("$id = 100000");
  EXPECT_EQ(featureClass->featureCount(filter), 0);
}

}  // namespace
}  // namespace corvale

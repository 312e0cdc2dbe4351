#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "GpkgWriter.h"
#include "SyntheticStreets.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "qgis/OgrReference.h"
#include "qgis/QgisFixture.h"
#include "runtime/Text.h"
#include "runtime/Variant.h"

namespace corvale {
namespace {

using Names = std::vector<std::string>;

/// The distinct non-null, non-empty texts of a column, at their first occurrence in id order.
Names firstOccurrences(const std::filesystem::path& gpkg, const std::string& column,
                       const std::string& table = "streets") {
  Names names;
  std::set<std::string> seen;
  for (const auto& value :
       testing::ogrColumn(gpkg, "SELECT \"" + column + "\" FROM \"" + table + "\" ORDER BY fid")) {
    if (value && !value->empty() && seen.insert(*value).second) names.push_back(*value);
  }
  return names;
}

/// OGR's text of a date or date-time ("2016/02/02 01:01:07+00") as the component writes it.
std::string componentDateText(std::string text) {
  for (char& c : text)
    c = c == '/' ? '-' : c;
  for (const std::string tail : {"+00", " 00:00:00"}) {
    if (text.size() > tail.size() &&
        text.compare(text.size() - tail.size(), tail.size(), tail) == 0) {
      text.resize(text.size() - tail.size());
    }
  }
  return text;
}

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    }
    i += length;
  }
  return true;
}

class QgisUniqueValues : public testing::CityFixture {
 protected:
  void load(const std::string& layer, const std::string& field) {
    LoadListWithUniqueFieldValues(layer, field, list, true, nullptr);
  }
};

TEST_F(QgisUniqueValues, StreetNamesAreListedOnceEachAtTheirFirstOccurrence) {
  load("streets", "name");
  EXPECT_EQ(list.entries(), firstOccurrences(gpkg(), "name"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(QgisUniqueValues, CaseTwinsBlanksAndForeignLettersStayDistinctAndNullsAndEmptiesGo) {
  load("streets", "name");
  const std::set<std::string> names(list.entries().begin(), list.entries().end());
  EXPECT_EQ(names.size(), list.entries().size()) << "a name was listed twice";
  for (const char* expected :
       {"Main Street", "MAIN STREET", "main street", " Harbour Lane", "Elm Street", "Elm Street ",
        " ", "O'Brien Road", "Commerce Street, North", "x' OR '1'='1", "\xC3\x85lesund All\xC3\xA9",
        "Lange Stra\xC3\x9F"
        "e",
        "Unbuilt Road"}) {
    EXPECT_EQ(names.count(expected), 1u) << expected;
  }
  EXPECT_EQ(names.count(""), 0u);
}

TEST_F(QgisUniqueValues, TheSortedListOrdersByCollation) {
  testing::TextListBox sorted(true);
  LoadListWithUniqueFieldValues("streets", "name", sorted, true, nullptr);
  Names expected = firstOccurrences(gpkg(), "name");
  Collation::sort(expected);
  EXPECT_EQ(sorted.entries(), expected);
}

TEST_F(QgisUniqueValues, NumbersAndDatesAreListedAsTheirText) {
  load("streets", "lanes");
  EXPECT_EQ(list.entries(), firstOccurrences(gpkg(), "lanes"));
  EXPECT_EQ(std::set<std::string>(list.entries().begin(), list.entries().end()),
            (std::set<std::string>{"1", "2", "3", "4"}));

  load("streets", "width_m");
  Names widths;
  for (const auto& text : firstOccurrences(gpkg(), "width_m")) {
    widths.push_back(doubleText(std::stod(text)));
  }
  EXPECT_EQ(list.entries(), widths);

  for (const char* field : {"opened", "surveyed"}) {
    load("streets", field);
    Names dates;
    for (const auto& text : firstOccurrences(gpkg(), field))
      dates.push_back(componentDateText(text));
    EXPECT_EQ(list.entries(), dates) << field;
  }
}

TEST_F(QgisUniqueValues, AFieldWithABlankInItsNameIsRead) {
  load("streets", "Alt Name");
  EXPECT_EQ(list.entries(), firstOccurrences(gpkg(), "Alt Name"));
  EXPECT_FALSE(list.entries().empty());
}

TEST_F(QgisUniqueValues, AFieldTheLayerLacksGivesAnEmptyListSilently) {
  load("streets", "no such field");
  EXPECT_TRUE(list.entries().empty());
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(progress().isShown());
}

TEST_F(QgisUniqueValues, ProgressCountsEveryFeatureAndEndsHidden) {
  load("streets", "name");
  EXPECT_EQ(progress().maximum(), testing::streetRows(gpkg()));
  // One step before the first row and one per row, nulls included.
  EXPECT_EQ(progress().position(), testing::streetRows(gpkg()) + 1);
  EXPECT_FALSE(progress().isShown());
  EXPECT_EQ(progress().label()->text().toStdString(), "Loading List: name...");
}

TEST_F(QgisUniqueValues, ALargerLayerWithNullsIsReadExactly) {
  testing::TempFolder folder;
  tools::SyntheticStreetsOptions options;
  options.features = 20000;
  options.names = 3000;
  options.seed = 7;
  options.nullShare = 0.05;
  tools::writeSyntheticStreets((folder / "big.gpkg").string(), options);
  addLayer(folder / "big.gpkg", "streets", "big");
  load("big", "name");
  const Names expected = firstOccurrences(folder / "big.gpkg", "name");
  EXPECT_EQ(expected.size(), 3000u);
  EXPECT_EQ(list.entries(), expected);
  EXPECT_EQ(progress().maximum(), 20000);
}

TEST_F(QgisUniqueValues, InvalidUtf8InTheDataArrivesAsReplacementCharacters) {
  testing::TempFolder folder;
  {
    tools::GpkgWriter writer((folder / "odd.gpkg").string());
    writer.beginLayer("streets", wkbPoint, 25832, {{"name", OFTString}});
    writer.addFeature({tools::FieldValue::of(std::string("Good Road"))}, {{1, 1}});
    writer.addFeature({tools::FieldValue::of(std::string("Bad \xFF\xFE Road"))}, {{2, 2}});
    writer.addFeature({tools::FieldValue::of(std::string("Cut \xC3"))}, {{3, 3}});
    writer.endLayer();
  }
  addLayer(folder / "odd.gpkg", "streets", "odd");
  load("odd", "name");
  ASSERT_EQ(list.entries().size(), 3u);
  EXPECT_EQ(list.entries()[0], "Good Road");
  for (const auto& name : list.entries())
    EXPECT_TRUE(isValidUtf8(name)) << name;
  EXPECT_NE(list.entries()[1].find("\xEF\xBF\xBD"), std::string::npos) << list.entries()[1];
  EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace corvale

// Hostile data on the in-memory host: street names, fields and shapes such as
// real data sources hold, and a map that changes under an open window. Each
// case runs the whole product (click, list, Go, pick, configuration window)
// and must end in a known outcome: the exact list, the exact extent or a map
// left alone with the documented message, the default pointer, and the
// configuration file as it was.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

#include "errors/ReportMatchers.h"
#include "host/Data.h"
#include "hostile/HostileExpectations.h"
#include "runtime/Text.h"
#include "scenarios/SampleCity.h"
#include "state/ProductState.h"

namespace corvale::testing {
namespace {

using namespace std::string_literals;
using host::MousePointer;
namespace ft = host::fieldtype;
using Vertices = std::vector<std::pair<double, double>>;

/// One value of a column of the hostile layer and the text the list must show for it.
struct Cell {
  Variant value;
  std::optional<std::string> text;  // nothing for null
};

Cell text(std::string t) {
  return {Variant(t), t};
}
Cell null() {
  return {Variant::null(), std::nullopt};
}
Cell shown(Variant value, std::string t) {
  return {std::move(value), std::move(t)};
}

const std::string kLongName = "Long " + std::string(9995, 'l');

/// The hostile street names, in the order of their rows.
std::vector<Cell> hostileNames() {
  return {
      text("Fisherman's Wharf"),
      text("The \"Strand\""),
      text("100% Road"),
      text("%"),
      text("Under_Score Lane"),
      text("_"),
      text("x' OR '1'='1"),
      text("'; DROP TABLE streets; --"),
      text("Tab\tStreet"),
      text("Carriage\rReturn Road"),
      text("Line\nFeed Lane"),
      text("Start\x01of Heading Way"),
      text("Delete\x7f Row"),
      text("Bad \xff\xfe Bytes"),
      text("Cut Short \xc3"),
      text(kLongName),
      text("\xF0\x9F\x9A\xB2 Bike Path"),
      text("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 Family Way"),
      text("  Padded Road  "),
      text("Padded Road"),
      text(" Padded Road"),
      text("Padded Road "),
      text("ELM ROW"),
      text("Elm Row"),
      text("elm row"),
      text("Cafe Street"),
      text("Caf\xC3\xA9 Street"),
      text("CAF\xC3\x89 STREET"),
      text("Cafe\xCC\x81 Street"),  // e and a combining acute accent
      text(" "),
      text("   "),
      text("\t"),
      text("A = B"),
      text("#1 Street#"),
      text("Nul\0Inside"s),
      null(),
      text(""),
      text("Fisherman's Wharf"),  // a second feature of the same street
      text("elm row"),
  };
}

std::vector<Cell> integers() {
  return {
      shown(int64_t{9007199254740992}, "9007199254740992"),
      shown(int64_t{9007199254740993}, "9007199254740993"),  // the same double as the one before
      shown(std::numeric_limits<int64_t>::max(), "9223372036854775807"),
      shown(std::numeric_limits<int64_t>::min(), "-9223372036854775808"),
      shown(int64_t{-7}, "-7"),
      shown(int64_t{0}, "0"),
      null(),
      shown(int64_t{42}, "42"),
      shown(int64_t{42}, "42"),
  };
}

std::vector<Cell> doubles() {
  return {
      shown(0.1 + 0.2, "0.3"),  // 0.30000000000000004: no text of 15 digits reads back to it
      shown(0.3, "0.3"),
      shown(0.1, "0.1"),
      shown(-2.5, "-2.5"),
      shown(1.0 / 3, "0.333333333333333"),
      shown(-2.0 / 3, "-0.666666666666667"),
      shown(1e300, "1E+300"),
      shown(-1e300, "-1E+300"),
      shown(std::numeric_limits<double>::max(), "1.79769313486232E+308"),
      shown(std::numeric_limits<double>::denorm_min(), "5E-324"),
      shown(1e-5, "0.00001"),
      shown(1e-6, "1E-06"),
      shown(123456789.123456789, "123456789.123457"),
      shown(0.0, "0"),
      null(),
  };
}

std::vector<Cell> dates() {
  return {
      shown(Date{2024, 2, 29}, "2024-02-29"),
      shown(Date{1999, 12, 31, 23, 59, 59}, "1999-12-31 23:59:59"),
      shown(Date{1899, 12, 30}, "1899-12-30"),
      shown(Date{1, 1, 1}, "0001-01-01"),
      null(),
      shown(Date{2024, 2, 29}, "2024-02-29"),
  };
}

std::vector<Cell> booleans() {
  return {shown(false, "False"), null(), shown(true, "True"), shown(false, "False")};
}

/// The line of row i: small, and apart from every other row's.
Vertices lineOfRow(size_t i) {
  const double x = static_cast<double>(i) * 10, y = -static_cast<double>(i) * 5;
  return {{x, y}, {x + 3 + static_cast<double>(i % 4), y + 2}};
}

/// The extent a pick must give for a feature drawn through these vertices: their
/// bounding rectangle, 1.2 times as wide and high about the same centre.
memory::Bounds zoomedTo(const Vertices& vertices) {
  double x0 = vertices[0].first, x1 = x0, y0 = vertices[0].second, y1 = y0;
  for (const auto& [x, y] : vertices) {
    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  }
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2 * 1.2,
               hh = (y1 - y0) / 2 * 1.2;
  return {cx - hw, cy - hh, cx + hw, cy + hh, false};
}

/**
 * The sample city with one more layer, "Hostile Roads": a column of hostile
 * names and columns of integers, doubles, dates, booleans and nothing but
 * nulls. Row i is a short line of its own (lineOfRow).
 */
class HostileCity : public SampleCity {
 protected:
  struct Column {
    std::string field;
    int32_t type;
    std::vector<Cell> cells;
  };

  HostileCity() {
    columns_ = {{"NAME", ft::kText, hostileNames()},     {"CODE", ft::kInteger, integers()},
                {"MEASURE", ft::kDouble, doubles()},     {"OPENED", ft::kDate, dates()},
                {"FLAG", ft::kSmallInteger, booleans()}, {"NOTHING", ft::kText, {null(), null()}}};
    hostile = host.table();
    hostile->addField("OBJECTID", ft::kObjectId);
    size_t rows = 0;
    for (const auto& column : columns_) {
      hostile->addField(column.field, column.type);
      rows = std::max(rows, column.cells.size());
    }
    hostile->addField("Shape", ft::kGeometry);
    for (size_t i = 0; i < rows; ++i) {
      std::vector<std::pair<std::string, Variant>> values;
      for (const auto& column : columns_) {
        if (i < column.cells.size()) values.emplace_back(column.field, column.cells[i].value);
      }
      hostile->addRow(values, host.line(lineOfRow(i)));
    }
    hostileLayer = host.featureLayer("Hostile Roads", hostile);
    host.map->add(hostileLayer);
  }

  const Column& column(const std::string& field) const {
    for (const auto& c : columns_) {
      if (c.field == field) return c;
    }
    throw std::logic_error("no column " + field);
  }

  std::vector<std::string> expectedEntries(const std::string& field) const {
    std::vector<std::optional<std::string>> texts;
    for (const auto& cell : column(field).cells)
      texts.push_back(cell.text);
    return expectedList(texts, Collation::localeName());
  }

  /// The row of the first feature whose value shows as `shownText`.
  size_t firstRowShowing(const std::string& field, const std::string& shownText) const {
    const auto& cells = column(field).cells;
    for (size_t i = 0; i < cells.size(); ++i) {
      if (cells[i].text == shownText) return i;
    }
    throw std::logic_error("no row shows " + shownText);
  }

  /// Configures the field of the hostile layer, creates the command and opens the search window.
  void open(const std::string& field) {
    configuredBytes_ = "\"Hostile Roads\"\r\n\"" + field + "\"\r\n";
    configure("Hostile Roads", field);
    createCommand();
    click();
  }

  std::string configBytes() const { return readBytes(productFolder() / "config"); }
  std::vector<std::string> shownEntries() { return entries("frmMain", "List1"); }
  memory::ScriptedForm& search() { return window("frmMain"); }

  /**
   * Picks every entry of the list and checks the zoom: the first feature that
   * shows the entry, enlarged by the margin; a blank entry leaves the map
   * alone. Nothing is said, the pointer comes back, the file stays.
   */
  void pickEveryEntryOf(const std::string& field) {
    const auto shownList = shownEntries();
    ASSERT_FALSE(shownList.empty());
    for (const auto& entry : shownList) {
      SCOPED_TRACE("entry [" + printable(entry) + "]");
      host.map->resetView();
      const memory::Bounds before = host.map->extent();
      const size_t messagesBefore = messages().size();
      search().pick("List1", entry);
      if (entry.find_first_not_of(' ') == std::string::npos) {
        EXPECT_EQ(host.map->extent(), before) << "a blank name is never looked up";
      } else {
        const memory::Bounds want = zoomedTo(lineOfRow(firstRowShowing(field, entry)));
        EXPECT_EQ(memory::boundsText(host.map->extent()), memory::boundsText(want));
        EXPECT_EQ(host.map->refreshCount(), 1);
      }
      EXPECT_EQ(messages().size(), messagesBefore)
          << (messages().empty() ? std::string() : messages().back());
      EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
      EXPECT_EQ(search().list("List1").text(), entry);
    }
    EXPECT_EQ(configBytes(), configuredBytes_);
  }

  std::shared_ptr<memory::MemoryTable> hostile;
  std::shared_ptr<memory::MemoryFeatureLayer> hostileLayer;
  std::string configuredBytes_;

 private:
  std::vector<Column> columns_;
};

TEST_F(HostileCity, HostileNamesAreListedOnceEachInCollationOrder) {
  open("NAME");
  EXPECT_EQ(shownEntries(), expectedEntries("NAME"));
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
  EXPECT_EQ(configBytes(), configuredBytes_);
}

TEST_F(HostileCity, EveryHostileNameThatIsListedCanBePickedAndZoomsToItsFirstFeature) {
  open("NAME");
  pickEveryEntryOf("NAME");
}

TEST_F(HostileCity, GoFindsHostileNamesByTheirBeginning) {
  open("NAME");
  const auto shownList = shownEntries();
  std::vector<std::string> prefixes = hostilePrefixes();
  prefixes.insert(prefixes.end(), {"zzz", "\xF0\x9F\x9A\xB3"});
  for (const std::string& prefix : prefixes) {
    SCOPED_TRACE("prefix [" + printable(prefix) + "]");
    const size_t messagesBefore = messages().size();
    search().list("List1").select(-1);
    type(prefix);
    go();
    const int want = firstEntryBeginningWith(shownList, prefix);
    EXPECT_EQ(search().list("List1").selectedIndex(), want);
    if (want < 0) {
      ASSERT_EQ(messages().size(), messagesBefore + 1);
      EXPECT_EQ(messages().back(), "No matching feature found");
    } else {
      EXPECT_EQ(messages().size(), messagesBefore);
    }
    EXPECT_TRUE(host.map->extent().empty) << "a search never zooms";
    EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
  }
}

TEST_F(HostileCity, NumericDateAndBooleanFieldsListTheirTextsAndEachPickFindsItsFeature) {
  for (const std::string field : {"CODE", "MEASURE", "OPENED", "FLAG"}) {
    SCOPED_TRACE(field);
    open(field);
    EXPECT_EQ(shownEntries(), expectedEntries(field));
    EXPECT_TRUE(messages().empty());
    pickEveryEntryOf(field);
    toolkit->unload(toolkit->forms("frmMain").back());
    resetState();
    host.recorder().clear();
  }
}

TEST_F(HostileCity, AFieldOfNothingButNullsGivesAnEmptyListAndGoSaysSo) {
  open("NOTHING");
  EXPECT_TRUE(shownEntries().empty());
  EXPECT_TRUE(messages().empty());
  type("a");
  go();
  EXPECT_EQ(messages(), std::vector<std::string>{"No matching feature found"});
  EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
  EXPECT_EQ(configBytes(), configuredBytes_);
}

TEST_F(HostileCity, AnEmptyLayerGivesAnEmptyListWithAProgressMaximumOfZero) {
  hostile->removeAllRows();
  open("NAME");
  EXPECT_TRUE(shownEntries().empty());
  EXPECT_EQ(host.progress().maximum, 0);
  EXPECT_TRUE(messages().empty());
  type("a");
  go();
  EXPECT_EQ(messages(), std::vector<std::string>{"No matching feature found"});
  EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
}

TEST_F(HostileCity, PointEmptyAndNullShapesZoomAsTheHostShowsThemOrLeaveTheMapWithAReport) {
  hostile->removeAllRows();
  hostile->addRow({{"NAME", "Point Place"}}, host.point(12.5, -3));
  hostile->addRow({{"NAME", "Empty Place"}}, host.emptyShape());
  hostile->addRow({{"NAME", "Null Place"}}, nullptr);
  open("NAME");
  EXPECT_EQ(shownEntries(), (std::vector<std::string>{"Empty Place", "Null Place", "Point Place"}));

  search().pick("List1", "Point Place");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "12.5 -3 12.5 -3");
  EXPECT_TRUE(messages().empty());

  // The memory host shows an empty extent for a shape without vertices.
  search().pick("List1", "Empty Place");
  EXPECT_TRUE(host.map->extent().empty);
  EXPECT_TRUE(messages().empty());

  host.map->resetView();
  search().pick("List1", "Null Place");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(
      isReport(messages()[0], err::kObjectNotSet, "ZoomToFeaturePlus CorvaleGIS_ArcMap Line : 4"))
      << messages()[0];
  EXPECT_EQ(host.map->refreshCount(), 0) << "the map is left as it was";
  EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
  EXPECT_EQ(configBytes(), configuredBytes_);
}

/// The sample city's configured search window, open, for changes of the map under it.
class ChangingCity : public SampleCity {
 protected:
  ChangingCity() {
    configure("Streets", "FULLNAME");
    createCommand();
  }
  static constexpr const char* kConfigured = "\"Streets\"\r\n\"FULLNAME\"\r\n";
  std::string configBytes() const { return readBytes(productFolder() / "config"); }
  memory::ScriptedForm& search() { return window("frmMain"); }
  /// A pick that must leave the map alone and say nothing.
  void expectPickLeavesTheMapAlone(const std::string& name) {
    host.map->resetView();
    search().pick("List1", name);
    EXPECT_TRUE(host.map->extent().empty) << name;
    EXPECT_EQ(host.map->refreshCount(), 0) << name;
    EXPECT_TRUE(messages().empty()) << (messages().empty() ? "" : messages().back());
    EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
  }
};

TEST_F(ChangingCity, AStreetLayerRemovedAndAddedBackIsFoundAgain) {
  click();
  host.map->removeLayer(streetLayer);
  expectPickLeavesTheMapAlone("Elm Street");
  host.map->add(streetLayer);
  search().pick("List1", "Birch Avenue");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "-54 -44 -6 4");
  EXPECT_EQ(configBytes(), kConfigured);
}

TEST_F(ChangingCity, AProjectReplacedBetweenClicksIsTheOneThePickSearches) {
  click();
  const auto before = entries("frmMain", "List1");
  host.replaceDocument();
  click();
  EXPECT_EQ(entries("frmMain", "List1"), before) << "the open list stays until a new configuration";
  expectPickLeavesTheMapAlone("Elm Street");

  // The new project has a "streets" layer of its own, with other data.
  auto other = host.table();
  other->addField("OBJECTID", ft::kObjectId)
      .addField("fullname", ft::kText)
      .addField("Shape", ft::kGeometry);
  other->addRow({{"fullname", "Elm Street"}}, host.line({{1000, 1000}, {1010, 1020}}));
  host.map->add(host.featureLayer("streets", other));
  click();
  search().pick("List1", "Elm Street");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "999 998 1011 1022");
  expectPickLeavesTheMapAlone("Birch Avenue");
  EXPECT_EQ(configBytes(), kConfigured);
}

TEST_F(ChangingCity, ALayerRenamedAfterListingIsNotFoundAndOneRenamedBeforeGivesAnEmptyList) {
  click();
  streetLayer->rename("Roads");
  expectPickLeavesTheMapAlone("Elm Street");
  streetLayer->rename("STREETS");
  search().pick("List1", "Elm Street");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "-5 -10 55 110") << "names match in any case";

  streetLayer->rename("Roads");
  toolkit->whenModal(chooseAndContinue("Roads", "FULLNAME"));
  pressConfigure();
  EXPECT_EQ(configBytes(), "\"Roads\"\r\n\"FULLNAME\"\r\n");
  EXPECT_EQ(entries("frmMain", "List1").size(), 8u);
  search().pick("List1", "Elm Street");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "-5 -10 55 110");
  EXPECT_TRUE(messages().empty());
}

TEST_F(ChangingCity, AFieldRenamedOrRemovedBeforeTheFirstClickGivesAnEmptyListSilently) {
  streets->renameField("FULLNAME", "STREETNAME");
  click();
  EXPECT_TRUE(entries("frmMain", "List1").empty());
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(toolkit->pointer(), MousePointer::Default);
  type("e");
  go();
  EXPECT_EQ(messages(), std::vector<std::string>{"No matching feature found"});
  EXPECT_EQ(configBytes(), kConfigured);
}

TEST_F(ChangingCity, AFieldRemovedOrRenamedAfterListingLeavesTheMapAloneAndOnlyItsCaseDoesNot) {
  click();
  streets->renameField("FULLNAME", "fullname");
  search().pick("List1", "Elm Street");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "-5 -10 55 110");
  streets->renameField("FULLNAME", "STREETNAME");
  expectPickLeavesTheMapAlone("Birch Avenue");
  streets->removeField("STREETNAME");
  expectPickLeavesTheMapAlone("Birch Avenue");
  EXPECT_EQ(configBytes(), kConfigured);
}

TEST_F(ChangingCity, LayerAndFieldNamesOfAnyTextAreStoredAndReadBackExactly) {
  auto table = host.table();
  const std::string field =
      "Stra\xC3\x9F"
      "enname \xF0\x9F\x9A\xB2";
  table->addField("OBJECTID", ft::kObjectId)
      .addField(field, ft::kText)
      .addField("Shape", ft::kGeometry);
  table->addRow({{field, "Ringvegen"}}, host.line({{0, 0}, {10, 10}}));
  for (const std::string layer :
       {"Veier, nord", " Leading Blank", "Trailing Blank ", "\xE6\x9D\xB1\xE4\xBA\xAC roads",
        "x' OR '1'='1", "Two\r\nLines", "Comma,\tand tab"}) {
    SCOPED_TRACE(layer);
    auto roads = host.featureLayer(layer, table);
    host.map->add(roads);
    click();
    toolkit->whenModal(chooseAndContinue(layer, field));
    pressConfigure();
    EXPECT_EQ(configBytes(), "\"" + layer + "\"\r\n\"" + field + "\"\r\n");
    EXPECT_EQ(entries("frmMain", "List1"), std::vector<std::string>{"Ringvegen"});
    search().pick("List1", "Ringvegen");
    EXPECT_EQ(memory::boundsText(host.map->extent()), "-1 -1 11 11");
    EXPECT_TRUE(messages().empty());
    host.map->removeLayer(roads);
  }
}

TEST_F(ChangingCity, ALayerNameHoldingDoubleQuotesIsStoredSoThatItReadsBackWhole) {
  auto table = host.table();
  table->addField("OBJECTID", ft::kObjectId).addField("NAME", ft::kText);
  table->addField("Shape", ft::kGeometry);
  table->addRow({{"NAME", "Ringvegen"}}, host.line({{0, 0}, {10, 10}}));
  host.map->add(host.featureLayer("Roads \"North\"", table));
  host.map->add(host.featureLayer("Roads \"North\", South", table));

  // No form of the file carries a quote beside a comma: refused, the old file kept.
  click();
  toolkit->whenModal([this](memory::ScriptedForm& config) {
    chooseAndContinue("Roads \"North\", South", "NAME")(config);
    config.press("Command2");
  });
  pressConfigure();
  EXPECT_EQ(configBytes(), kConfigured);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(isReportAt(messages()[0], "Command1_Click frmConfig"));
  EXPECT_NE(messages()[0].find("Roads \"North\", South"), std::string::npos) << messages()[0];
  EXPECT_EQ(entries("frmMain", "List1").size(), 8u);

  toolkit->whenModal(chooseAndContinue("Roads \"North\"", "NAME"));
  pressConfigure();
  EXPECT_EQ(configBytes(), "Roads \"North\"\r\n\"NAME\"\r\n");
  EXPECT_EQ(state().StreetLayerName, "Roads \"North\"");
  EXPECT_EQ(entries("frmMain", "List1"), std::vector<std::string>{"Ringvegen"});
  EXPECT_EQ(messages().size(), 1u);
  EXPECT_EQ(toolkit->pointer(), MousePointer::Default);

  // A later session reads the same file back whole.
  state().StreetLayerName.clear();
  createCommand();
  click();
  EXPECT_EQ(entries("frmMain", "List1"), std::vector<std::string>{"Ringvegen"});
}

}  // namespace
}  // namespace corvale::testing

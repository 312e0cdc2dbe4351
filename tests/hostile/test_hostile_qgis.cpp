// Hostile data in real GeoPackage files, read by QGIS: the whole product as
// the plugin runs it (the component session with the Qt toolkit, headless),
// from the click to the zoom. What the file holds is read back through OGR
// alone, apart from QGIS, and the lists and extents are worked out from that
// and from the data written.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include <QAbstractButton>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

#include "GpkgWriter.h"
#include "errors/ReportMatchers.h"
#include "host/Services.h"
#include "hostile/HostileExpectations.h"
#include "hosts/qgis/QgisObserver.h"
#include "hosts/qgis/plugin/ComponentSession.h"
#include "platform/posix/PosixFileSystem.h"
#include "runtime/Text.h"
#include "state/ProductState.h"
#include "support/TempFolder.h"

namespace corvale::testing {
namespace {

using tools::DateTime;
using tools::FieldValue;

constexpr int kEpsg = 25832;
const std::string kLongName = "Long " + std::string(9995, 'l');

/// A value written to a column and the text the list must show for it (nothing for null).
struct Cell {
  FieldValue value;
  std::optional<std::string> text;
};
Cell shown(FieldValue value, std::string t) {
  return {std::move(value), std::move(t)};
}
Cell null() {
  return {FieldValue::null(), std::nullopt};
}
Cell integer(int64_t i, std::string t) {
  return shown(FieldValue::of(i), std::move(t));
}
Cell real(double r, std::string t) {
  return shown(FieldValue::of(r), std::move(t));
}
Cell date(DateTime d, std::string t) {
  return shown(FieldValue::of(d), std::move(t));
}

/// The hostile names, in row order. Two rows are rewritten in SQLite afterwards (kRewritten).
const std::vector<std::string>& hostileNames() {
  static const std::vector<std::string> names = {
      "Fisherman's Wharf",
      "The \"Strand\"",
      "100% Road",
      "%",
      "Under_Score Lane",
      "_",
      "x' OR '1'='1",
      "'; DROP TABLE hostile_roads; --",
      "Tab\tStreet",
      "Carriage\rReturn Road",
      "Line\nFeed Lane",
      "Start\x01of Heading Way",
      "Delete\x7f Row",
      "Bad \xff\xfe Bytes",
      "Cut Short \xc3",
      kLongName,
      "\xF0\x9F\x9A\xB2 Bike Path",
      "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 Family Way",
      "  Padded Road  ",
      "Padded Road",
      " Padded Road",
      "Padded Road ",
      "ELM ROW",
      "Elm Row",
      "elm row",
      "Cafe Street",
      "Caf\xC3\xA9 Street",
      "CAF\xC3\x89 STREET",
      "Cafe\xCC\x81 Street",
      " ",
      "   ",
      "\t",
      "A = B",
      "#1 Street#",
      "to be rewritten: a NUL inside",
      "to be rewritten: a blob",
      "",
      "Fisherman's Wharf",
      "elm row",
      "Bad \xff\xfe Bytes",
  };
  return names;
}
constexpr int64_t kNulRow = 34, kBlobRow = 35, kNullNameRow = 40;
/// SQL literals of what those rows hold in the end: text with a NUL, and a blob.
const char* const kNulText = "CAST(X'4E756C00496E73696465' AS TEXT)";  // "Nul\0Inside"
const char* const kBlobText = "X'426C6F6220526F6164'";                 // "Blob Road"

std::vector<Cell> integers() {
  return {integer(9007199254740992, "9007199254740992"),
          integer(9007199254740993, "9007199254740993"),
          integer(std::numeric_limits<int64_t>::max(), "9223372036854775807"),
          integer(std::numeric_limits<int64_t>::min(), "-9223372036854775808"),
          integer(-7, "-7"),
          integer(0, "0"),
          null(),
          integer(42, "42"),
          integer(42, "42")};
}

std::vector<Cell> doubles() {
  return {real(0.1 + 0.2, "0.3"),  // no text of 15 digits reads back to 0.30000000000000004
          real(0.3, "0.3"),
          real(0.1, "0.1"),
          real(-2.5, "-2.5"),
          real(1.0 / 3, "0.333333333333333"),
          real(-2.0 / 3, "-0.666666666666667"),
          real(1e300, "1E+300"),
          real(-1e300, "-1E+300"),
          real(std::numeric_limits<double>::max(), "1.79769313486232E+308"),
          real(std::numeric_limits<double>::denorm_min(), "5E-324"),
          real(1e-5, "0.00001"),
          real(1e-6, "1E-06"),
          real(123456789.123456789, "123456789.123457"),
          real(0.0, "0"),
          null()};
}

std::vector<Cell> dates() {
  return {date({2024, 2, 29}, "2024-02-29"),  date({1999, 12, 31}, "1999-12-31"),
          date({1, 1, 1}, "0001-01-01"),      null(),
          date({9999, 12, 31}, "9999-12-31"), date({2024, 2, 29}, "2024-02-29")};
}

std::vector<Cell> dateTimes() {
  return {date({1999, 12, 31, 23, 59, 59}, "1999-12-31 23:59:59"),
          date({2024, 5, 1, 0, 0, 0}, "2024-05-01"), null(),
          date({2024, 5, 1, 13, 45, 0}, "2024-05-01 13:45:00")};
}

std::vector<Cell> booleans() {
  return {integer(0, "False"), null(), integer(1, "True"), integer(0, "False")};
}

struct Column {
  std::string field;
  OGRFieldType type;
  OGRFieldSubType subType;
  std::vector<Cell> cells;
};

const std::vector<Column>& columns() {
  static const std::vector<Column> all = [] {
    std::vector<Cell> names;
    for (const auto& n : hostileNames())
      names.push_back(shown(FieldValue::of(n), n));
    return std::vector<Column>{
        {"name", OFTString, OFSTNone, names},
        {"code", OFTInteger64, OFSTNone, integers()},
        {"measure", OFTReal, OFSTNone, doubles()},
        {"opened", OFTDate, OFSTNone, dates()},
        {"surveyed", OFTDateTime, OFSTNone, dateTimes()},
        {"flag", OFTInteger, OFSTBoolean, booleans()},
        {"nothing", OFTString, OFSTNone, {null(), null()}},
    };
  }();
  return all;
}

size_t rowCount() {
  size_t rows = 0;
  for (const auto& c : columns())
    rows = std::max(rows, c.cells.size());
  return rows + 1;  // and a last row of nulls only
}

/// Row i (fid i + 1): a short line of its own, in metres.
tools::Vertices lineOfRow(size_t i) {
  const double x = 500000 + static_cast<double>(i) * 100;
  const double y = 6600000 - static_cast<double>(i) * 50;
  return {{x, y}, {x + 30 + static_cast<double>(i % 4) * 10, y + 20}};
}

/// The rectangle a pick must hand the view for these vertices: 1.2 times theirs, same centre.
QgsRectangle zoomedTo(const tools::Vertices& vertices) {
  // From the first vertex: the empty rectangle to grow from is named
  // differently on each QGIS release.
  const auto& [x0, y0] = vertices.front();
  QgsRectangle box(x0, y0, x0, y0);
  for (const auto& [x, y] : vertices)
    box.combineExtentWith(x, y);
  const QgsPointXY c = box.center();
  return QgsRectangle(c.x() - box.width() / 2 * 1.2, c.y() - box.height() / 2 * 1.2,
                      c.x() + box.width() / 2 * 1.2, c.y() + box.height() / 2 * 1.2);
}

/// Runs SQL statements on the GeoPackage through GDAL, whose SQLite functions its triggers use.
void sql(const std::filesystem::path& gpkg, const std::vector<std::string>& statements) {
  GDALAllRegister();
  GDALDatasetH dataset =
      GDALOpenEx(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr);
  ASSERT_NE(dataset, nullptr);
  for (const auto& statement : statements) {
    CPLErrorReset();
    OGRLayerH result = GDALDatasetExecuteSQL(dataset, statement.c_str(), nullptr, nullptr);
    if (result) GDALDatasetReleaseResultSet(dataset, result);
    EXPECT_EQ(CPLGetLastErrorType(), CE_None) << statement << ": " << CPLGetLastErrorMsg();
  }
  GDALClose(dataset);
}

/// The layer's field as OGR's own layer reading gives it, by feature id: the bytes, or nothing.
std::map<int64_t, std::optional<std::string>> ogrValues(const std::filesystem::path& gpkg,
                                                        const std::string& layerName,
                                                        const std::string& field) {
  GDALAllRegister();
  GDALDatasetH dataset =
      GDALOpenEx(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
  EXPECT_NE(dataset, nullptr);
  std::map<int64_t, std::optional<std::string>> values;
  if (!dataset) return values;
  OGRLayerH layer = GDALDatasetGetLayerByName(dataset, layerName.c_str());
  const int index = layer ? OGR_FD_GetFieldIndex(OGR_L_GetLayerDefn(layer), field.c_str()) : -1;
  EXPECT_GE(index, 0) << field;
  OGRFeatureH feature;
  while (index >= 0 && (feature = OGR_L_GetNextFeature(layer)) != nullptr) {
    std::optional<std::string> value;
    if (OGR_F_IsFieldSetAndNotNull(feature, index)) value = OGR_F_GetFieldAsString(feature, index);
    values.emplace(OGR_F_GetFID(feature), value);
    OGR_F_Destroy(feature);
  }
  GDALClose(dataset);
  return values;
}

/// Text as QGIS hands it on: decoded as UTF-8, an ill-formed sequence as U+FFFD.
std::string decoded(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size())).toStdString();
}

/**
 * hostile.gpkg, written once: "hostile_roads" (lines; the columns above),
 * "empty_roads" (no rows) and "odd_shapes" (a point, an empty line and a
 * null shape).
 */
const std::filesystem::path& hostileFile() {
  static TempFolder folder;
  static const std::filesystem::path file = [] {
    const auto path = folder / "hostile.gpkg";
    {
      tools::GpkgWriter writer(path.string());
      std::vector<tools::GpkgWriter::Field> fields;
      for (const auto& c : columns())
        fields.push_back({c.field, c.type, c.subType});
      writer.beginLayer("hostile_roads", wkbLineString, kEpsg, fields);
      for (size_t i = 0; i < rowCount(); ++i) {
        std::vector<FieldValue> values;
        for (const auto& c : columns()) {
          values.push_back(i < c.cells.size() ? c.cells[i].value : FieldValue::null());
        }
        writer.addFeature(values, lineOfRow(i));
      }
      writer.endLayer();
      writer.beginLayer("empty_roads", wkbLineString, kEpsg, {{"name", OFTString}});
      writer.endLayer();
      writer.beginLayer("odd_shapes", wkbUnknown, kEpsg, {{"name", OFTString}}, false);
      writer.addFeature({FieldValue::of(std::string("Point Place"))}, {{500012.5, 6599997}});
      writer.addFeature({FieldValue::of(std::string("Null Place"))}, {});
      writer.addFeature({FieldValue::of(std::string("Empty Place"))}, {{500000, 6600000}});
      writer.endLayer();
    }
    sql(path,
        {"UPDATE hostile_roads SET name = " + std::string(kNulText) +
             " WHERE fid = " + std::to_string(kNulRow + 1),
         "UPDATE hostile_roads SET name = " + std::string(kBlobText) +
             " WHERE fid = " + std::to_string(kBlobRow + 1),
         // GeoPackage binary: little-endian, no envelope, the empty flag; WKB LINESTRING EMPTY.
         "UPDATE odd_shapes SET geom = X'47500011E8640000010200000000000000' "
         "WHERE name = 'Empty Place'"});
    return path;
  }();
  return file;
}

/// The whole product in QGIS over hostile.gpkg, configured for a field of a layer.
class HostileGeoPackage : public ::testing::Test {
 protected:
  HostileGeoPackage() {
    project.setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:25832")));
    canvas = new QgsMapCanvas(&main);
    main.setCentralWidget(canvas);
    canvas->resize(800, 600);
    canvas->setDestinationCrs(project.crs());
    canvas->setExtent(QgsRectangle(499000, 6597000, 505000, 6601000));
    for (const char* layer : {"hostile_roads", "empty_roads", "odd_shapes"})
      addLayer(layer);
    observer = std::make_shared<qgis::QgisObserver>();
    observer->extent = [this](const QgsRectangle& requested, const QgsRectangle&) {
      extents.push_back(requested);
    };
    context.project = &project;
    context.canvas = canvas;
    context.mainWindow = &main;
    context.statusBar = main.statusBar();
    context.observer = observer;
  }
  ~HostileGeoPackage() override { session.reset(); }

  QgsVectorLayer* addLayer(const std::string& table, const std::string& name = "",
                           const std::filesystem::path& file = hostileFile()) {
    auto* layer = new QgsVectorLayer(QString::fromStdString(file.string() + "|layername=" + table),
                                     QString::fromStdString(name.empty() ? table : name),
                                     QStringLiteral("ogr"));
    EXPECT_TRUE(layer->isValid()) << table;
    project.addMapLayer(layer);
    return layer;
  }

  /// Writes the configuration file and starts the component as the plugin does.
  void start(const std::string& layer, const std::string& field) {
    configBytes = "\"" + layer + "\"\r\n\"" + field + "\"\r\n";
    const auto product = drive.path() / "Program Files" / "CorvaleGIS" / "CorvaleStreetSearch";
    std::filesystem::create_directories(product);
    writeBytes(product / "config", configBytes);
    posix::DriveMap drives;
    drives.map('C', drive.path());
    toolkit = std::make_shared<qt::QtToolkit>(qt::QtToolkit::Mode::Headless);
    session = std::make_unique<qgis::ComponentSession>(
        context, toolkit, std::make_shared<posix::PosixFileSystem>(drives));
  }

  void click() {
    session->command().OnClick();
    if (auto form = toolkit->form("frmMain")) (void)entries();
  }
  host::IListBox& list() { return toolkit->form("frmMain")->listBox("List1"); }
  std::vector<std::string> entries() {
    std::vector<std::string> all;
    const int32_t count = list().count();
    for (int32_t i = 0; i < count; ++i)
      all.push_back(list().item(i));
    return all;
  }
  void pick(const std::string& entry) {
    const auto all = entries();
    const auto at = std::find(all.begin(), all.end(), entry);
    ASSERT_NE(at, all.end()) << printable(entry);
    list().select(static_cast<int32_t>(at - all.begin()));
  }
  void go(const std::string& text) {
    auto form = toolkit->form("frmMain");
    form->setText("Text1", text);
    qobject_cast<QAbstractButton*>(form->control("Command4"))->click();
  }
  /**
   * Presses Configure and, in the modal configuration window, chooses the
   * layer and the field and presses Continue. A window still open after that
   * (an entry it lacks) is cancelled, so that a test fails rather than hangs.
   */
  void configureInWindow(const std::string& layer, const std::string& field) {
    QTimer poll;
    poll.setInterval(10);
    int rounds = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto config = toolkit->form("frmConfig");
      if (!config && ++rounds < 500) return;
      poll.stop();
      ASSERT_NE(config, nullptr) << "no configuration window";
      auto choose = [&](const char* listName, const std::string& entry) {
        host::IListBox& box = config->listBox(listName);
        for (int32_t i = 0; i < box.count(); ++i) {
          if (box.item(i) == entry) return box.select(i);
        }
        ADD_FAILURE() << listName << " lacks " << printable(entry);
      };
      choose("List1", layer);
      choose("List2", field);
      qobject_cast<QAbstractButton*>(config->control("Command1"))->click();
      if (auto still = toolkit->form("frmConfig")) {
        ADD_FAILURE() << "the configuration window stayed open";
        qobject_cast<QAbstractButton*>(still->control("Command2"))->click();
      }
    });
    poll.start();
    qobject_cast<QAbstractButton*>(toolkit->form("frmMain")->control("Command1"))->click();
  }

  const std::vector<std::string>& messages() const { return toolkit->messages(); }
  std::string configOnDisk() const {
    return readBytes(drive.path() / "Program Files" / "CorvaleGIS" / "CorvaleStreetSearch" /
                     "config");
  }
  /// After an action: the pointer is back, and the configuration file is as written.
  void expectToolIntact() {
    EXPECT_FALSE(toolkit->hourglass()) << "the pointer is back to the default";
    EXPECT_EQ(configOnDisk(), configBytes);
  }
  void expectExtent(const QgsRectangle& want) {
    ASSERT_FALSE(extents.empty()) << "the view was given no extent";
    const QgsRectangle& got = extents.back();
    const double tolerance = 1e-9 * std::max(want.width(), want.height()) + 1e-6;
    EXPECT_NEAR(got.xMinimum(), want.xMinimum(), tolerance);
    EXPECT_NEAR(got.yMinimum(), want.yMinimum(), tolerance);
    EXPECT_NEAR(got.xMaximum(), want.xMaximum(), tolerance);
    EXPECT_NEAR(got.yMaximum(), want.yMaximum(), tolerance);
  }

  /// The texts the list must show for a column, by fid, from what OGR reads of the file.
  std::map<int64_t, std::optional<std::string>> shownTexts(const std::string& field) {
    std::map<int64_t, std::optional<std::string>> texts;
    if (field == "name") {
      for (auto& [fid, value] : ogrValues(hostileFile(), "hostile_roads", "name")) {
        texts[fid] = value ? std::optional(decoded(*value)) : std::nullopt;
      }
      return texts;
    }
    for (const auto& c : columns()) {
      if (c.field != field) continue;
      // OGR says which rows hold a value; the data written says its text.
      for (auto& [fid, value] : ogrValues(hostileFile(), "hostile_roads", field)) {
        const auto row = static_cast<size_t>(fid - 1);
        texts[fid] = value && row < c.cells.size() ? c.cells[row].text : std::nullopt;
        EXPECT_EQ(value.has_value(), texts[fid].has_value()) << field << " fid " << fid;
      }
    }
    return texts;
  }
  std::vector<std::string> expectedEntries(const std::string& field) {
    std::vector<std::optional<std::string>> texts;
    for (auto& [fid, text] : shownTexts(field))
      texts.push_back(text);
    return expectedList(texts, Collation::localeName());
  }

  void pickEveryEntryOf(const std::string& field) {
    const auto texts = shownTexts(field);
    const auto all = entries();
    ASSERT_FALSE(all.empty());
    for (const auto& entry : all) {
      SCOPED_TRACE("entry [" + printable(entry) + "]");
      extents.clear();
      const size_t before = messages().size();
      pick(entry);
      if (entry.find_first_not_of(' ') == std::string::npos) {
        EXPECT_TRUE(extents.empty()) << "a blank name is never looked up";
      } else {
        std::optional<int64_t> first;
        for (const auto& [fid, text] : texts) {
          if (text == entry) {
            first = fid;
            break;
          }
        }
        ASSERT_TRUE(first);
        expectExtent(zoomedTo(lineOfRow(static_cast<size_t>(*first - 1))));
      }
      EXPECT_EQ(messages().size(), before) << (messages().empty() ? "" : messages().back());
      EXPECT_EQ(list().text(), entry);
      expectToolIntact();
    }
  }

  QgsProject project;
  QMainWindow main;
  QgsMapCanvas* canvas = nullptr;
  TempFolder drive;
  qgis::QgisContext context;
  std::shared_ptr<qgis::QgisObserver> observer;
  std::vector<QgsRectangle> extents;
  std::shared_ptr<qt::QtToolkit> toolkit;
  std::unique_ptr<qgis::ComponentSession> session;
  std::string configBytes;
};

TEST_F(HostileGeoPackage, TheFileHoldsWhatTheTestsMeanItToHold) {
  const auto names = ogrValues(hostileFile(), "hostile_roads", "name");
  ASSERT_EQ(names.size(), rowCount());
  EXPECT_EQ(names.at(kNulRow + 1), std::optional<std::string>("Nul")) << "OGR reads up to a NUL";
  EXPECT_EQ(names.at(kBlobRow + 1), std::optional<std::string>("Blob Road"));
  EXPECT_EQ(names.at(kNullNameRow + 1), std::nullopt);
  EXPECT_EQ(names.at(1), std::optional<std::string>("Fisherman's Wharf"));
}

TEST_F(HostileGeoPackage, HostileNamesAreListedOnceEachInCollationOrder) {
  start("hostile_roads", "name");
  click();
  EXPECT_EQ(entries(), expectedEntries("name"));
  EXPECT_TRUE(messages().empty());
  expectToolIntact();
}

TEST_F(HostileGeoPackage, EveryHostileNameThatIsListedCanBePickedAndZoomsToItsFirstFeature) {
  start("hostile_roads", "name");
  click();
  pickEveryEntryOf("name");
}

TEST_F(HostileGeoPackage, GoFindsHostileNamesByTheirBeginning) {
  start("hostile_roads", "name");
  click();
  const auto all = entries();
  std::vector<std::string> prefixes = hostilePrefixes();
  prefixes.insert(prefixes.end(), {"bad \xEF\xBF\xBD", "nul", "blob", "zzz"});
  for (const std::string& prefix : prefixes) {
    SCOPED_TRACE("prefix [" + printable(prefix) + "]");
    const size_t before = messages().size();
    list().select(-1);
    extents.clear();
    go(prefix);
    const int want = firstEntryBeginningWith(all, prefix);
    EXPECT_EQ(list().selectedIndex(), want);
    if (want < 0) {
      ASSERT_EQ(messages().size(), before + 1);
      EXPECT_EQ(messages().back(), "No matching feature found");
    } else {
      EXPECT_EQ(messages().size(), before);
    }
    EXPECT_TRUE(extents.empty()) << "a search never zooms";
    expectToolIntact();
  }
}

TEST_F(HostileGeoPackage, NumericDateAndBooleanFieldsListTheirTextsAndEachPickFindsItsFeature) {
  for (const std::string field : {"code", "measure", "opened", "surveyed", "flag"}) {
    SCOPED_TRACE(field);
    start("hostile_roads", field);
    click();
    EXPECT_EQ(entries(), expectedEntries(field));
    EXPECT_TRUE(messages().empty());
    pickEveryEntryOf(field);
    session.reset();
  }
}

TEST_F(HostileGeoPackage, AFieldOfNullsAndAnEmptyLayerGiveEmptyListsAndGoSaysSo) {
  for (const auto& [layer, field] : std::vector<std::pair<std::string, std::string>>{
           {"hostile_roads", "nothing"}, {"empty_roads", "name"}}) {
    SCOPED_TRACE(layer + "." + field);
    start(layer, field);
    click();
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(messages().empty());
    go("a");
    EXPECT_EQ(messages(), std::vector<std::string>{"No matching feature found"});
    expectToolIntact();
    session.reset();
  }
}

TEST_F(HostileGeoPackage, APointIsCentredAndEmptyOrNullShapesLeaveTheMapAsItWas) {
  start("odd_shapes", "name");
  click();
  EXPECT_EQ(entries(), (std::vector<std::string>{"Empty Place", "Null Place", "Point Place"}));
  const QgsRectangle before = canvas->extent();
  pick("Point Place");
  expectExtent(QgsRectangle(500012.5, 6599997, 500012.5, 6599997));
  EXPECT_NEAR(canvas->extent().center().x(), 500012.5, 1e-6);
  EXPECT_NEAR(canvas->extent().center().y(), 6599997, 1e-6);
  EXPECT_NEAR(canvas->extent().width(), before.width(), 1e-6) << "the scale stays";
  for (const char* place : {"Empty Place", "Null Place"}) {
    extents.clear();
    const QgsRectangle shownBefore = canvas->extent();
    pick(place);
    EXPECT_TRUE(extents.empty()) << place;
    EXPECT_EQ(canvas->extent(), shownBefore) << place;
  }
  EXPECT_TRUE(messages().empty());
  expectToolIntact();
}

/// A small street layer of its own file, for data that changes under the tool.
std::filesystem::path smallStreets(const std::filesystem::path& folder, double offset) {
  const auto path = folder / "small.gpkg";
  tools::GpkgWriter writer(path.string());
  writer.beginLayer("hostile_roads", wkbLineString, kEpsg, {{"name", OFTString}});
  for (size_t i = 0; i < 3; ++i) {
    const std::string name = i == 1 ? "Elm Row" : "Road " + std::to_string(i);
    auto line = lineOfRow(i);
    for (auto& vertex : line)
      vertex.first += offset;
    writer.addFeature({FieldValue::of(name)}, line);
  }
  writer.endLayer();
  return path;
}

QgsRectangle smallStreetExtent(size_t row, double offset) {
  auto line = lineOfRow(row);
  for (auto& vertex : line)
    vertex.first += offset;
  return zoomedTo(line);
}

TEST_F(HostileGeoPackage, AStreetLayerRemovedAfterListingLeavesTheMapAloneUntilItIsBack) {
  start("hostile_roads", "name");
  click();
  project.removeMapLayer(project.mapLayersByName(QStringLiteral("hostile_roads")).at(0));
  pick("Elm Row");
  EXPECT_TRUE(extents.empty());
  EXPECT_TRUE(messages().empty());
  expectToolIntact();

  addLayer("hostile_roads");
  pick("ELM ROW");
  expectExtent(zoomedTo(lineOfRow(22)));
  EXPECT_TRUE(messages().empty());
  expectToolIntact();
}

TEST_F(HostileGeoPackage, AProjectReplacedBetweenClicksIsTheOneThePickSearches) {
  TempFolder other;
  const auto file = smallStreets(other.path(), 5000);
  start("hostile_roads", "name");
  click();
  const auto before = entries();
  project.clear();
  project.setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:25832")));
  click();
  EXPECT_EQ(entries(), before) << "the open list stays until a new configuration";
  pick("Elm Row");
  EXPECT_TRUE(extents.empty());

  addLayer("hostile_roads", "", file);
  click();
  pick("Elm Row");
  expectExtent(smallStreetExtent(1, 5000));
  extents.clear();
  pick("Fisherman's Wharf");
  EXPECT_TRUE(extents.empty()) << "the new project has no such street";
  EXPECT_TRUE(messages().empty());
  expectToolIntact();
}

TEST_F(HostileGeoPackage, ALayerRenamedIsNotFoundUntilTheConfigurationNamesItAgain) {
  start("hostile_roads", "name");
  click();
  QgsMapLayer* layer = project.mapLayersByName(QStringLiteral("hostile_roads")).at(0);
  layer->setName(QStringLiteral("Roads \"North\", 2"));
  pick("Elm Row");
  EXPECT_TRUE(extents.empty());
  layer->setName(QStringLiteral("HOSTILE_ROADS"));
  pick("Elm Row");
  expectExtent(zoomedTo(lineOfRow(23)));  // layer names match in any letter case

  layer->setName(QString::fromUtf8("Roads, North \xF0\x9F\x9A\xB2"));
  // The user configures the renamed layer in the configuration window.
  configureInWindow("Roads, North \xF0\x9F\x9A\xB2", "name");
  configBytes = "\"Roads, North \xF0\x9F\x9A\xB2\"\r\n\"name\"\r\n";
  EXPECT_EQ(configOnDisk(), configBytes);
  (void)entries();
  EXPECT_EQ(entries(), expectedEntries("name"));
  extents.clear();
  pick("Elm Row");
  expectExtent(zoomedTo(lineOfRow(23)));
  EXPECT_TRUE(messages().empty()) << messages().front();
  expectToolIntact();
}

TEST_F(HostileGeoPackage, AFieldRenamedOrRemovedInTheFileBeforeTheClickGivesAnEmptyListSilently) {
  for (const std::string change : {"RENAME COLUMN name TO street", "DROP COLUMN name"}) {
    SCOPED_TRACE(change);
    TempFolder other;
    const auto file = smallStreets(other.path(), 0);
    sql(file, {"ALTER TABLE hostile_roads " + change});
    project.clear();
    addLayer("hostile_roads", "", file);
    start("hostile_roads", "name");
    click();
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(messages().empty());
    go("elm");
    EXPECT_EQ(messages(), std::vector<std::string>{"No matching feature found"});
    expectToolIntact();
    session.reset();
  }
}

TEST_F(HostileGeoPackage, AFieldRenamedOrRemovedInTheFileAfterListingLeavesTheMapAloneWithAReport) {
  for (const std::string change : {"RENAME COLUMN name TO street", "DROP COLUMN name"}) {
    SCOPED_TRACE(change);
    TempFolder other;
    const auto file = smallStreets(other.path(), 0);
    project.clear();
    QgsVectorLayer* layer = addLayer("hostile_roads", "", file);
    start("hostile_roads", "name");
    click();
    ASSERT_EQ(entries(), (std::vector<std::string>{"Elm Row", "Road 0", "Road 2"}));
    sql(file, {"ALTER TABLE hostile_roads " + change});
    // QGIS still knows the field the file no longer has. Where a connection
    // of its own still holds the old table, its read fails and the pick
    // reports that; a connection QGIS opens now finds no row, as after a
    // reload. The listing reads the file past QGIS and leaves it no open
    // read, so which one the pick meets is QGIS's. Either way the map is
    // left alone.
    extents.clear();
    pick("Elm Row");
    EXPECT_TRUE(extents.empty());
    ASSERT_LE(messages().size(), 1u);
    if (!messages().empty()) {
      EXPECT_TRUE(isReport(messages()[0], err::kHostUnspecified,
                           "GetFeatureByValue CorvaleGIS_ArcMap Line : 6"))
          << messages()[0];
    }
    const size_t reported = messages().size();
    expectToolIntact();
    // Once QGIS has read the layer anew, the field is simply not there.
    layer->reload();
    pick("Road 0");
    EXPECT_TRUE(extents.empty());
    EXPECT_EQ(messages().size(), reported);
    expectToolIntact();
    session.reset();
  }
}

}  // namespace
}  // namespace corvale::testing

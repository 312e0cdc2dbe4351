#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include <qgsfeatureiterator.h>

#include "GpkgWriter.h"
#include "hosts/qgis/read/GpkgTextReader.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "runtime/TextSet.h"
#include "host/MapModel.h"
#include "qgis/OgrReference.h"
#include "qgis/QgisFixture.h"

namespace corvale {
namespace {

using Names = std::vector<std::string>;

/// Full reads of GeoPackage text fields go to SQLite directly; these cases
/// show that they give what QGIS gives, and that QGIS reads whatever SQLite
/// alone would get wrong.
class QgisGpkgReads : public testing::CityFixture {
 protected:
  Names listOf(const std::string& layer, const std::string& field) {
    testing::TextListBox names;
    LoadListWithUniqueFieldValues(layer, field, names, false, nullptr);
    return names.entries();
  }
  QgsAttributeList fieldsOf(QgsVectorLayer* layer, const char* name) {
    return QgsAttributeList{layer->fields().indexOf(QString::fromUtf8(name))};
  }
};

TEST_F(QgisGpkgReads, OnlyPlainGeoPackageTextFieldsQualify) {
  QgsVectorLayer* streets = vectorLayer("streets");
  EXPECT_TRUE(qgis::GpkgTextReader::open(*streets, fieldsOf(streets, "name")));
  EXPECT_TRUE(qgis::GpkgTextReader::open(*streets, fieldsOf(streets, "Alt Name")));
  EXPECT_FALSE(qgis::GpkgTextReader::open(*streets, fieldsOf(streets, "lanes")));
  EXPECT_FALSE(qgis::GpkgTextReader::open(*streets, fieldsOf(streets, "opened")));
  EXPECT_FALSE(qgis::GpkgTextReader::open(*streets, {}));

  streets->setSubsetString(QStringLiteral("\"lanes\" = 2"));
  EXPECT_FALSE(qgis::GpkgTextReader::open(*streets, fieldsOf(streets, "name")));
  streets->setSubsetString(QString());
  ASSERT_TRUE(streets->startEditing());
  EXPECT_FALSE(qgis::GpkgTextReader::open(*streets, fieldsOf(streets, "name")));
  streets->rollBack();
}

TEST_F(QgisGpkgReads, TheReaderYieldsEveryRowWithTheValueQgisReads) {
  QgsVectorLayer* streets = vectorLayer("streets");
  const int name = streets->fields().indexOf(QStringLiteral("name"));
  auto reader = qgis::GpkgTextReader::open(*streets, {name});
  ASSERT_TRUE(reader);
  std::map<int64_t, std::optional<std::string>> fast;
  while (reader->step()) {
    const auto text = reader->text(0);
    fast[reader->id()] = text ? std::optional<std::string>(std::string(*text)) : std::nullopt;
  }
  std::map<int64_t, std::optional<std::string>> viaQgis;
  QgsFeatureIterator it = streets->getFeatures(QgsFeatureRequest().setSubsetOfAttributes({name}));
  QgsFeature feature;
  while (it.nextFeature(feature)) {
    const QVariant value = feature.attribute(name);
    viaQgis[feature.id()] =
        value.isNull() ? std::nullopt : std::optional<std::string>(value.toString().toStdString());
  }
  EXPECT_EQ(static_cast<int>(fast.size()), testing::streetRows(gpkg()));
  EXPECT_EQ(fast, viaQgis);
}

TEST_F(QgisGpkgReads, AnEditSessionsChangesAreListed) {
  QgsVectorLayer* streets = vectorLayer("streets");
  ASSERT_TRUE(streets->startEditing());
  const int name = streets->fields().indexOf(QStringLiteral("name"));
  // Every Kirkegata segment renamed, in the edit buffer only.
  QgsFeatureIterator it = streets->getFeatures(
      QgsFeatureRequest().setFilterExpression(QStringLiteral("\"name\" = 'Kirkegata'")));
  QgsFeature feature;
  int renamed = 0;
  while (it.nextFeature(feature)) {
    ASSERT_TRUE(streets->changeAttributeValue(feature.id(), name, QStringLiteral("Edited Road")));
    ++renamed;
  }
  ASSERT_GT(renamed, 0);
  const Names names = listOf("streets", "name");
  EXPECT_NE(std::find(names.begin(), names.end(), "Edited Road"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "Kirkegata"), names.end());
  streets->rollBack();
  const Names after = listOf("streets", "name");
  EXPECT_NE(std::find(after.begin(), after.end(), "Kirkegata"), after.end());
}

TEST_F(QgisGpkgReads, AVirtualFieldIsReadThroughQgis) {
  QgsVectorLayer* streets = vectorLayer("streets");
  streets->addExpressionField(QStringLiteral("upper(\"name\")"),
                              qgis::compat::makeField(QStringLiteral("shout"), QMetaType::QString));
  Names expected = listOf("streets", "name");
  for (auto& text : expected)
    text = QString::fromStdString(text).toUpper().toStdString();
  Names unique;
  for (const auto& text : expected) {
    if (std::find(unique.begin(), unique.end(), text) == unique.end()) unique.push_back(text);
  }
  EXPECT_EQ(listOf("streets", "shout"), unique);
}

TEST_F(QgisGpkgReads, TextThatIsNotPlainUtf8IsDecodedAsQgisDecodesIt) {
  testing::TempFolder folder;
  {
    tools::GpkgWriter writer((folder / "odd.gpkg").string());
    writer.beginLayer("streets", wkbPoint, 25832, {{"name", OFTString}});
    for (const char* name : {"Good Road", "Bad \xFF\xFE Road", "Cut \xC3",
                             "\xEF\xBB\xBF"
                             "Bom Road",
                             "Over \xC0\xAF long", "Sur \xED\xA0\x80 gate", "Good Road"}) {
      writer.addFeature({tools::FieldValue::of(std::string(name))}, {{1, 1}});
    }
    writer.endLayer();
  }
  QgsVectorLayer* odd = addLayer(folder / "odd.gpkg", "streets", "odd");
  const Names fast = listOf("odd", "name");
  ASSERT_TRUE(odd->startEditing());  // the same read, through QGIS alone
  const Names viaQgis = listOf("odd", "name");
  odd->rollBack();
  EXPECT_EQ(fast.size(), 6u);
  EXPECT_EQ(fast, viaQgis);
}

TEST_F(QgisGpkgReads, AFailureInsideABlockOfTextsComesAfterTheRowsBeforeIt) {
  // The fourth row's text is read through QGIS, which by then has lost the
  // layer: the block ends before that row, and the failure follows.
  testing::TempFolder folder;
  {
    tools::GpkgWriter writer((folder / "odd.gpkg").string());
    writer.beginLayer("streets", wkbPoint, 25832, {{"name", OFTString}});
    for (const char* name : {"A Road", "B Road", "A Road", "Bad \xFF Road", "C Road"})
      writer.addFeature({tools::FieldValue::of(std::string(name))}, {{1, 1}});
    writer.endLayer();
  }
  QgsVectorLayer* odd = addLayer(folder / "odd.gpkg", "streets", "odd");
  auto table = query<host::IDisplayTable>(GetLayerByName("odd"))->displayTable();
  auto cursor = query<host::ITable>(table)->search(nullptr, false);
  auto texts = query<host::IFieldTexts>(cursor);
  ASSERT_TRUE(texts->readTexts(query<host::IClass>(table)->findField("name")));
  project.removeMapLayer(odd);
  host::FieldTexts block;
  ASSERT_TRUE(texts->nextTexts(block));
  Names handedOut;
  for (const auto& text : block.texts) handedOut.emplace_back(text.value_or("(null)"));
  EXPECT_EQ(handedOut, (Names{"A Road", "B Road", "A Road"}));
  ASSERT_EQ(block.hashes.size(), 3u);
  EXPECT_EQ(block.hashes[2], TextSet::hashOf("A Road"));
  try {
    texts->nextTexts(block);
    ADD_FAILURE() << "no failure after the rows before it";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostUnspecified);
  }
  EXPECT_FALSE(texts->nextTexts(block));
}

TEST_F(QgisGpkgReads, AnIndexedTableIsReadInTheLayersOrderWhateverItsJournal) {
  testing::TempFolder folder;
  for (const char* journal : {"DELETE", "WAL"}) {
    const std::string file = (folder / (std::string(journal) + ".gpkg")).string();
    {
      tools::GpkgWriter writer(file);
      writer.beginLayer("streets", wkbPoint, 25832, {{"name", OFTString}});
      for (int i = 0; i < 3000; ++i) {
        writer.addFeature({i % 11 == 0 ? tools::FieldValue{}
                                       : tools::FieldValue::of("Road " + std::to_string((i * 7919) % 1000))},
                          {{1, 1}});
      }
      writer.endLayer();
    }
    // An index that holds the name: SQLite would scan it, in the names' order, were it let.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE INDEX streets_name ON streets(name)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    QgsVectorLayer* layer = addLayer(folder / (std::string(journal) + ".gpkg"), "streets", journal);
    // Set once the layer is open (opening it turns a write-ahead log back into a journal).
    ASSERT_EQ(sqlite3_exec(db, ("PRAGMA journal_mode = " + std::string(journal)).c_str(), nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* mode = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0))).toUpper(),
              QString::fromUtf8(journal));
    sqlite3_finalize(mode);
    const int name = layer->fields().indexOf(QStringLiteral("name"));
    using Rows = std::vector<std::pair<int64_t, std::optional<std::string>>>;
    Rows fast;
    auto reader = qgis::GpkgTextReader::open(*layer, {name});
    ASSERT_TRUE(reader) << journal;
    while (reader->step()) {
      const auto text = reader->text(0);
      fast.emplace_back(reader->id(), text ? std::optional<std::string>(std::string(*text)) : std::nullopt);
    }
    Rows viaQgis;
    QgsFeatureIterator it = layer->getFeatures(QgsFeatureRequest().setSubsetOfAttributes({name}));
    QgsFeature feature;
    while (it.nextFeature(feature)) {
      const QVariant value = feature.attribute(name);
      viaQgis.emplace_back(feature.id(), value.isNull() ? std::nullopt
                                                        : std::optional<std::string>(value.toString().toStdString()));
    }
    EXPECT_EQ(fast.size(), 3000u) << journal;
    EXPECT_TRUE(fast == viaQgis) << journal;
    sqlite3_close(db);
  }
}

}  // namespace
}  // namespace corvale

// A pick finds the feature that bears the picked value exactly, whatever the
// provider's own comparison, and field names may hold the clause's characters.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <qgsexpressioncontextutils.h>
#include <qgsfeatureiterator.h>

#include "GpkgWriter.h"
#include "host/Services.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "qgis/OgrReference.h"
#include "qgis/QgisFixture.h"
#include "runtime/Variant.h"

namespace corvale {
namespace {

using tools::FieldValue;

/// Runs SQL on the file through SQLite itself, writable schema allowed.
void sqlite(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int status = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(status, SQLITE_OK) << sql << ": " << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

class QgisExactPicks : public testing::QgisFixture {
 protected:
  std::shared_ptr<host::IFeature> find(const std::string& layer, const std::string& field,
                                       const std::string& value) {
    return GetFeatureByValue(GetLayerByName(layer), field, value);
  }
  std::string valueOf(const std::shared_ptr<host::IFeature>& feature, const std::string& layer,
                      const std::string& field) {
    auto table = query<host::IClass>(GetLayerByName(layer)->featureClass());
    return textOf(query<host::IRowValues>(feature)->value(table->findField(field)));
  }
  testing::TempFolder folder;
};

/**
 * A name column that compares without case: "main street", "Main Street" and
 * "MAIN STREET" are three names, and each pick finds the first feature that
 * bears exactly the picked one, as SQLite finds it comparing bytes.
 */
TEST_F(QgisExactPicks, ANameColumnWithoutCaseFindsTheExactName) {
  const auto file = folder / "nocase.gpkg";
  const std::vector<std::string> names = {"MAIN STREET", "main street", "Main Street",
                                          "Main Street", "main street", "Elm Street"};
  {
    tools::GpkgWriter writer(file.string());
    writer.beginLayer("streets", wkbLineString, 25832, {{"name", OFTString}});
    for (size_t i = 0; i < names.size(); ++i) {
      const double y = 6600000 + 100.0 * static_cast<double>(i);
      writer.addFeature({FieldValue::of(names[i])}, {{500000, y}, {500050, y}});
    }
    writer.endLayer();
  }
  // The column compares without case from now on, as one declared so would.
  sqlite(file,
         "PRAGMA writable_schema = ON;"
         "UPDATE sqlite_master SET sql = replace(sql, '\"name\" TEXT', '\"name\" TEXT COLLATE "
         "NOCASE') WHERE type = 'table' AND name = 'streets';"
         "PRAGMA writable_schema = OFF;");
  ASSERT_EQ(testing::ogrColumn(file, "SELECT COUNT(*) FROM streets WHERE name = 'main street'")
                .at(0),
            "5");
  QgsVectorLayer* layer = addLayer(file, "streets", "streets");
  // QGIS's own request selects every case: the provider compares as its column does.
  QgsFeatureRequest request(QgsExpression(QStringLiteral("\"name\" = 'Main Street'")));
  request.setExpressionContext(
      QgsExpressionContext(QgsExpressionContextUtils::globalProjectLayerScopes(layer)));
  int selected = 0;
  QgsFeatureIterator it = layer->getFeatures(request);
  for (QgsFeature f; it.nextFeature(f);)
    ++selected;
  ASSERT_EQ(selected, 5) << "the provider no longer compares without case: nothing is tested";

  for (const std::string name : {"main street", "Main Street", "MAIN STREET", "Elm Street"}) {
    auto feature = find("streets", "name", name);
    ASSERT_TRUE(feature) << name;
    EXPECT_EQ(valueOf(feature, "streets", "name"), name);
    const auto first = testing::ogrColumn(
        file, "SELECT MIN(fid) FROM streets WHERE name = '" + name + "' COLLATE BINARY");
    EXPECT_EQ(std::to_string(query<host::IRow>(feature)->objectId()), first.at(0)) << name;
  }
  // A name that the column holds only in other cases is no name of the layer.
  EXPECT_FALSE(find("streets", "name", "Main street"));
  EXPECT_FALSE(find("streets", "name", "ELM STREET"));

  // A count with the clause counts what a search yields.
  auto featureClass = GetLayerByName("streets")->featureClass();
  auto filter = host::services().hostClasses->createQueryFilter();
  filter->setWhereClause("name = 'Main Street'");
  EXPECT_EQ(featureClass->featureCount(filter), 2);
  EXPECT_TRUE(messages().empty());
}

/**
 * Field names holding '=', quotes, blanks and brackets, some beginning with
 * another field's name: a pick on each finds its own feature.
 */
TEST_F(QgisExactPicks, FieldNamesHoldingClauseCharactersArePicked) {
  const auto file = folder / "odd.gpkg";
  const std::vector<std::string> fields = {"a", "a=b", "a = b", "Width [m]", "it's = \"x\"",
                                           "(c) = d", "a = 'b"};
  {
    tools::GpkgWriter writer(file.string());
    std::vector<tools::GpkgWriter::Field> definitions;
    for (const auto& name : fields)
      definitions.push_back({name, OFTString});
    writer.beginLayer("odd", wkbPoint, 25832, definitions);
    for (int row = 0; row < 3; ++row) {
      std::vector<FieldValue> values;
      for (size_t f = 0; f < fields.size(); ++f)
        values.push_back(FieldValue::of("v" + std::to_string(f) + "r" + std::to_string(row) +
                                        (f % 2 ? " = x" : "")));
      writer.addFeature(values, {{10.0 + row, 10}});
    }
    writer.endLayer();
  }
  addLayer(file, "odd", "odd");
  for (size_t f = 0; f < fields.size(); ++f) {
    for (int row : {2, 0}) {
      const std::string value =
          "v" + std::to_string(f) + "r" + std::to_string(row) + (f % 2 ? " = x" : "");
      auto feature = find("odd", fields[f], value);
      ASSERT_TRUE(feature) << fields[f] << " " << value;
      EXPECT_EQ(valueOf(feature, "odd", fields[f]), value);
      // The feature of that row: every other field names the same row.
      EXPECT_EQ(valueOf(feature, "odd", "a"), "v0r" + std::to_string(row)) << fields[f];
    }
  }
  EXPECT_TRUE(messages().empty()) << messages().front();
}

}  // namespace
}  // namespace corvale

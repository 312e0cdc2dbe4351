// The direct readers against QGIS's own iterator, over a corpus of layers of
// every kind a project may hold. Each corpus layer must list, through the
// component, exactly the texts QGIS's iterator gives for it.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <cpl_error.h>

#include <QDir>

#include <qgsconfig.h>
#include <qgsproviderregistry.h>

#include "hosts/qgis/common/QgisPrefix.h"
#include "qgis/DirectReadCheck.h"
#include "support/TempFolder.h"

namespace corvale {
namespace {

using testing::Reader;

struct Feature {
  std::optional<std::string> name;
  const char* wkt;  // nullptr: no geometry
};

/// A layer written through GDAL: a `name` text field and the features' geometries.
void writeLayer(const char* driver, const std::filesystem::path& path, const char* layer,
                OGRwkbGeometryType type, const std::vector<Feature>& features,
                std::vector<const char*> datasetOptions = {}) {
  GDALAllRegister();
  datasetOptions.push_back(nullptr);
  GDALDatasetH dataset = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr,
                                    nullptr, nullptr);
  if (!dataset) {
    dataset = GDALCreate(GDALGetDriverByName(driver), path.c_str(), 0, 0, 0, GDT_Unknown,
                         const_cast<char**>(datasetOptions.data()));
  }
  ASSERT_NE(dataset, nullptr) << path;
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(srs, 4326);
  OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayerH out = GDALDatasetCreateLayer(dataset, layer, srs, type, nullptr);
  OSRRelease(srs);
  ASSERT_NE(out, nullptr) << layer;
  OGRFieldDefnH field = OGR_Fld_Create("name", OFTString);
  OGR_L_CreateField(out, field, TRUE);
  OGR_Fld_Destroy(field);
  ASSERT_EQ(OGR_L_StartTransaction(out), OGRERR_NONE);
  for (const Feature& f : features) {
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(out));
    if (f.name) OGR_F_SetFieldString(feature, 0, f.name->c_str());
    if (!f.name) OGR_F_SetFieldNull(feature, 0);
    if (f.wkt) {
      OGRGeometryH geometry = nullptr;
      char* text = const_cast<char*>(f.wkt);
      ASSERT_EQ(OGR_G_CreateFromWkt(&text, nullptr, &geometry), OGRERR_NONE) << f.wkt;
      OGR_F_SetGeometryDirectly(feature, geometry);
    }
    ASSERT_EQ(OGR_L_CreateFeature(out, feature), OGRERR_NONE);
    OGR_F_Destroy(feature);
  }
  ASSERT_EQ(OGR_L_CommitTransaction(out), OGRERR_NONE);
  GDALClose(dataset);
}

/// Runs SQL statements (separated by semicolons) on the GeoPackage through GDAL's own
/// connection, which has the functions the GeoPackage's triggers call.
void sqlite(const std::filesystem::path& file, const std::string& sql) {
  GDALDatasetH dataset =
      GDALOpenEx(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr);
  ASSERT_NE(dataset, nullptr) << file;
  size_t start = 0;
  while (start < sql.size()) {
    size_t end = sql.find(';', start);
    if (end == std::string::npos) end = sql.size();
    const std::string statement = sql.substr(start, end - start);
    start = end + 1;
    CPLErrorReset();
    OGRLayerH result = GDALDatasetExecuteSQL(dataset, statement.c_str(), nullptr, nullptr);
    if (result) GDALDatasetReleaseResultSet(dataset, result);
    EXPECT_EQ(CPLGetLastErrorType(), CE_None) << statement << ": " << CPLGetLastErrorMsg();
  }
  GDALClose(dataset);
}

/// Names that put a reader to the test: case, blanks, non-ASCII, repeats, nulls, empties;
/// then `placeholders` features named "odd 1", "odd 2"...
std::vector<Feature> streetFeatures(int placeholders = 0) {
  std::vector<Feature> features;
  const char* names[] = {"Main Street", "main street", "Main Street ", " ", "",
                         "Ålesund Allé", "O'Brien Road", "🚗 Car Park", "Main Street",
                         "Tab\there", "Last Lane"};
  for (const char* name : names)
    features.push_back({std::string(name), nullptr});
  features.push_back({std::nullopt, nullptr});
  for (int k = 1; k <= placeholders; ++k)
    features.push_back({"odd " + std::to_string(k), nullptr});
  static const std::string lines[] = {"LINESTRING (0 0,1 1)", "LINESTRING (1 1,2 3)"};
  for (size_t k = 0; k < features.size(); ++k)
    features[k].wkt = lines[k % 2].c_str();
  return features;
}

/// Features of every geometry type, and none, in one generic geometry column.
std::vector<Feature> mixedFeatures() {
  return {{"Point One", "POINT (1 1)"},
          {"Line One", "LINESTRING (0 0,1 1)"},
          {"Polygon One", "POLYGON ((0 0,1 0,1 1,0 0))"},
          {"No Geometry", nullptr},
          {"Multi Line", "MULTILINESTRING ((0 0,1 1),(2 2,3 3))"},
          {"Line Two", "LINESTRING (2 2,3 3)"},
          {"Point Two", "POINT (2 2)"}};
}

/// A GeoPackage table registered by hand, as other tools write them.
std::string registerFeatures(const std::string& table, const std::string& column,
                             const std::string& type) {
  return "INSERT INTO gpkg_contents (table_name, data_type, identifier, srs_id) VALUES ('" +
         table + "', 'features', '" + table + "', 4326);" +
         "INSERT INTO gpkg_geometry_columns VALUES ('" + table + "', '" + column + "', '" + type +
         "', 4326, 0, 0);";
}

class DirectReadsDifferential : public testing::DirectReadFixture {
 protected:
  static void SetUpTestSuite() {
    // The providers other than OGR are plugins under QGIS's install prefix.
    QgsProviderRegistry* registry = QgsProviderRegistry::instance();
    if (!registry->providerList().contains(QStringLiteral("delimitedtext"))) {
      registry->setLibraryDirectory(
          QDir(qgis::qgisInstallPrefix() + QStringLiteral("/" QGIS_PLUGIN_SUBDIR)));
    }
  }
  QgsVectorLayer* ogr(const std::string& source) {
    return new QgsVectorLayer(QString::fromStdString(source), QStringLiteral("corpus"),
                              QStringLiteral("ogr"));
  }
  testing::TempFolder folder;
};

TEST_F(DirectReadsDifferential, EveryCorpusLayerListsWhatQgisReads) {
  const std::string gpkg = (folder / "corpus.gpkg").string();
  writeLayer("GPKG", gpkg, "streets", wkbLineString, streetFeatures(6));
  writeLayer("GPKG", gpkg, "mixed", wkbUnknown, mixedFeatures());
  // Bytes as other writers leave them: not UTF-8, a byte-order mark, a NUL
  // inside, a number, a blob in a text column.
  sqlite(gpkg,
         "UPDATE streets SET name = CAST(X'426164FFFE20526F6164' AS TEXT) WHERE name = 'odd 1';"
         "UPDATE streets SET name = CAST(X'EFBBBF426F6D' AS TEXT) WHERE name = 'odd 2';"
         "UPDATE streets SET name = CAST(X'4375740042697473' AS TEXT) WHERE name = 'odd 3';"
         "UPDATE streets SET name = 42 WHERE name = 'odd 4';"
         "UPDATE streets SET name = 2.5 WHERE name = 'odd 5';"
         "UPDATE streets SET name = X'426C6F62' WHERE name = 'odd 6';");
  // Views: one that carries the feature id, one with no integer column at all.
  sqlite(gpkg,
         "CREATE VIEW streets_view AS SELECT fid, name, geom FROM streets WHERE fid % 3 <> 0;" +
             registerFeatures("streets_view", "geom", "LINESTRING") +
             "CREATE VIEW label_view AS SELECT name AS label, geom FROM streets;" +
             registerFeatures("label_view", "geom", "LINESTRING"));
  // A user column named rowid, counting down, and a key of another name.
  sqlite(gpkg,
         "CREATE TABLE odd_rowid (fid INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
         " geom LINESTRING, rowid INTEGER, name TEXT);"
         "INSERT INTO odd_rowid (geom, rowid, name) SELECT geom, 6 - fid, name FROM mixed"
         " WHERE fid <= 5;" +
             registerFeatures("odd_rowid", "geom", "LINESTRING") +
             "CREATE TABLE keyed (id INTEGER PRIMARY KEY, geom POINT,"
             " \"odd \"\"name\"\" ñ\" TEXT);"
             "INSERT INTO keyed VALUES (-7, NULL, 'Minus Seven'), (3, NULL, 'Three'),"
             " (9000000000, NULL, 'Big'), (4, NULL, CAST(X'C0AF' AS TEXT));" +
             registerFeatures("keyed", "geom", "POINT"));
  const std::string single = (folder / "single.gpkg").string();
  writeLayer("GPKG", single, "only", wkbLineString, streetFeatures());

  check(ogr(gpkg + "|layername=streets"), "name", "GeoPackage table");
  check(ogr(gpkg + "|layername=STREETS"), "name", "GeoPackage table, name in other case");
  check(ogr(single), "name", "GeoPackage of one table, named by its path alone");
  for (const char* type : {"LineString", "Point", "Polygon"}) {
    check(ogr(gpkg + "|layername=mixed|geometrytype=" + type), "name",
          std::string("generic geometry column, sub-layer ") + type);
  }
  check(ogr(gpkg + "|layername=mixed"), "name", "generic geometry column, whole");
  check(ogr(gpkg + "|layername=streets|subset=\"fid\" > 4"), "name", "subset in the source");
  auto* filtered = ogr(gpkg + "|layername=streets");
  filtered->setSubsetString(QStringLiteral("\"name\" LIKE 'M%'"));
  check(filtered, "name", "subset string");
  check(ogr(gpkg + "|layername=streets_view"), "name", "view with the feature id");
  check(ogr(gpkg + "|layername=label_view"), "label", "view without an integer id");
  check(ogr(gpkg + "|layername=odd_rowid"), "name", "user column named rowid");
  check(ogr(gpkg + "|layername=keyed"), "odd \"name\" ñ", "key of another name, odd column");

  // Other formats: none is the GeoPackage reader's.
  const std::string spatialite = (folder / "corpus.sqlite").string();
  writeLayer("SQLite", spatialite, "streets", wkbLineString, streetFeatures(), {"SPATIALITE=YES"});
  check(ogr(spatialite + "|layername=streets"), "name", "SpatiaLite through OGR");
  check(new QgsVectorLayer(QStringLiteral("dbname='%1' table=\"streets\" (geometry)")
                               .arg(QString::fromStdString(spatialite)),
                           QStringLiteral("corpus"), QStringLiteral("spatialite")),
        "name", "SpatiaLite through its own provider");
  writeLayer("ESRI Shapefile", (folder / "streets.shp").string(), "streets", wkbLineString,
             streetFeatures());
  check(ogr((folder / "streets.shp").string()), "name", "Shapefile");
  writeLayer("GeoJSON", (folder / "streets.geojson").string(), "streets", wkbLineString,
             streetFeatures());
  check(ogr((folder / "streets.geojson").string()), "name", "GeoJSON");
  {
    std::ofstream csv(folder / "streets.csv", std::ios::binary);
    csv << "x,y,name\n1,1,Main Street\n2,2,main street\n3,3,\n4,4,Ålesund Allé\n5,5,Main Street\n";
  }
  check(new QgsVectorLayer(
            QStringLiteral("file://%1?type=csv&xField=x&yField=y&crs=EPSG:4326&detectTypes=no")
                .arg(QString::fromStdString((folder / "streets.csv").string())),
            QStringLiteral("corpus"), QStringLiteral("delimitedtext")),
        "name", "CSV");

  // Every reader that serves a layer kind serves one of the corpus: a reader
  // that took on a kind the corpus lacks would go unchecked.
  const auto& gpkgServed = served[Reader::Gpkg];
  EXPECT_NE(std::find(gpkgServed.begin(), gpkgServed.end(), "GeoPackage table"), gpkgServed.end())
      << "the plain table lost its direct read";
  EXPECT_TRUE(served[Reader::Postgres].empty());
  for (const auto& [reader, labels] : served) {
    for (const auto& label : labels)
      std::cout << "  " << testing::nameOf(reader) << ": " << label << "\n";
  }
}

}  // namespace
}  // namespace corvale

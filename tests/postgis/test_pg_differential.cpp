// Run by pgserver.py, which points libpq's PG* variables at a server of its own.
// PostgreSQL layers of every kind a project may hold, each listed through the
// component and through QGIS's own iterator: the two must agree.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>

#include <libpq-fe.h>

#include <QLabel>
#include <QtGlobal>

#include <qgsapplication.h>
#include <qgsconfig.h>
#include <qgsdatasourceuri.h>
#include <qgslayertree.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/read/PgTextReader.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "hosts/qgis/common/QgisPrefix.h"
#include "qgis/DirectReadCheck.h"

namespace corvale {
namespace {

using testing::Reader;

void execute(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  PQclear(result);
  ASSERT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
      << sql << ": " << PQerrorMessage(connection);
}

/// Names that put a reader to the test, keyed by negative, zero and large keys.
const char* const kNames[] = {"Main Street", "main street", "Main Street ", " ", "",
                              "Ålesund Allé", "O'Brien Road", "🚗 Car Park", "Main Street",
                              "Tab\there", "Back\\slash", "New\nline", "e\xCC\x81 combining",
                              "Last Lane"};
const int kKeys[] = {-2147483647 - 1, -5, 0, 1, 2, 7, 100000, 2147483647, 40, 41, 42, 43, 44, 45};

class PgDifferential : public testing::DirectReadFixture {
 protected:
  static void SetUpTestSuite() {
    PGconn* connection = PQconnectdb("");
    ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
    execute(connection,
            "CREATE EXTENSION IF NOT EXISTS citext;"
            "CREATE COLLATION IF NOT EXISTS nocase (provider = icu,"
            " locale = 'und-u-ks-level2', deterministic = false);"
            "DROP VIEW IF EXISTS d_view;"
            "DROP TABLE IF EXISTS d_streets, d_mixed, d_citext, d_nocase, \"Odd \"\"Table\"\" ñ\","
            " d_parts, d_other_key, \"d_$3 dollar\";"
            "CREATE TABLE d_streets (fid integer PRIMARY KEY, name text, code varchar(20),"
            " geom geometry(LineString, 4326));"
            "CREATE TABLE d_mixed (fid integer PRIMARY KEY, name text, geom geometry);"
            "CREATE TABLE d_citext (fid integer PRIMARY KEY, name citext,"
            " geom geometry(LineString, 4326));"
            "CREATE TABLE d_nocase (fid integer PRIMARY KEY, name text COLLATE nocase,"
            " geom geometry(LineString, 4326));"
            "CREATE TABLE \"d_$3 dollar\" (fid integer PRIMARY KEY, name text,"
            " geom geometry(LineString, 4326));"
            "CREATE TABLE \"Odd \"\"Table\"\" ñ\" (\"Key \"\"K\"\"\" integer PRIMARY KEY,"
            " \"odd \"\"name\"\" ñ\" text, geom geometry(LineString, 4326));"
            "CREATE TABLE d_parts (fid integer PRIMARY KEY, name text,"
            " geom geometry(LineString, 4326)) PARTITION BY RANGE (fid);"
            "CREATE TABLE d_parts_low PARTITION OF d_parts FOR VALUES FROM (MINVALUE) TO (10);"
            "CREATE TABLE d_parts_high PARTITION OF d_parts FOR VALUES FROM (10) TO (MAXVALUE);"
            "CREATE TABLE d_other_key (fid integer PRIMARY KEY, id integer UNIQUE NOT NULL,"
            " name text, geom geometry(LineString, 4326));");
    for (size_t i = 0; i < std::size(kNames); ++i) {
      const std::string key = std::to_string(kKeys[i]);
      // Every fourth row has no geometry.
      const std::string geometry =
          i % 4 == 3 ? "NULL" : "ST_GeomFromText('LINESTRING(0 0, 1 " + key + ")', 4326)";
      const char* parameters[] = {key.c_str(), kNames[i]};
      for (const std::string table :
           {"d_streets (fid, name, code, geom)", "d_citext (fid, name, geom)",
            "d_nocase (fid, name, geom)", "\"Odd \"\"Table\"\" ñ\"", "d_parts (fid, name, geom)",
            "\"d_$3 dollar\" (fid, name, geom)"}) {
        const std::string sql = "INSERT INTO " + table + " VALUES ($1::integer, $2, " +
                                (table.rfind("d_streets", 0) == 0 ? "upper($2), " : "") +
                                geometry + ")";
        PGresult* result = PQexecParams(connection, sql.c_str(), 2, nullptr, parameters,
                                        nullptr, nullptr, 0);
        ASSERT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << sql << PQerrorMessage(connection);
        PQclear(result);
      }
    }
    // A role whose connection limit QGIS's own connections to a layer take:
    // the component can make no connection of its own, and reads the rows
    // through QGIS.
    execute(connection,
            "DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'd_limited')"
            " THEN CREATE ROLE d_limited LOGIN CONNECTION LIMIT 2; END IF; END $$;"
            "GRANT SELECT ON d_streets TO d_limited;");
    execute(connection, "INSERT INTO d_streets (fid) VALUES (3), (4);"
                        "INSERT INTO d_other_key SELECT fid, fid # 1, name, geom FROM d_streets;"
                        "CREATE VIEW d_view AS SELECT fid, name, geom FROM d_streets"
                        " WHERE fid % 2 = 0;");
    // A generic geometry column: every type, two SRIDs, and none.
    execute(connection,
            "INSERT INTO d_mixed VALUES"
            " (1, 'Point One', 'SRID=4326;POINT(1 1)'),"
            " (2, 'Line One', 'SRID=4326;LINESTRING(0 0, 1 1)'),"
            " (3, 'Line Mercator', 'SRID=3857;LINESTRING(0 0, 1 1)'),"
            " (4, 'Polygon One', 'SRID=4326;POLYGON((0 0, 1 0, 1 1, 0 0))'),"
            " (5, 'No Geometry', NULL),"
            " (6, 'Multi Line', 'SRID=4326;MULTILINESTRING((0 0, 1 1), (2 2, 3 3))'),"
            " (7, 'Line Two', 'SRID=4326;LINESTRING(2 2, 3 3)'),"
            " (8, 'Line Z', 'SRID=4326;LINESTRING Z (2 2 1, 3 3 1)')");
    PQfinish(connection);
  }

  static QgsDataSourceUri uriOf(const char* table, const char* key = "fid",
                                const char* schema = "public", const char* user = nullptr) {
    QgsDataSourceUri uri;
    uri.setConnection(qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT"),
                      qEnvironmentVariable("PGDATABASE"),
                      user ? QString::fromUtf8(user) : qEnvironmentVariable("PGUSER"), QString());
    uri.setDataSource(QString::fromUtf8(schema), QString::fromUtf8(table), QStringLiteral("geom"),
                      QString(), QString::fromUtf8(key));
    return uri;
  }
  static QgsVectorLayer* layer(const QgsDataSourceUri& uri) {
    return new QgsVectorLayer(uri.uri(false), QStringLiteral("corpus"), QStringLiteral("postgres"));
  }
  static QgsDataSourceUri typed(QgsDataSourceUri uri, qgis::compat::WkbType type, const char* srid) {
    uri.setWkbType(type);
    uri.setSrid(QString::fromUtf8(srid));
    return uri;
  }
};

TEST_F(PgDifferential, EveryCorpusLayerListsWhatQgisReads) {
  check(layer(uriOf("d_streets")), "name", "table");
  check(layer(uriOf("d_streets")), "code", "table, varchar field");
  // As a user or a script writes it: no checkPrimaryKeyUnicity, no type, no SRID.
  check(new QgsVectorLayer(QStringLiteral("dbname='%1' host=%2 port=%3 user='%4' key='fid' "
                                          "table=\"public\".\"d_streets\" (geom)")
                               .arg(qEnvironmentVariable("PGDATABASE"),
                                    qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT"),
                                    qEnvironmentVariable("PGUSER")),
                           QStringLiteral("corpus"), QStringLiteral("postgres")),
        "name", "table, source written by hand");
  check(layer(typed(uriOf("d_streets"), qgis::compat::WkbType::LineString, "4326")), "name",
        "table, its declared type and SRID in the source");
  check(layer(typed(uriOf("d_streets"), qgis::compat::WkbType::MultiLineString, "4326")), "name",
        "table, another type in the source");
  check(layer(typed(uriOf("d_streets"), qgis::compat::WkbType::Unknown, "4326")), "name",
        "table, its declared SRID alone in the source");
  QgsDataSourceUri filtered = uriOf("d_streets");
  filtered.setSql(QStringLiteral("\"fid\" > 0"));
  check(layer(filtered), "name", "sql= in the source");
  auto* subset = layer(uriOf("d_streets"));
  subset->setSubsetString(QStringLiteral("\"name\" LIKE 'M%'"));
  check(subset, "name", "subset string");
  QgsDataSourceUri settings = uriOf("d_streets");
  settings.setParam(QStringLiteral("checkPrimaryKeyUnicity"), QStringLiteral("1"));
  settings.setUseEstimatedMetadata(true);
  check(layer(settings), "name", "table, key unicity and estimated metadata");
  for (const auto& [type, srid] : {std::pair{qgis::compat::WkbType::LineString, "4326"},
                                   std::pair{qgis::compat::WkbType::Point, "4326"},
                                   std::pair{qgis::compat::WkbType::LineString, "3857"},
                                   std::pair{qgis::compat::WkbType::Polygon, "4326"}}) {
    check(layer(typed(uriOf("d_mixed"), type, srid)), "name",
          "generic geometry column, sub-layer " + QgsWkbTypes::displayString(type).toStdString() +
              " " + srid);
  }
  check(layer(uriOf("d_citext")), "name", "citext field");
  check(layer(uriOf("d_nocase")), "name", "text field of a case-insensitive collation");
  check(layer(uriOf("Odd \"Table\" ñ", "Key \"K\"")), "odd \"name\" ñ", "odd table and names");
  check(layer(uriOf("d_parts")), "name", "partitioned table");
  check(layer(typed(uriOf("d_$3 dollar"), qgis::compat::WkbType::LineString, "4326")), "name",
        "a table name with a dollar, its declared type and SRID in the source");
  check(layer(uriOf("d_other_key", "id")), "name", "key= naming a unique column, not the key");
  check(layer(uriOf("d_view")), "name", "view");
  auto* viewSubset = layer(uriOf("d_view"));
  viewSubset->setSubsetString(QStringLiteral("\"name\" <> 'Last Lane'"));
  check(viewSubset, "name", "view, subset string");
  // citext compares without case: the subset drops every "main street".
  auto* citextSubset = layer(uriOf("d_citext"));
  citextSubset->setSubsetString(QStringLiteral("\"name\" <> 'MAIN STREET'"));
  check(citextSubset, "name", "citext field, subset string");
  check(layer(typed(uriOf("d_nocase"), qgis::compat::WkbType::LineString, "4326")), "name",
        "case-insensitive collation, its declared type and SRID in the source");
  check(layer(uriOf("d_streets", "fid", "public", "d_limited")), "name",
        "a role with no connection to spare");

  // The server lists the distinct texts of every plain layer, filtered as QGIS
  // filters them; the others are read row by row.
  for (const char* byServer :
       {"table", "table, varchar field", "table, source written by hand",
        "table, its declared type and SRID in the source", "sql= in the source",
        "subset string", "table, key unicity and estimated metadata", "citext field",
        "text field of a case-insensitive collation", "odd table and names", "partitioned table",
        "key= naming a unique column, not the key", "view", "view, subset string",
        "citext field, subset string",
        "case-insensitive collation, its declared type and SRID in the source"}) {
    EXPECT_NE(std::find(listedByServer.begin(), listedByServer.end(), byServer),
              listedByServer.end())
        << byServer << ": not listed by the server";
  }
  for (const char* byRows : {"table, another type in the source", "a role with no connection to spare",
                             "generic geometry column, sub-layer LineString 4326"}) {
    EXPECT_EQ(std::find(listedByServer.begin(), listedByServer.end(), byRows),
              listedByServer.end())
        << byRows << ": listed by the server, which cannot filter or serve it as QGIS does";
  }

  // The server picks the first feature of a name where its rows and ids are
  // QGIS's; views and filters QGIS applies itself leave the pick to QGIS's
  // iterator.
  for (const char* byServer :
       {"table", "table, varchar field", "table, source written by hand",
        "table, its declared type and SRID in the source", "sql= in the source", "subset string",
        "table, key unicity and estimated metadata", "citext field",
        "text field of a case-insensitive collation", "odd table and names", "partitioned table",
        "citext field, subset string",
        "case-insensitive collation, its declared type and SRID in the source",
        "a table name with a dollar, its declared type and SRID in the source"}) {
    EXPECT_NE(std::find(pickedByServer.begin(), pickedByServer.end(), byServer),
              pickedByServer.end())
        << byServer << ": not picked by the server";
  }
  for (const char* byQgis :
       {"table, another type in the source", "view",
        "view, subset string", "generic geometry column, sub-layer LineString 4326"}) {
    EXPECT_EQ(std::find(pickedByServer.begin(), pickedByServer.end(), byQgis),
              pickedByServer.end())
        << byQgis << ": picked by the server, whose rows or ids are not QGIS's";
  }
  for (const auto& label : pickedByServer)
    std::cout << "  picks from the server: " << label << "\n";

  const auto& pgServed = served[Reader::Postgres];
  for (const char* plain : {"table", "table, source written by hand"}) {
    EXPECT_NE(std::find(pgServed.begin(), pgServed.end(), plain), pgServed.end())
        << plain << ": the plain table lost its direct read";
  }
  EXPECT_TRUE(served[Reader::Gpkg].empty());
  for (const auto& [reader, labels] : served) {
    for (const auto& label : labels)
      std::cout << "  " << testing::nameOf(reader) << ": " << label << "\n";
  }
  for (const auto& label : listedByServer)
    std::cout << "  distinct texts from the server: " << label << "\n";
}

/// The first value of the query's first row, as text.
std::string scalar(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << sql << ": " << PQerrorMessage(connection);
  std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
  PQclear(result);
  return value;
}

TEST_F(PgDifferential, TheIndicatorStepsOncePerTextTheServerSendsAndEndsHidden) {
  QgsVectorLayer* citext = layer(uriOf("d_citext"));
  ASSERT_TRUE(citext->isValid());
  ASSERT_NE(qgis::PgTextReader::distinctTexts(*citext, citext->fields().lookupField("name")),
            nullptr);
  citext->setName(QStringLiteral("citext streets"));
  project.addMapLayer(citext, false);
  project.layerTreeRoot()->insertLayer(0, citext);

  testing::TextListBox listed(true);
  LoadListWithUniqueFieldValues("citext streets", "name", listed, true, nullptr);
  PGconn* connection = PQconnectdb("");
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
  const int texts = std::stoi(
      scalar(connection, "SELECT count(DISTINCT convert_to(name::text, 'UTF8')) FROM d_citext"));
  const int rows = std::stoi(scalar(connection, "SELECT count(*) FROM d_citext"));
  PQfinish(connection);
  // Every row, the null ones included, counted by the listing query itself.
  EXPECT_EQ(progress().maximum(), rows);
  // One step before the first text and one per text received; nulls send none.
  EXPECT_EQ(progress().position(), 1 + texts);
  EXPECT_FALSE(progress().isShown());
  EXPECT_EQ(progress().label()->text().toStdString(), "Loading List: name...");
  EXPECT_TRUE(messages().empty());
  // Texts that differ only in letter case stay apart; the empty text is not listed.
  EXPECT_EQ(listed.entries().size(), static_cast<size_t>(texts - 1));
}

TEST_F(PgDifferential, TheIndicatorsMaximumIsTheFeatureCountFromTheListingsOwnPass) {
  PGconn* connection = PQconnectdb("");
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
  // 3000 rows, 30 names (every seventh row null): the feature count and the
  // number of texts lie far apart. Every row the view yields draws a number
  // from d_reads, so the numbers drawn tell how often the rows were read.
  execute(connection,
          "DROP VIEW IF EXISTS d_counted; DROP TABLE IF EXISTS d_repeated;"
          "DROP SEQUENCE IF EXISTS d_reads; CREATE SEQUENCE d_reads;"
          "CREATE OR REPLACE FUNCTION d_read() RETURNS boolean LANGUAGE sql VOLATILE"
          " AS 'SELECT nextval(''d_reads'') > 0';"
          "CREATE TABLE d_repeated (fid integer PRIMARY KEY, name text,"
          " geom geometry(LineString, 4326));"
          "INSERT INTO d_repeated SELECT i,"
          " CASE WHEN i % 7 = 0 THEN NULL ELSE 'Street ' || (i % 30) END,"
          " ST_GeomFromText('LINESTRING(0 0, 1 1)', 4326) FROM generate_series(1, 3000) i;"
          "ANALYZE d_repeated;"
          "CREATE VIEW d_counted AS SELECT fid, name, geom FROM d_repeated WHERE d_read();");
  QgsVectorLayer* counted = layer(uriOf("d_counted"));
  ASSERT_TRUE(counted->isValid());
  counted->setName(QStringLiteral("counted streets"));
  project.addMapLayer(counted, false);
  project.layerTreeRoot()->insertLayer(0, counted);

  execute(connection, "SELECT setval('d_reads', 1, false)");
  testing::TextListBox listed(true);
  LoadListWithUniqueFieldValues("counted streets", "name", listed, true, nullptr);
  EXPECT_EQ(listed.entries().size(), 30u);
  // The maximum counts every feature, the null ones too; the bar steps once
  // per text the server sent; the null group sends none.
  EXPECT_EQ(progress().maximum(), 3000);
  EXPECT_EQ(progress().position(), 31);
  EXPECT_FALSE(progress().isShown());
  EXPECT_TRUE(messages().empty());
  // The rows were read once, by the distinct query: no count(*) beside it.
  EXPECT_EQ(scalar(connection, "SELECT CASE WHEN is_called THEN last_value ELSE 0 END"
                               " FROM d_reads"),
            "3000");
  PQfinish(connection);
}

}  // namespace
}  // namespace corvale

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  // The postgres provider is a plugin under QGIS's install prefix.
  QgsApplication::setPrefixPath(corvale::qgis::qgisInstallPrefix(), true);
  QgsApplication::initQgis();
  const int result = RUN_ALL_TESTS();
  QgsApplication::exitQgis();
  return result;
}

// Run by pgserver.py, which points libpq's PG* variables at a server of its own.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <libpq-fe.h>

#include <QThread>
#include <QtGlobal>

#include <qgsapplication.h>
#include <qgsconfig.h>
#include <qgsdatasourceuri.h>
#include <qgsfeatureiterator.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/read/PgTextReader.h"
#include "runtime/Failure.h"
#include "hosts/qgis/common/QgisPrefix.h"

namespace corvale {
namespace {

using Texts = std::map<int64_t, std::optional<std::string>>;

void execute(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  PQclear(result);
  ASSERT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
      << sql << ": " << PQerrorMessage(connection);
}

/// Tables whose keys, types and texts put the reader to the test.
class PgTextReads : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    PGconn* connection = PQconnectdb("");
    ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
    execute(
        connection,
        "DROP TABLE IF EXISTS small_keys, big_keys;"
        "CREATE TABLE small_keys (fid integer PRIMARY KEY, name text, code varchar(20),"
        " pad char(6), geom geometry(Point, 25832));"
        "CREATE TABLE big_keys (fid bigint PRIMARY KEY, name text, geom geometry(Point, 25832));"
        "INSERT INTO big_keys VALUES (1, 'Elm', 'SRID=25832;POINT(1 1)');");
    // Negative keys, nulls, blanks, escapes COPY or a text protocol would mangle, non-ASCII.
    const char* names[] = {"Main Street",
                           "",
                           " ",
                           "Tab\there",
                           "Back\\slash",
                           "New\nline",
                           "Ålesund Allé",
                           "O'Brien Road",
                           "🚗 Car Park",
                           "Main Street"};
    const int keys[] = {-2147483647 - 1, -5, 0, 1, 2, 7, 100000, 2147483647, 40, 41};
    for (int i = 0; i < 10; ++i) {
      const std::string key = std::to_string(keys[i]);
      const char* parameters[] = {key.c_str(), names[i]};
      PGresult* result =
          PQexecParams(connection,
                       "INSERT INTO small_keys VALUES ($1::integer, $2, upper($2), left($2, 3),"
                       " ST_SetSRID(ST_MakePoint($1::integer % 1000, 1), 25832))",
                       2, nullptr, parameters, nullptr, nullptr, 0);
      ASSERT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(connection);
      PQclear(result);
    }
    execute(connection, "INSERT INTO small_keys (fid) VALUES (3), (4)");
    PQfinish(connection);
  }

  static std::unique_ptr<QgsVectorLayer> layer(const char* table) {
    QgsDataSourceUri uri;
    uri.setConnection(qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT"),
                      qEnvironmentVariable("PGDATABASE"), qEnvironmentVariable("PGUSER"),
                      QString());
    uri.setDataSource(QStringLiteral("public"), QString::fromUtf8(table), QStringLiteral("geom"),
                      QString(), QStringLiteral("fid"));
    auto vector = std::make_unique<QgsVectorLayer>(uri.uri(false), QString::fromUtf8(table),
                                                   QStringLiteral("postgres"));
    EXPECT_TRUE(vector->isValid()) << table;
    return vector;
  }

  static QgsAttributeList field(const QgsVectorLayer& vector, const char* name) {
    return {vector.fields().indexOf(QString::fromUtf8(name))};
  }

  static Texts viaReader(const QgsVectorLayer& vector, const char* name) {
    auto reader = qgis::PgTextReader::open(vector, field(vector, name));
    EXPECT_TRUE(reader);
    Texts texts;
    while (reader && reader->step()) {
      const auto text = reader->text(0);
      if (text) {
        EXPECT_TRUE(reader->plain(0)) << *text;
      }
      EXPECT_TRUE(
          texts.emplace(reader->id(), text ? std::optional<std::string>(*text) : std::nullopt)
              .second)
          << "feature " << reader->id() << " twice";
    }
    return texts;
  }

  static Texts viaQgis(const QgsVectorLayer& vector, const char* name) {
    const int index = vector.fields().indexOf(QString::fromUtf8(name));
    QgsFeatureIterator it = vector.getFeatures(QgsFeatureRequest().setSubsetOfAttributes({index}));
    Texts texts;
    QgsFeature feature;
    while (it.nextFeature(feature)) {
      const QVariant value = feature.attribute(index);
      texts[feature.id()] = value.isNull()
                                ? std::nullopt
                                : std::optional<std::string>(value.toString().toStdString());
    }
    return texts;
  }
};

TEST_F(PgTextReads, OnlyTextFieldsOfATableWithAnIntegerKeyQualify) {
  auto smallKeys = layer("small_keys");
  auto bigKeys = layer("big_keys");
  EXPECT_TRUE(qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "name")));
  EXPECT_TRUE(qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "code")));
  // Padded characters, numbers and 64-bit keys are QGIS's to read.
  EXPECT_FALSE(qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "pad")));
  EXPECT_FALSE(qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "fid")));
  EXPECT_FALSE(qgis::PgTextReader::open(*bigKeys, field(*bigKeys, "name")));
  EXPECT_FALSE(qgis::PgTextReader::open(*smallKeys, {}));

  smallKeys->setSubsetString(QStringLiteral("\"fid\" > 0"));
  EXPECT_FALSE(qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "name")));
  smallKeys->setSubsetString(QString());
  ASSERT_TRUE(smallKeys->startEditing());
  EXPECT_FALSE(qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "name")));
  smallKeys->rollBack();
}

TEST_F(PgTextReads, TheReaderYieldsEveryRowWithTheIdAndTextQgisReads) {
  auto smallKeys = layer("small_keys");
  for (const char* name : {"name", "code"}) {
    const Texts fast = viaReader(*smallKeys, name);
    EXPECT_EQ(fast.size(), 12u) << name;
    EXPECT_EQ(fast, viaQgis(*smallKeys, name)) << name;
  }
}

TEST_F(PgTextReads, AReaderDroppedHalfWayLeavesTheServerUsable) {
  auto smallKeys = layer("small_keys");
  {
    auto reader = qgis::PgTextReader::open(*smallKeys, field(*smallKeys, "name"));
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->step());
  }
  EXPECT_EQ(viaReader(*smallKeys, "name").size(), 12u);
}

/// Every text a cursor hands out, in the order it hands them out.
std::vector<std::string> drained(host::ITextCursor& texts) {
  std::vector<std::string> all;
  for (auto text = texts.nextText(); text; text = texts.nextText())
    all.emplace_back(*text);
  return all;
}

/// Texts of its own, and how often it was made.
class GivenTexts : public host::ITextCursor {
 public:
  explicit GivenTexts(std::vector<std::string> texts) : texts_(std::move(texts)) {}
  std::optional<std::string_view> nextText() override {
    if (next_ >= texts_.size()) return std::nullopt;
    return std::string_view(texts_[next_++]);
  }

 private:
  std::vector<std::string> texts_;
  size_t next_ = 0;
};

TEST_F(PgTextReads, TheServersDistinctTextsAreTheTextsQgisReadsEachOnce) {
  auto smallKeys = layer("small_keys");
  for (const char* name : {"name", "code"}) {
    std::set<std::string> expected;
    for (const auto& [id, text] : viaQgis(*smallKeys, name)) {
      if (text) expected.insert(*text);
    }
    int made = 0;
    auto texts = qgis::PgTextReader::startDistinctTexts(
        *smallKeys, smallKeys->fields().indexOf(QString::fromUtf8(name)), [&made] {
          ++made;
          return std::make_shared<GivenTexts>(std::vector<std::string>{});
        });
    ASSERT_TRUE(texts) << name;
    const std::vector<std::string> listed = drained(*texts);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), expected) << name;
    EXPECT_EQ(listed.size(), expected.size()) << name << ": a text listed twice";
    EXPECT_EQ(made, 0) << name << ": the rows were read although the server answered";
  }
}

TEST_F(PgTextReads, AListingTheServerRefusesComesFromTheOtherCursorUnasked) {
  PGconn* connection = PQconnectdb("");
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
  execute(connection,
          "DROP TABLE IF EXISTS refused, refused_gone;"
          "CREATE TABLE refused (fid integer PRIMARY KEY, name text, geom geometry(Point, 25832));"
          "INSERT INTO refused VALUES (1, 'Elm', 'SRID=25832;POINT(1 1)');");
  auto refused = layer("refused");
  const int index = refused->fields().indexOf(QStringLiteral("name"));
  // The layer stays as QGIS loaded it; the server no longer knows its table.
  execute(connection, "ALTER TABLE refused RENAME TO refused_gone");

  int made = 0;
  auto texts = qgis::PgTextReader::startDistinctTexts(*refused, index, [&made] {
    ++made;
    return std::make_shared<GivenTexts>(std::vector<std::string>{"Oak", "Oak", "Ash"});
  });
  ASSERT_TRUE(texts) << "the query is only sent: its answer is not known yet";
  EXPECT_EQ(drained(*texts), (std::vector<std::string>{"Oak", "Oak", "Ash"}));
  EXPECT_EQ(made, 1);
  EXPECT_FALSE(texts->nextText()) << "the end stays the end";

  // Waiting for the answer: nothing. With no other cursor: a failure, not an empty list.
  EXPECT_FALSE(qgis::PgTextReader::distinctTexts(*refused, index));
  auto alone = qgis::PgTextReader::startDistinctTexts(*refused, index, nullptr);
  ASSERT_TRUE(alone);
  EXPECT_THROW(alone->nextText(), Failure);

  execute(connection, "ALTER TABLE refused_gone RENAME TO refused");
  auto again = qgis::PgTextReader::distinctTexts(*refused, index);
  ASSERT_TRUE(again);
  EXPECT_EQ(drained(*again), std::vector<std::string>{"Elm"});
  PQfinish(connection);
}

TEST_F(PgTextReads, AListingDroppedBeforeItsAnswerLeavesNoConnectionBehind) {
  PGconn* connection = PQconnectdb("");
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
  const auto others = [connection] {
    PGresult* result =
        PQexec(connection, "SELECT count(*) FROM pg_stat_activity WHERE backend_type = "
                           "'client backend' AND pid <> pg_backend_pid()");
    const int count = PQresultStatus(result) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(result, 0, 0)) : -1;
    PQclear(result);
    return count;
  };
  auto smallKeys = layer("small_keys");
  const int index = smallKeys->fields().indexOf(QStringLiteral("name"));
  const int before = others();
  for (int i = 0; i < 20; ++i) {
    auto texts = qgis::PgTextReader::startDistinctTexts(*smallKeys, index, nullptr);
    ASSERT_TRUE(texts);
  }
  // A backend ends a moment after its client has gone.
  int after = others();
  for (int wait = 0; wait < 50 && after > before; ++wait) {
    QThread::msleep(100);
    after = others();
  }
  EXPECT_EQ(after, before);
  PQfinish(connection);
}

TEST_F(PgTextReads, PicksKeepOneConnectionAndOutliveItsLoss) {
  PGconn* connection = PQconnectdb("");
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
  // The backends of the readers' connections: neither QGIS's (it names itself) nor this one.
  const auto readers = [connection](const char* action) {
    const std::string sql = std::string("SELECT ") + action +
                            " FROM pg_stat_activity WHERE backend_type = 'client backend'"
                            " AND application_name <> 'QGIS' AND pid <> pg_backend_pid()";
    PGresult* result = PQexec(connection, sql.c_str());
    int value = -1;
    if (PQresultStatus(result) == PGRES_TUPLES_OK) {
      value = 0;
      for (int row = 0; row < PQntuples(result); ++row) {
        value += std::string_view(PQgetvalue(result, row, 0)) == "t" ? 1 : 0;
      }
    }
    PQclear(result);
    return value;
  };
  auto smallKeys = layer("small_keys");
  const int index = smallKeys->fields().indexOf(QStringLiteral("name"));
  // The first of the two "Main Street" rows in QGIS's order (none holds "MAIN STREET").
  std::optional<QgsFeatureId> mainStreet;
  QgsFeatureIterator it = smallKeys->getFeatures();
  for (QgsFeature feature; !mainStreet && it.nextFeature(feature);) {
    if (feature.attribute(index).toString() == QStringLiteral("Main Street")) {
      mainStreet = feature.id();
    }
  }
  ASSERT_TRUE(mainStreet);
  for (int i = 0; i < 10; ++i) {
    const auto found = qgis::PgTextReader::firstWithText(*smallKeys, index, "Main Street");
    ASSERT_TRUE(found.served);
    ASSERT_TRUE(found.feature);
    EXPECT_EQ(found.feature->id, *mainStreet);
    EXPECT_EQ(found.feature->geometry.asWkt(), QStringLiteral("Point (-648 1)"));
    const auto none = qgis::PgTextReader::firstWithText(*smallKeys, index, "MAIN STREET");
    EXPECT_TRUE(none.served);
    EXPECT_FALSE(none.feature);
  }
  EXPECT_EQ(readers("true"), 1) << "one connection kept for the next pick";
  // The kept connection is cut (a server restarted, a link that dropped):
  // the next pick is served on a new one.
  EXPECT_EQ(readers("pg_terminate_backend(pid)"), 1);
  for (int wait = 0; wait < 50 && readers("true") > 0; ++wait)
    QThread::msleep(100);
  const auto again = qgis::PgTextReader::firstWithText(*smallKeys, index, "Main Street");
  EXPECT_TRUE(again.served);
  ASSERT_TRUE(again.feature);
  EXPECT_EQ(again.feature->id, *mainStreet);
  EXPECT_EQ(readers("true"), 1);
  // A text that is not plain UTF-8, a field that is not text: QGIS is asked.
  EXPECT_FALSE(qgis::PgTextReader::firstWithText(*smallKeys, index, "Main \xFF").served);
  EXPECT_FALSE(qgis::PgTextReader::firstWithText(
                   *smallKeys, smallKeys->fields().indexOf(QStringLiteral("pad")), "Mai")
                   .served);
  PQfinish(connection);
}

}  // namespace
}  // namespace corvale

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, false);
  // The postgres provider is a plugin under QGIS's install prefix.
  QgsApplication::setPrefixPath(corvale::qgis::qgisInstallPrefix(), true);
  QgsApplication::initQgis();
  const int result = RUN_ALL_TESTS();
  QgsApplication::exitQgis();
  return result;
}

#include "hosts/qgis/PgTextReader.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <libpq-fe.h>

#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>

#include "hosts/qgis/QgisText.h"

namespace corvale::qgis {

namespace {

/// QGIS's feature id for a 32-bit integer key: the key, a negative one moved past 2^31.
int64_t featureIdOf(int64_t key) {
  return key >= 0 ? key : key + (int64_t{1} << 32);
}

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

/// The rows of a server-side cursor over the key and the text columns, fetched on the read-ahead
/// thread.
class PgRows : public TextRowSource {
 public:
  PgRows(PGconn* connection, size_t fields) : connection_(connection), fields_(fields) {}
  ~PgRows() override { PQfinish(connection_); }
  PgRows(const PgRows&) = delete;
  PgRows& operator=(const PgRows&) = delete;

  Read read(TextBatch& batch, size_t rows, std::string& error) override {
    const std::string fetch = "FETCH FORWARD " + std::to_string(rows) + " FROM corvale_rows";
    Result result(PQexec(connection_, fetch.c_str()));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
      error = std::string("Reading the PostgreSQL table failed: ") + PQerrorMessage(connection_);
      return Read::Failed;
    }
    const int count = PQntuples(result.get());
    for (int row = 0; row < count; ++row) {
      batch.addRow(featureIdOf(std::strtoll(PQgetvalue(result.get(), row, 0), nullptr, 10)));
      for (size_t k = 0; k < fields_; ++k) {
        const int column = static_cast<int>(k) + 1;
        if (PQgetisnull(result.get(), row, column)) {
          batch.addNull();
        } else {
          batch.addText(
              std::string_view(PQgetvalue(result.get(), row, column),
                               static_cast<size_t>(PQgetlength(result.get(), row, column))));
        }
      }
    }
    if (count < static_cast<int>(rows)) {
      Result(PQexec(connection_, "COMMIT"));
      return Read::End;
    }
    return Read::More;
  }

 private:
  PGconn* connection_;
  size_t fields_;
};

bool succeeded(PGconn* connection, const char* sql, ExecStatusType wanted) {
  Result result(PQexec(connection, sql));
  return PQresultStatus(result.get()) == wanted;
}

}  // namespace

std::unique_ptr<ReadAhead> PgTextReader::open(const QgsVectorLayer& layer,
                                              const QgsAttributeList& fields) {
  const QgsVectorDataProvider* provider = layer.dataProvider();
  if (fields.isEmpty() || !layer.isValid() || layer.providerType() != QLatin1String("postgres") ||
      !provider || !layer.subsetString().isEmpty() || layer.isEditable()) {
    return nullptr;
  }
  const QgsFields layerFields = layer.fields();
  const QgsAttributeList keys = provider->pkAttributeIndexes();
  if (keys.size() != 1 || keys[0] < 0 || keys[0] >= layerFields.count() ||
      layerFields.fieldOrigin(keys[0]) != QgsFields::OriginProvider ||
      layerFields.at(keys[0]).type() != QVariant::Int) {
    return nullptr;
  }
  std::vector<std::string> columns{utf8Of(layerFields.at(keys[0]).name())};
  for (int index : fields) {
    if (index < 0 || index >= layerFields.count() ||
        layerFields.fieldOrigin(index) != QgsFields::OriginProvider ||
        layerFields.at(index).type() != QVariant::String) {
      return nullptr;
    }
    const QString type = layerFields.at(index).typeName().toLower();
    if (type != QLatin1String("text") && type != QLatin1String("varchar")) return nullptr;
    columns.push_back(utf8Of(layerFields.at(index).name()));
  }
  const QgsDataSourceUri uri(layer.source());
  if (!uri.sql().isEmpty() || uri.table().isEmpty()) return nullptr;

  // The layer's connection string, expanded in place of dbname; a timeout of
  // our own comes first, so that one the string names still decides.
  const QByteArray conninfo = uri.connectionInfo(true).toUtf8();
  const char* keywords[] = {"connect_timeout", "dbname", nullptr};
  const char* values[] = {"10", conninfo.constData(), nullptr};
  PGconn* connection = PQconnectdbParams(keywords, values, 1);
  if (PQstatus(connection) != CONNECTION_OK || PQsetClientEncoding(connection, "UTF8") != 0) {
    PQfinish(connection);
    return nullptr;
  }
  std::string sql = "DECLARE corvale_rows NO SCROLL CURSOR FOR SELECT ";
  for (size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + sqlIdentifier(columns[i]);
  sql += " FROM ";
  if (!uri.schema().isEmpty()) sql += sqlIdentifier(utf8Of(uri.schema())) + ".";
  sql += sqlIdentifier(utf8Of(uri.table()));
  // A read-only transaction of its own holds the cursor; a table that cannot
  // be read this way (gone, no right to it) is left to QGIS.
  if (!succeeded(connection, "BEGIN READ ONLY", PGRES_COMMAND_OK) ||
      !succeeded(connection, sql.c_str(), PGRES_COMMAND_OK)) {
    PQfinish(connection);
    return nullptr;
  }
  const size_t texts = columns.size() - 1;
  return std::make_unique<ReadAhead>(std::make_unique<PgRows>(connection, texts), texts);
}

}  // namespace corvale::qgis

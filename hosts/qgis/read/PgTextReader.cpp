#include "hosts/qgis/read/PgTextReader.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <libpq-fe.h>


#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgswkbtypes.h>

#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/common/QgisCompat.h"

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
    // The first block as asked, so that the first rows come at once; then
    // blocks that double up to kLargestFetch rows, so that a link with
    // latency costs a few round trips, not one per few thousand rows.
    block_ = block_ ? std::min(block_ * 2, std::max(kLargestFetch, rows)) : rows;
    rows = block_;
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
  static constexpr size_t kLargestFetch = 65536;
  PGconn* connection_;
  size_t fields_;
  size_t block_ = 0;
};

/**
 * The distinct texts of one column with the number of rows that hold each
 * (the null group among them), the rows of one query received whole:
 * no round trip beyond the query's own, and no allocation per row (the
 * server sends the first only once it has seen every row anyway). The
 * query is under way from the start; its first answer is awaited only when
 * it is needed (served(), the first text), so that the caller may do other
 * work while the server lists. Where the server refuses the query, the
 * texts come from the cursor `otherwise` makes, unasked.
 */
class PgDistinctTexts : public host::ITextCursor {
 public:
  PgDistinctTexts(PGconn* connection, PgTextReader::Otherwise otherwise)
      : connection_(connection), otherwise_(std::move(otherwise)) {}
  ~PgDistinctTexts() override { close(); }
  PgDistinctTexts(const PgDistinctTexts&) = delete;
  PgDistinctTexts& operator=(const PgDistinctTexts&) = delete;

  /// True when the server answers the query; false when it refused it. Waits for its first answer.
  bool served() {
    if (!pending_) return !refused_;
    pending_ = false;
    rows_.reset(PQgetResult(connection_));
    const ExecStatusType status = rows_ ? PQresultStatus(rows_.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK && PQnfields(rows_.get()) == 2) {
      count_ = PQntuples(rows_.get());
      long long features = 0;
      for (int row = 0; row < count_; ++row)
        features += std::strtoll(PQgetvalue(rows_.get(), row, 1), nullptr, 10);
      features_ = static_cast<int32_t>(std::min<long long>(features, 2147483647));
      done_ = true;  // nothing more to come: the connection is not needed
      close();
      return true;
    }
    // No right to the table, a relation the server cannot read, a filter it
    // cannot apply: the server has sent nothing, and the rows are read instead.
    refused_ = true;
    refusal_ = PQerrorMessage(connection_);
    rows_.reset();
    while (Result(PQgetResult(connection_))) {
    }
    done_ = true;
    close();
    return false;
  }

  /**
   * The rows of the layer, the sum of the groups' counts; negative where the
   * server refused the query (the rows read instead are not counted here).
   * Waits for the server's answer.
   */
  int32_t listedFeatureCount() override { return served() ? features_ : -1; }

  std::optional<std::string_view> nextText() override {
    if (!served()) {
      if (!instead_) {
        if (!otherwise_) {
          hostFailure("Listing the values of the PostgreSQL table failed: " + refusal_);
        }
        instead_ = otherwise_();
        otherwise_ = nullptr;
      }
      return instead_ ? instead_->nextText() : std::nullopt;
    }
    while (next_ < count_) {
      const int row = next_++;
      if (PQgetisnull(rows_.get(), row, 0)) continue;
      const std::string_view text(PQgetvalue(rows_.get(), row, 0),
                                  static_cast<size_t>(PQgetlength(rows_.get(), row, 0)));
      if (isPlainUtf8(text)) return text;
      // Bytes that are not plain UTF-8 (which the server's conversion to the
      // client encoding does not let through): the text QGIS would make of them.
      scratch_ = utf8Of(qstringOf(text));
      return std::string_view(scratch_);
    }
    return std::nullopt;
  }

 private:
  void close() {
    if (!connection_) return;
    // Leaving early: the server is asked to stop sending.
    if (!done_) {
      if (PGcancel* cancel = PQgetCancel(connection_)) {
        char ignored[256];
        PQcancel(cancel, ignored, sizeof ignored);
        PQfreeCancel(cancel);
      }
    }
    PQfinish(connection_);
    connection_ = nullptr;
  }

  PGconn* connection_;
  int32_t features_ = -1;
  PgTextReader::Otherwise otherwise_;
  std::shared_ptr<host::ITextCursor> instead_;
  Result rows_;
  int count_ = 0;
  int next_ = 0;
  bool pending_ = true;
  bool refused_ = false;
  std::string refusal_;
  bool done_ = false;
  std::string scratch_;
};

/**
 * A connection with the layer's own connection settings, its texts in UTF-8
 * (asked for in the start-up message: no round trip of its own); nothing
 * when it cannot be made.
 */
PGconn* connectTo(const QgsDataSourceUri& uri, const std::string& settings = {}) {
  // The layer's connection string, expanded in place of dbname; a timeout of
  // our own comes first, so that one the string names still decides; the
  // client encoding comes after it, so that ours decides, and so do the
  // session settings, added to the string's own.
  const QByteArray conninfo = uri.connectionInfo(true).toUtf8();
  std::string options;
  if (PQconninfoOption* parsed = PQconninfoParse(conninfo.constData(), nullptr)) {
    for (const PQconninfoOption* option = parsed; option->keyword; ++option) {
      if (std::string_view(option->keyword) == "options" && option->val) options = option->val;
    }
    PQconninfoFree(parsed);
  }
  if (!settings.empty()) options += (options.empty() ? "" : " ") + settings;
  const char* keywords[] = {"connect_timeout", "dbname", "client_encoding",
                            options.empty() ? nullptr : "options", nullptr};
  const char* values[] = {"10", conninfo.constData(), "UTF8", options.c_str(), nullptr};
  PGconn* connection = PQconnectdbParams(keywords, values, 1);
  const char* encoding =
      PQstatus(connection) == CONNECTION_OK ? PQparameterStatus(connection, "client_encoding")
                                            : nullptr;
  if (!encoding || std::string_view(encoding) != "UTF8") {
    PQfinish(connection);
    return nullptr;
  }
  return connection;
}

bool succeeded(PGconn* connection, const char* sql, ExecStatusType wanted) {
  Result result(PQexec(connection, sql));
  return PQresultStatus(result.get()) == wanted;
}

/// The rows of a catalog query with text parameters; nothing when it fails.
Result query(PGconn* connection, const char* sql, const std::vector<std::string>& parameters) {
  std::vector<const char*> values;
  for (const auto& parameter : parameters)
    values.push_back(parameter.c_str());
  Result result(PQexecParams(connection, sql, static_cast<int>(values.size()), nullptr,
                             values.data(), nullptr, nullptr, 0));
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) return nullptr;
  return result;
}

/**
 * True when the source says nothing beyond the connection, the table, its
 * geometry column and key, a geometry type and SRID (checked against the
 * table by geometryFiltersPass), its SQL filter and settings that do not touch
 * the rows: the source rebuilt from those parts alone is the source itself.
 * Any other part may narrow the rows and leaves the layer to QGIS.
 */
bool onlyKnownParts(const QgsDataSourceUri& uri) {
  QgsDataSourceUri rebuilt(uri.connectionInfo(false));
  rebuilt.setDataSource(uri.schema(), uri.table(), uri.geometryColumn(), uri.sql(),
                        uri.keyColumn());
  rebuilt.setWkbType(uri.wkbType());
  rebuilt.setSrid(uri.srid());
  rebuilt.setUseEstimatedMetadata(uri.useEstimatedMetadata());
  rebuilt.disableSelectAtId(uri.selectAtIdDisabled());
  const QString unicity = QStringLiteral("checkPrimaryKeyUnicity");
  if (uri.hasParam(unicity)) rebuilt.setParam(unicity, uri.param(unicity));
  return rebuilt.uri(false) == uri.uri(false);
}

/**
 * True when the relation is a table whose primary key is that one `integer`
 * column: every row then has a distinct key, which is QGIS's feature id.
 */
bool keyedTable(PGconn* connection, const std::string& schema, const std::string& table,
                const std::string& key) {
  const Result relation = query(connection,
                                "SELECT c.oid::text FROM pg_class c"
                                " JOIN pg_namespace n ON n.oid = c.relnamespace"
                                " WHERE n.nspname = $1 AND c.relname = $2 AND c.relkind IN ('r', 'p')",
                                {schema, table});
  if (!relation || PQntuples(relation.get()) != 1) return false;
  const Result keys = query(connection,
                            "SELECT a.attname, a.atttypid = 'int4'::regtype FROM pg_index i"
                            " JOIN pg_attribute a ON a.attrelid = i.indrelid"
                            " AND a.attnum = ANY(i.indkey)"
                            " WHERE i.indrelid = $1::oid AND i.indisprimary",
                            {PQgetvalue(relation.get(), 0, 0)});
  return keys && PQntuples(keys.get()) == 1 && key == PQgetvalue(keys.get(), 0, 0) &&
         std::string(PQgetvalue(keys.get(), 0, 1)) == "t";
}

/**
 * True when the source's geometry type and SRID (`type=`, `srid=`) select
 * every row: none is given, or the geometry column is declared with exactly
 * that two-dimensional type and that SRID. Otherwise QGIS filters the rows by
 * them, and reads the layer itself.
 */
bool geometryFiltersPass(PGconn* connection, const QgsDataSourceUri& uri) {
  const compat::WkbType type = uri.wkbType();
  if (type == compat::WkbType::Unknown && uri.srid().isEmpty()) return true;
  if (uri.geometryColumn().isEmpty()) return false;
  const Result declared = query(connection,
                                "SELECT upper(type), srid::text, coord_dimension::text"
                                " FROM geometry_columns WHERE f_table_schema = $1"
                                " AND f_table_name = $2 AND f_geometry_column = $3",
                                {utf8Of(uri.schema()), utf8Of(uri.table()),
                                 utf8Of(uri.geometryColumn())});
  if (!declared || PQntuples(declared.get()) != 1) return false;
  if (type != compat::WkbType::Unknown) {
    if (type != QgsWkbTypes::flatType(type) || type == compat::WkbType::NoGeometry ||
        utf8Of(QgsWkbTypes::displayString(type).toUpper()) != PQgetvalue(declared.get(), 0, 0) ||
        std::string(PQgetvalue(declared.get(), 0, 2)) != "2") {
      return false;
    }
  }
  if (!uri.srid().isEmpty()) {
    bool number = false;
    const int srid = uri.srid().toInt(&number);
    if (!number || srid == 0 || std::to_string(srid) != PQgetvalue(declared.get(), 0, 1)) {
      return false;
    }
  }
  return true;
}

std::shared_ptr<PgDistinctTexts> startDistinct(const QgsVectorLayer& layer, int index,
                                               PgTextReader::Otherwise otherwise) {
  const QgsVectorDataProvider* provider = layer.dataProvider();
  if (!layer.isValid() || layer.providerType() != QLatin1String("postgres") || !provider ||
      layer.isEditable()) {
    return nullptr;
  }
  const QgsFields layerFields = layer.fields();
  if (index < 0 || index >= layerFields.count() ||
      !compat::isProviderField(layerFields, index) ||
      compat::fieldType(layerFields.at(index)) != QMetaType::QString) {
    return nullptr;
  }
  // Types whose text is the column's text cast to text, byte for byte.
  const QString type = layerFields.at(index).typeName().toLower();
  if (type != QLatin1String("text") && type != QLatin1String("varchar") &&
      type != QLatin1String("citext")) {
    return nullptr;
  }
  const QgsDataSourceUri uri(layer.source());
  if (uri.table().isEmpty() || uri.schema().isEmpty() || uri.sql() != layer.subsetString() ||
      !onlyKnownParts(uri)) {
    return nullptr;
  }
  // Memory enough for the server to hash a few hundred thousand names
  // without spilling them to disk; and the scan shared among the server's
  // parallel workers where it has any: the planner's default costs keep one
  // process for a distinct whose groups are many, although workers that
  // each hash a part of the rows finish sooner (a tenth sooner on 2 busy
  // cores). Tables too small for a parallel scan keep one process.
  PGconn* connection =
      connectTo(uri, "-c work_mem=64MB -c parallel_setup_cost=0 -c parallel_tuple_cost=0.01");
  if (!connection) return nullptr;
  if (!geometryFiltersPass(connection, uri)) {
    PQfinish(connection);
    return nullptr;
  }
  // The column as text in the collation "C": equal only when equal byte for
  // byte, whatever the column's own type (citext) or collation
  // (nondeterministic ones). The rows are the layer's: its subset string is
  // the filter QGIS hands the server, and the geometry filters select every
  // row (geometryFiltersPass). Each group's rows are counted in the same
  // pass, the null group's too, so that the counts add up to the rows QGIS's
  // count(*) of the layer gives, without a second scan.
  std::string sql = "SELECT (" + sqlIdentifier(utf8Of(layerFields.at(index).name())) +
                    ")::text COLLATE \"C\", count(*) FROM " +
                    sqlIdentifier(utf8Of(uri.schema())) + "." + sqlIdentifier(utf8Of(uri.table()));
  if (!layer.subsetString().isEmpty()) sql += " WHERE (" + utf8Of(layer.subsetString()) + "\n)";
  sql += " GROUP BY 1";
  if (!PQsendQuery(connection, sql.c_str())) {
    PQfinish(connection);
    return nullptr;
  }
  return std::make_shared<PgDistinctTexts>(connection, std::move(otherwise));
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
      !compat::isProviderField(layerFields, keys[0]) ||
      compat::fieldType(layerFields.at(keys[0])) != QMetaType::Int) {
    return nullptr;
  }
  std::vector<std::string> columns{utf8Of(layerFields.at(keys[0]).name())};
  for (int index : fields) {
    if (index < 0 || index >= layerFields.count() ||
        !compat::isProviderField(layerFields, index) ||
        compat::fieldType(layerFields.at(index)) != QMetaType::QString) {
      return nullptr;
    }
    const QString type = layerFields.at(index).typeName().toLower();
    if (type != QLatin1String("text") && type != QLatin1String("varchar")) return nullptr;
    columns.push_back(utf8Of(layerFields.at(index).name()));
  }
  const QgsDataSourceUri uri(layer.source());
  if (!uri.sql().isEmpty() || uri.table().isEmpty() || uri.schema().isEmpty() ||
      !onlyKnownParts(uri)) {
    return nullptr;
  }

  PGconn* connection = connectTo(uri);
  if (!connection) return nullptr;
  if (!keyedTable(connection, utf8Of(uri.schema()), utf8Of(uri.table()), columns[0]) ||
      !geometryFiltersPass(connection, uri)) {
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

std::shared_ptr<host::ITextCursor> PgTextReader::distinctTexts(const QgsVectorLayer& layer,
                                                               int index) {
  auto texts = startDistinct(layer, index, nullptr);
  if (!texts || !texts->served()) return nullptr;
  return texts;
}

std::shared_ptr<host::ITextCursor> PgTextReader::startDistinctTexts(const QgsVectorLayer& layer,
                                                                    int index,
                                                                    Otherwise otherwise) {
  return startDistinct(layer, index, std::move(otherwise));
}

}  // namespace corvale::qgis

#include "hosts/qgis/read/PgTextReader.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
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

/**
 * Connections to a server that a listing or a pick has finished with, kept
 * idle for a while so that the next pick of the same server need not make
 * one (on a link with latency a new connection costs two round trips and
 * more). One is kept per server, kMost in all, each for kIdleLimit at most (QGIS's own
 * pool keeps its idle connections as long); one that has broken or is in a
 * transaction is closed, not kept. The key is the connection string the
 * connection was made from; whoever takes one sets the session settings
 * its work needs.
 */
class IdleConnections {
 public:
  ~IdleConnections() {
    for (const Idle& idle : idle_)
      PQfinish(idle.connection);
  }

  /**
   * An idle connection made from `key`, or nothing. The answers to its
   * warm-up, if any, are awaited (they are long in when the connection has
   * waited for a pick the user makes) and dropped.
   */
  PGconn* take(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    PGconn* found = nullptr;
    for (auto it = idle_.begin(); it != idle_.end();) {
      const bool stale = now - it->since > kIdleLimit || PQstatus(it->connection) != CONNECTION_OK;
      if (stale || (!found && it->key == key)) {
        if (!stale) {
          while (Result(PQgetResult(it->connection))) {
          }
        }
        if (stale || PQstatus(it->connection) != CONNECTION_OK) {
          PQfinish(it->connection);
        } else {
          found = it->connection;
        }
        it = idle_.erase(it);
        continue;
      }
      ++it;
    }
    return found;
  }

  /**
   * Keeps the connection (or closes it when it cannot serve again). A
   * warm-up, where given, is sent at once and its answers left to come:
   * statements that ready the session for the work it is kept for.
   */
  void give(std::string key, PGconn* connection, const std::string& warmUp = {}) {
    if (PQstatus(connection) != CONNECTION_OK ||
        PQtransactionStatus(connection) != PQTRANS_IDLE ||
        (!warmUp.empty() && !PQsendQuery(connection, warmUp.c_str()))) {
      PQfinish(connection);
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // One per server: the newest, readied for the latest layer.
    for (auto it = idle_.begin(); it != idle_.end();) {
      if (it->key == key || idle_.size() >= kMost) {
        PQfinish(it->connection);
        it = idle_.erase(it);
      } else {
        ++it;
      }
    }
    idle_.push_back({std::move(key), connection, std::chrono::steady_clock::now()});
  }

 private:
  static constexpr std::chrono::seconds kIdleLimit{60};
  static constexpr size_t kMost = 4;
  struct Idle {
    std::string key;
    PGconn* connection;
    std::chrono::steady_clock::time_point since;
  };
  std::mutex mutex_;
  std::vector<Idle> idle_;
};

IdleConnections& idleConnections() {
  static IdleConnections connections;
  return connections;
}

/// What a connection is made from, and the key it is kept under.
std::string connectionKey(const QgsDataSourceUri& uri) {
  return utf8Of(uri.connectionInfo(true));
}

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
  /// `warmUp`: what readies the connection for a pick once the texts are in (see IdleConnections).
  PgDistinctTexts(PGconn* connection, std::string key, std::string warmUp,
                  PgTextReader::Otherwise otherwise)
      : connection_(connection),
        key_(std::move(key)),
        warmUp_(std::move(warmUp)),
        otherwise_(std::move(otherwise)) {}
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
      done_ = true;  // nothing more to come: the connection may serve a pick
      while (Result(PQgetResult(connection_))) {
      }
      idleConnections().give(std::move(key_), connection_, warmUp_);
      connection_ = nullptr;
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
  std::string key_;
  std::string warmUp_;
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

/// True for a valid layer of QGIS's PostgreSQL provider outside an edit session.
bool readablePostgresLayer(const QgsVectorLayer& layer) {
  return layer.isValid() && layer.providerType() == QLatin1String("postgres") &&
         layer.dataProvider() && !layer.isEditable();
}

/// The index of the layer's key where it is one field of the table of type integer; -1 otherwise.
int integerKeyOf(const QgsVectorLayer& layer) {
  const QgsFields fields = layer.fields();
  const QgsAttributeList keys = layer.dataProvider()->pkAttributeIndexes();
  if (keys.size() != 1 || keys[0] < 0 || keys[0] >= fields.count() ||
      !compat::isProviderField(fields, keys[0]) ||
      compat::fieldType(fields.at(keys[0])) != QMetaType::Int) {
    return -1;
  }
  return keys[0];
}

/**
 * True when the field is a column of the table whose text QGIS reads is the
 * column cast to text, byte for byte: text and varchar, and citext where
 * `citext` allows it.
 */
bool exactTextColumn(const QgsFields& fields, int index, bool citext) {
  if (index < 0 || index >= fields.count() || !compat::isProviderField(fields, index) ||
      compat::fieldType(fields.at(index)) != QMetaType::QString) {
    return false;
  }
  const QString type = fields.at(index).typeName().toLower();
  return type == QLatin1String("text") || type == QLatin1String("varchar") ||
         (citext && type == QLatin1String("citext"));
}

/**
 * The layer's source where it names a table by schema and name with no part
 * beyond those onlyKnownParts knows, and its SQL filter is the layer's
 * subset string; nothing otherwise.
 */
std::optional<QgsDataSourceUri> plainTableSource(const QgsVectorLayer& layer) {
  QgsDataSourceUri uri(layer.source());
  if (uri.table().isEmpty() || uri.schema().isEmpty() || uri.sql() != layer.subsetString() ||
      !onlyKnownParts(uri)) {
    return std::nullopt;
  }
  return uri;
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

/// True when the source names a geometry type or an SRID (`type=`, `srid=`).
bool namesGeometryFilters(const QgsDataSourceUri& uri) {
  return uri.wkbType() != compat::WkbType::Unknown || !uri.srid().isEmpty();
}

/// The declaration of the geometry column: one row of its type, SRID and dimension.
const char* const kDeclaredGeometry =
    "SELECT upper(type), srid::text, coord_dimension::text"
    " FROM geometry_columns WHERE f_table_schema = $1"
    " AND f_table_name = $2 AND f_geometry_column = $3";

/**
 * True when the geometry column's declaration (a result of kDeclaredGeometry)
 * is exactly the two-dimensional type and the SRID the source names.
 */
bool declarationMatches(const QgsDataSourceUri& uri, const PGresult* declared) {
  if (!declared || PQresultStatus(declared) != PGRES_TUPLES_OK || PQntuples(declared) != 1) {
    return false;
  }
  const compat::WkbType type = uri.wkbType();
  if (type != compat::WkbType::Unknown) {
    if (type != QgsWkbTypes::flatType(type) || type == compat::WkbType::NoGeometry ||
        utf8Of(QgsWkbTypes::displayString(type).toUpper()) != PQgetvalue(declared, 0, 0) ||
        std::string(PQgetvalue(declared, 0, 2)) != "2") {
      return false;
    }
  }
  if (!uri.srid().isEmpty()) {
    bool number = false;
    const int srid = uri.srid().toInt(&number);
    if (!number || srid == 0 || std::to_string(srid) != PQgetvalue(declared, 0, 1)) {
      return false;
    }
  }
  return true;
}

/**
 * True when the source's geometry type and SRID (`type=`, `srid=`) select
 * every row: none is given, or the geometry column is declared with exactly
 * that two-dimensional type and that SRID. Otherwise QGIS filters the rows by
 * them, and reads the layer itself.
 */
bool geometryFiltersPass(PGconn* connection, const QgsDataSourceUri& uri) {
  if (!namesGeometryFilters(uri)) return true;
  if (uri.geometryColumn().isEmpty()) return false;
  const Result declared = query(connection, kDeclaredGeometry,
                                {utf8Of(uri.schema()), utf8Of(uri.table()),
                                 utf8Of(uri.geometryColumn())});
  return declarationMatches(uri, declared.get());
}

/// The text as an SQL string literal for this connection; nothing where it cannot be one.
std::optional<std::string> literalOf(PGconn* connection, std::string_view text) {
  char* escaped = PQescapeLiteral(connection, text.data(), text.size());
  if (!escaped) return std::nullopt;
  std::string literal(escaped);
  PQfreemem(escaped);
  return literal;
}

/// What a pick asks of the server, known before a connection is at hand.
struct PickQuery {
  QgsDataSourceUri uri;
  std::string keyColumn;
  std::string field;
  std::string subset;
  std::string text;
};

/**
 * The pick of a field of the layer, its text still to be given, where the
 * layer and the field may be picked from by the server (see
 * PgTextReader::firstWithText); nothing otherwise. The checks that need the
 * server are left to the pick's own statements.
 */
std::optional<PickQuery> pickQueryOf(const QgsVectorLayer& layer, int index) {
  if (!readablePostgresLayer(layer)) return std::nullopt;
  const QgsFields layerFields = layer.fields();
  const int key = integerKeyOf(layer);
  if (key < 0 || !exactTextColumn(layerFields, index, true)) return std::nullopt;
  std::optional<QgsDataSourceUri> uri = plainTableSource(layer);
  if (!uri || uri->geometryColumn().isEmpty()) return std::nullopt;
  return PickQuery{std::move(*uri), utf8Of(layerFields.at(key).name()),
                   utf8Of(layerFields.at(index).name()), utf8Of(layer.subsetString()), {}};
}

/**
 * The statements that precede a pick, one string: the session's settings,
 * the checks that the relation is a table keyed by the layer's key with a
 * geometry column of type geometry, and the declaration of that column
 * where the source names a type or SRID. Nothing where a name cannot be
 * written as a literal.
 */
std::optional<std::string> checkStatements(PGconn* connection, const PickQuery& pick) {
  const auto schema = literalOf(connection, utf8Of(pick.uri.schema()));
  const auto table = literalOf(connection, utf8Of(pick.uri.table()));
  const auto key = literalOf(connection, pick.keyColumn);
  const auto geometry = literalOf(connection, utf8Of(pick.uri.geometryColumn()));
  if (!schema || !table || !key || !geometry) return std::nullopt;
  // One process reads the rows, as for QGIS's cursors: the order in which a
  // plan's workers find rows is nobody's, and the first row must be the
  // layer's first.
  std::string sql = "SET max_parallel_workers_per_gather = 0;";
  sql += "SELECT c.relkind IN ('r', 'p')"
         " AND (SELECT count(*) = 1 AND bool_and(a.attname = " + *key +
         " AND a.atttypid = 'int4'::regtype) FROM pg_index i"
         " JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY(i.indkey)"
         " WHERE i.indrelid = c.oid AND i.indisprimary)"
         " AND EXISTS (SELECT FROM pg_attribute g JOIN pg_type t ON t.oid = g.atttypid"
         " WHERE g.attrelid = c.oid AND g.attname = " + *geometry +
         " AND NOT g.attisdropped AND t.typname = 'geometry')"
         " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
         " WHERE n.nspname = " + *schema + " AND c.relname = " + *table + ";";
  if (namesGeometryFilters(pick.uri)) {
    // The last placeholder first: a literal put in may hold "$1" itself, but
    // only after the placeholders still to be replaced.
    std::string declared = kDeclaredGeometry;
    for (const auto& [placeholder, value] :
         {std::pair{"$3", *geometry}, std::pair{"$2", *table}, std::pair{"$1", *schema}}) {
      declared.replace(declared.find(placeholder), 2, value);
    }
    sql += declared + ";";
  }
  return sql;
}

/// checkStatements, then the pick itself; nothing where a text cannot be written as a literal.
std::optional<std::string> pickStatements(PGconn* connection, const PickQuery& pick) {
  std::optional<std::string> sql = checkStatements(connection, pick);
  const auto text = literalOf(connection, pick.text);
  if (!sql || !text) return std::nullopt;
  // QGIS's own condition first (its plan, an index of the column included),
  // then the bytes themselves: a citext column or a case-insensitive
  // collation finds other letter cases equal.
  const std::string field = sqlIdentifier(pick.field);
  *sql += "SELECT (" + sqlIdentifier(pick.keyColumn) + ")::text, st_asbinary(" +
         sqlIdentifier(utf8Of(pick.uri.geometryColumn())) + ", 'NDR') FROM " +
         sqlIdentifier(utf8Of(pick.uri.schema())) + "." + sqlIdentifier(utf8Of(pick.uri.table())) +
         " WHERE ";
  if (!pick.subset.empty()) *sql += "(" + pick.subset + "\n) AND ";
  *sql += "(" + field + " = " + *text + ") AND ((" + field + ")::text COLLATE \"C\" = " + *text +
         ") LIMIT 1";
  return sql;
}

/**
 * The pick's statements on one connection: the answer where the server gave
 * one to every statement, nothing where it refused any (the connection may
 * then have broken).
 */
std::optional<PgTextReader::FirstAnswer> askPick(PGconn* connection, const PickQuery& pick) {
  const std::optional<std::string> sql = pickStatements(connection, pick);
  if (!sql || !PQsendQuery(connection, sql->c_str())) return std::nullopt;
  std::vector<Result> results;
  while (PGresult* result = PQgetResult(connection))
    results.emplace_back(result);
  const size_t expected = namesGeometryFilters(pick.uri) ? 4 : 3;
  if (results.size() != expected || PQresultStatus(results[0].get()) != PGRES_COMMAND_OK) {
    return std::nullopt;
  }
  for (size_t i = 1; i < results.size(); ++i) {
    if (PQresultStatus(results[i].get()) != PGRES_TUPLES_OK) return std::nullopt;
  }
  PgTextReader::FirstAnswer answer;
  const PGresult* checks = results[1].get();
  if (PQntuples(checks) != 1 || std::string_view(PQgetvalue(checks, 0, 0)) != "t") return answer;
  if (expected == 4 && !declarationMatches(pick.uri, results[2].get())) return answer;
  answer.served = true;
  const PGresult* found = results.back().get();
  if (PQntuples(found) == 0) return answer;
  PgTextReader::Found feature;
  feature.id = featureIdOf(std::strtoll(PQgetvalue(found, 0, 0), nullptr, 10));
  if (!PQgetisnull(found, 0, 1)) {
    size_t length = 0;
    unsigned char* wkb =
        PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(found, 0, 1)), &length);
    if (!wkb) return std::nullopt;
    feature.geometry.fromWkb(
        QByteArray(reinterpret_cast<const char*>(wkb), static_cast<int>(length)));
    PQfreemem(wkb);
  }
  answer.feature = std::move(feature);
  return answer;
}

std::shared_ptr<PgDistinctTexts> startDistinct(const QgsVectorLayer& layer, int index,
                                               PgTextReader::Otherwise otherwise) {
  if (!readablePostgresLayer(layer)) return nullptr;
  const QgsFields layerFields = layer.fields();
  if (!exactTextColumn(layerFields, index, true)) return nullptr;
  const std::optional<QgsDataSourceUri> source = plainTableSource(layer);
  if (!source) return nullptr;
  const QgsDataSourceUri& uri = *source;
  // Memory enough for the server to hash a few hundred thousand names
  // without spilling them to disk. One process reads every row: the session
  // is kept for the pick that follows (IdleConnections), and a process that
  // has read the table once reads it again several times faster than one
  // that has not (its first touch of each shared buffer costs it), while
  // parallel workers, each reading a part, left most of the table untouched
  // by the session and, on 2 busy cores, made the listing itself no sooner.
  PGconn* connection = connectTo(uri, "-c work_mem=64MB -c max_parallel_workers_per_gather=0");
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
  // Once the texts are in, the connection is kept for a pick, and readied for
  // it while the user reads the list: PostGIS loaded into the session (the
  // first geometry a session reads costs that) and the pick's checks of this
  // layer run once, so that the catalog is at hand.
  std::string warmUp;
  if (const std::optional<PickQuery> pick = pickQueryOf(layer, index)) {
    if (const std::optional<std::string> checks = checkStatements(connection, *pick)) {
      warmUp = "SELECT postgis_lib_version();" + *checks;
    }
  }
  return std::make_shared<PgDistinctTexts>(connection, connectionKey(uri), std::move(warmUp),
                                           std::move(otherwise));
}

}  // namespace

std::unique_ptr<ReadAhead> PgTextReader::open(const QgsVectorLayer& layer,
                                              const QgsAttributeList& fields) {
  if (fields.isEmpty() || !readablePostgresLayer(layer) || !layer.subsetString().isEmpty()) {
    return nullptr;
  }
  const QgsFields layerFields = layer.fields();
  const int key = integerKeyOf(layer);
  if (key < 0) return nullptr;
  std::vector<std::string> columns{utf8Of(layerFields.at(key).name())};
  for (int index : fields) {
    if (!exactTextColumn(layerFields, index, false)) return nullptr;
    columns.push_back(utf8Of(layerFields.at(index).name()));
  }
  const std::optional<QgsDataSourceUri> source = plainTableSource(layer);
  if (!source) return nullptr;
  const QgsDataSourceUri& uri = *source;

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

PgTextReader::FirstAnswer PgTextReader::firstWithText(const QgsVectorLayer& layer, int index,
                                                      std::string_view text) {
  if (!isPlainUtf8(text)) return {};
  std::optional<PickQuery> query = pickQueryOf(layer, index);
  if (!query) return {};
  PickQuery& pick = *query;
  pick.text = std::string(text);
  const std::string key = connectionKey(pick.uri);
  // A kept connection may have broken while it was idle: then once more on a new one.
  for (PGconn* kept = idleConnections().take(key);;) {
    PGconn* connection = kept ? kept : connectTo(pick.uri);
    if (!connection) return {};
    const std::optional<FirstAnswer> answer = askPick(connection, pick);
    const bool broken = PQstatus(connection) != CONNECTION_OK;
    idleConnections().give(key, connection);
    if (answer) return *answer;
    if (!kept || !broken) return {};
    kept = nullptr;
  }
}

}  // namespace corvale::qgis

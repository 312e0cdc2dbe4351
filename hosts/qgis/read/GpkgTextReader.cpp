#include "hosts/qgis/read/GpkgTextReader.h"

#include <cstring>

#include <sqlite3.h>

#include <qgsproviderregistry.h>
#include <qgsvectordataprovider.h>

#include "hosts/qgis/common/QgisCompat.h"
#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/read/MappedReadVfs.h"
#include "hosts/qgis/read/SqliteStatement.h"
#include "hosts/qgis/read/SqliteTablePages.h"

namespace corvale::qgis {

namespace {

/// An SQL string literal: `a'b` gives `'a''b'`.
std::string sqlLiteral(std::string_view text) {
  std::string literal = "'";
  for (char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

/// True when a part of a decoded data source says nothing (absent, null, empty).
bool saysNothing(const QVariant& value) {
  if (!value.isValid() || value.isNull()) return true;
  switch (compat::valueType(value)) {
    case QMetaType::QString: return value.toString().isEmpty();
    case QMetaType::QVariantMap: return value.toMap().isEmpty();
    case QMetaType::QVariantList: return value.toList().isEmpty();
    case QMetaType::QStringList: return value.toStringList().isEmpty();
    default: return false;
  }
}

/**
 * The table the layer reads, as SQLite names it, when every row of it is a
 * feature of the layer: a table (not a view) that the GeoPackage lists as
 * features, named in the source or the file's only one.
 */
std::optional<std::string> tableOf(sqlite3* db, const QString& layerName) {
  std::string sql =
      "SELECT m.name FROM gpkg_contents c JOIN sqlite_master m ON m.name = c.table_name"
      " WHERE m.type = 'table' AND c.data_type = 'features'";
  if (!layerName.isEmpty()) {
    sql += " AND c.table_name = " + sqlLiteral(utf8Of(layerName)) + " COLLATE NOCASE";
  } else {
    // A source that names no table opens the file's only one.
    SqliteStatement count(db, "SELECT count(*) FROM gpkg_contents");
    if (!count.step() || sqlite3_column_int64(count.get(), 0) != 1) return std::nullopt;
  }
  SqliteStatement tables(db, sql);
  if (!tables.step()) return std::nullopt;
  std::string table = tables.text(0);
  if (tables.step()) return std::nullopt;
  return table;
}

/**
 * The table's feature id column, by its declared name: its one primary key
 * column, declared INTEGER and an alias of the rowid (so every value is an
 * integer); nothing for any other table.
 */
std::optional<std::string> featureIdColumn(sqlite3* db, const std::string& table) {
  SqliteStatement columns(
      db, "SELECT name, type FROM pragma_table_info(" + sqlLiteral(table) + ") WHERE pk > 0");
  if (!columns.step()) return std::nullopt;
  std::string column = columns.text(0);
  if (QString::fromUtf8(columns.text(1).c_str()).compare(QLatin1String("INTEGER"),
                                                         Qt::CaseInsensitive) != 0 ||
      columns.step()) {
    return std::nullopt;
  }
  // A primary key that is not the rowid (WITHOUT ROWID, INTEGER PRIMARY KEY
  // DESC) has an index of its own.
  SqliteStatement keyIndex(
      db, "SELECT 1 FROM pragma_index_list(" + sqlLiteral(table) + ") WHERE origin = 'pk'");
  if (!keyIndex || keyIndex.step()) return std::nullopt;
  return column;
}

/// The rows of one SELECT of the feature id and text columns, stepped on the read-ahead thread.
class SqliteRows : public TextRowSource {
 public:
  SqliteRows(sqlite3* db, sqlite3_stmt* statement, size_t fields)
      : db_(db), statement_(statement), fields_(fields) {}
  ~SqliteRows() override {
    sqlite3_finalize(statement_);
    sqlite3_close(db_);
  }
  SqliteRows(const SqliteRows&) = delete;
  SqliteRows& operator=(const SqliteRows&) = delete;

  Read read(TextBatch& batch, size_t rows, std::string& error) override {
    constexpr size_t kBatchBytes = size_t{1} << 20;
    for (size_t n = 0; n < rows && batch.bytes() < kBatchBytes; ++n) {
      const int result = sqlite3_step(statement_);
      if (result == SQLITE_DONE) return Read::End;
      if (result != SQLITE_ROW) {
        error = std::string("Reading the GeoPackage failed: ") + sqlite3_errmsg(db_);
        return Read::Failed;
      }
      batch.addRow(sqlite3_column_int64(statement_, 0));
      for (size_t k = 0; k < fields_; ++k) {
        const auto* text =
            reinterpret_cast<const char*>(sqlite3_column_text(statement_, static_cast<int>(k) + 1));
        if (text) {
          batch.addText(std::string_view(text, std::strlen(text)));
        } else {
          batch.addNull();
        }
      }
    }
    return Read::More;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_;
  size_t fields_;
};

}  // namespace

std::unique_ptr<ReadAhead> GpkgTextReader::open(const QgsVectorLayer& layer,
                                                const QgsAttributeList& fields) {
  if (fields.isEmpty() || !layer.isValid() || layer.providerType() != QLatin1String("ogr") ||
      !layer.dataProvider() || layer.dataProvider()->storageType() != QLatin1String("GPKG") ||
      !layer.subsetString().isEmpty() || layer.isEditable()) {
    return nullptr;
  }
  const QgsFields layerFields = layer.fields();
  std::vector<std::string> columns;
  for (int index : fields) {
    if (index < 0 || index >= layerFields.count() ||
        !compat::isProviderField(layerFields, index) ||
        compat::fieldType(layerFields.at(index)) != QMetaType::QString) {
      return nullptr;
    }
    columns.push_back(utf8Of(layerFields.at(index).name()));
  }
  // Only a source of a file and a table: any other part of it (a geometry
  // type, a subset, open options, a layer number, a virtual file system) may
  // narrow or change the rows, and leaves the layer to QGIS.
  const QVariantMap parts =
      QgsProviderRegistry::instance()->decodeUri(QStringLiteral("ogr"), layer.source());
  for (auto part = parts.constBegin(); part != parts.constEnd(); ++part) {
    if (part.key() != QLatin1String("path") && part.key() != QLatin1String("layerName") &&
        !saysNothing(part.value())) {
      return nullptr;
    }
  }
  const QString path = parts.value(QStringLiteral("path")).toString();
  if (path.isEmpty()) return nullptr;

  // The connection is used by one thread at a time (this one, then the
  // read-ahead thread alone until it has stopped): SQLite need not lock it
  // at every step and column.
  // Pages are read in place through a few small mappings of the file where
  // it lies on a local disk (mappedReadVfs): a table scan then costs SQLite's
  // steps, not a system call and a copy per page.
  sqlite3* db = nullptr;
  const char* vfs = mappedReadVfs();
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                      vfs) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  if (vfs) sqlite3_exec(db, "PRAGMA mmap_size = 1099511627776", nullptr, nullptr, nullptr);
  std::string sql;
  if (const auto table = tableOf(db, parts.value(QStringLiteral("layerName")).toString())) {
    if (const auto id = featureIdColumn(db, *table)) {
      // The table's pages walked directly where that gives exactly the rows
      // and values of the SELECT below, without SQLite's steps.
      if (auto pages = SqliteTablePages::open(db, *table, *id, columns))
        return std::make_unique<ReadAhead>(std::move(pages), columns.size());
      sql = "SELECT " + sqlIdentifier(*id);
      for (const auto& column : columns)
        sql += ", " + sqlIdentifier(column);
      // The table's own order, QGIS's: an index holding the columns would
      // otherwise be scanned instead, in the order of its keys.
      sql += " FROM " + sqlIdentifier(*table) + " NOT INDEXED";
    }
  }
  sqlite3_stmt* statement = nullptr;
  if (sql.empty() || sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return nullptr;
  }
  return std::make_unique<ReadAhead>(std::make_unique<SqliteRows>(db, statement, columns.size()),
                                     columns.size());
}

}  // namespace corvale::qgis

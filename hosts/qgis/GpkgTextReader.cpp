#include "hosts/qgis/GpkgTextReader.h"

#include <cstring>

#include <sqlite3.h>

#include <qgsproviderregistry.h>
#include <qgsvectordataprovider.h>

#include "hosts/qgis/QgisFailure.h"
#include "hosts/qgis/QgisText.h"

namespace corvale::qgis {

namespace {

/// The only feature table of the GeoPackage, for a source that names none.
std::optional<std::string> onlyFeatureTable(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT table_name FROM gpkg_contents WHERE data_type = 'features'",
                         -1, &statement, nullptr) != SQLITE_OK) {
    return std::nullopt;
  }
  std::optional<std::string> table;
  int rows = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    ++rows;
    if (const auto* text = sqlite3_column_text(statement, 0)) {
      table = reinterpret_cast<const char*>(text);
    }
  }
  sqlite3_finalize(statement);
  if (rows != 1) return std::nullopt;
  return table;
}

/// The rows of one SELECT of rowid and text columns, stepped on the read-ahead thread.
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
        layerFields.fieldOrigin(index) != QgsFields::OriginProvider ||
        layerFields.at(index).type() != QVariant::String) {
      return nullptr;
    }
    columns.push_back(utf8Of(layerFields.at(index).name()));
  }
  const QVariantMap parts =
      QgsProviderRegistry::instance()->decodeUri(QStringLiteral("ogr"), layer.source());
  const QString path = parts.value(QStringLiteral("path")).toString();
  if (path.isEmpty() || !parts.value(QStringLiteral("layerId")).toString().isEmpty() ||
      !parts.value(QStringLiteral("subset")).toString().isEmpty()) {
    return nullptr;
  }

  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  std::optional<std::string> table;
  const QString layerName = parts.value(QStringLiteral("layerName")).toString();
  if (!layerName.isEmpty()) {
    table = utf8Of(layerName);
  } else {
    table = onlyFeatureTable(db);
  }
  if (!table) {
    sqlite3_close(db);
    return nullptr;
  }
  // The integer primary key of a GeoPackage table is its rowid; a view has none,
  // and the statement does not prepare.
  std::string sql = "SELECT rowid";
  for (const auto& column : columns)
    sql += ", " + sqlIdentifier(column);
  sql += " FROM " + sqlIdentifier(*table);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return nullptr;
  }
  return std::make_unique<ReadAhead>(std::make_unique<SqliteRows>(db, statement, columns.size()),
                                     columns.size());
}

}  // namespace corvale::qgis

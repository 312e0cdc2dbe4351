#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <memory>
#include <optional>
#include <vector>

#include <QPointer>

#include <qgsfeature.h>
#include <qgsfeatureiterator.h>
#include <qgsfeaturerequest.h>
#include <qgsvectorlayer.h>

#include "host/Data.h"

namespace corvale::qgis {

class ReadAhead;
class RowSource;

/**
 * A row of a table search: its feature id and the attribute values read so
 * far. A value that the row does not hold yet is read for this row alone, by
 * its feature id, and from then on is wanted by the cursor too.
 */
class QgisRow : public host::IRow, public host::IRowValues {
 public:
  explicit QgisRow(std::shared_ptr<RowSource> source);

  int64_t objectId() override { return id_; }
  /// The value of field `index`; an index outside the table's fields is a host failure.
  Variant value(int32_t index) override;
  /// The text the GeoPackage reader read, without a copy; value()'s text form otherwise.
  std::optional<std::string_view> valueText(int32_t index, std::string& scratch) override;

 private:
  friend class QgisRowCursor;

  /// Where the value of a field is, by field index.
  enum class Held : uint8_t { Nothing, Attribute, Text, Null };

  /// Reads the field for this row alone, by its feature id, through QGIS.
  void fetch(int index);

  std::shared_ptr<RowSource> source_;
  QgsFeatureId id_ = 0;
  /// Values that QGIS's iterator read.
  QgsFeature feature_;
  /// Values the GeoPackage reader read, by field index.
  std::vector<std::string> texts_;
  std::vector<Held> held_;
};

/**
 * The rows of a table search, attributes only, in the order QGIS's iterator
 * yields them, each exactly once.
 *
 * The component asks for the field it wants only after it has the cursor
 * (search, then findField, then value on each row), so the cursor learns it
 * from the rows:
 * 1. The first nextRow() reads the first selected feature's id alone (a
 *    request limited to one feature, no attributes).
 * 2. The second nextRow() starts the main iterator with the fields asked for
 *    so far (usually the one field of the first row's value call) and skips
 *    the first feature's id once when the iterator yields it. So every feature
 *    is delivered once, whatever order the provider reads in.
 * 3. A field first asked for after that is read for each row that asks for it
 *    by feature id: correct, but one request per row.
 *
 * A row the caller no longer holds is handed back again (two rows alternate
 * in a plain loop), so a full read makes no allocation of its own per row.
 *
 * A full read of text fields of a GeoPackage layer goes past QGIS to SQLite
 * (GpkgTextReader), of a PostgreSQL table to libpq (PgTextReader), where
 * that gives the same rows and values; a text that is
 * not plain UTF-8 is then read for its row through QGIS, which decodes it.
 */
class QgisRowCursor : public host::ICursor, public host::IFieldTexts {
 public:
  QgisRowCursor(QgsVectorLayer* layer, QgsFeatureRequest request);
  ~QgisRowCursor() override;

  /// The next row, or nothing at the end. A layer that has gone is a host failure.
  std::shared_ptr<host::IRow> nextRow() override;

  /**
   * Where a direct reader reads the field for this request (a text field,
   * all rows of the layer), reads it at once, without the first row's probe:
   * the blocks are the reader's batches. A text that is not plain UTF-8 is
   * read for its row through QGIS, as a row's value() reads it.
   */
  bool readTexts(int32_t index) override;
  bool nextTexts(host::FieldTexts& block) override;

 private:
  /// QGIS's text of the field for the row with that id, into `into`; false for null.
  bool textThroughQgis(QgsFeatureId id, int index, std::string& into);

  std::shared_ptr<QgisRow> freeRow();
  /// A direct reader of those fields over every row of the layer, where one
  /// reads exactly what QGIS would (a request without filter or limit).
  std::unique_ptr<ReadAhead> directReader(const QgsAttributeList& fields) const;
  void startMain();
  /// The main read's next row into `row`; false at the end.
  bool readMain(QgisRow& row);

  std::shared_ptr<RowSource> source_;
  std::array<std::shared_ptr<QgisRow>, 2> rows_;
  size_t nextSlot_ = 0;
  bool probed_ = false;
  bool ended_ = false;
  bool mainStarted_ = false;
  QgsFeatureIterator main_;
  std::unique_ptr<ReadAhead> fast_;
  /// The wanted fields when the main read started, and the values it brings per field.
  QgsAttributeList mainFields_;
  std::vector<QgisRow::Held> mainHeld_;
  std::optional<QgsFeatureId> skip_;
  /// The field readTexts() reads, or -1.
  int textsIndex_ = -1;
  /// Texts read through QGIS for the current block, and a failure met while
  /// reading them, due once the rows before it have been handed out.
  std::vector<std::string> qgisTexts_;
  std::exception_ptr pendingFailure_;
};

}  // namespace corvale::qgis

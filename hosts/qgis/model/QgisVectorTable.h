#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QPointer>

#include <qgsfeaturerequest.h>
#include <qgsvectorlayer.h>

#include "host/Data.h"
#include "hosts/qgis/read/PgTextReader.h"
#include "hosts/qgis/model/QgisWhereClause.h"

namespace corvale::qgis {

/// The object-id field name of every vector layer: QGIS's feature id.
inline constexpr const char* kObjectIdFieldName = "$id";

/**
 * A vector layer as a table and a feature class: its display table and its
 * feature class are the layer itself, with the layer's fields (joined and
 * virtual ones included), its subset string and its uncommitted edits.
 * Every vector layer has an object id, QGIS's feature id, named "$id".
 *
 * The layer is watched: once the project has deleted it, or when it is not
 * valid (its data source cannot be read), every call is a host failure.
 */
class QgisVectorTable : public host::ITable,
                        public host::IDistinctTexts,
                        public host::IClass,
                        public host::IFeatureClass,
                        public std::enable_shared_from_this<QgisVectorTable> {
 public:
  explicit QgisVectorTable(QgsVectorLayer* layer) : layer_(layer) {}

  /**
   * A lazy row cursor over the rows the filter's clause selects, attributes
   * only. See QgisRowCursor for what it reads. A clause outside the dialect
   * of translateWhereClause is failure kHostInvalidSql. Where the clause
   * looks a value up as the component shows it (TranslatedClause::ShownValue),
   * the rows are checked against that, and a text that no row holds as such
   * is looked for in every row as QGIS reads it.
   *
   * A text looked up in a PostgreSQL layer the server can answer for
   * (PgTextReader::firstWithText) gets its first row from the server in one
   * round trip; the rows after it, if asked for, come as above, that row
   * left out. The layer keeps that row's feature (its id and geometry) for a
   * search of the layer by that id that follows before the application's
   * event loop runs again (takeFound).
   */
  std::shared_ptr<host::ICursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                        bool reuse) override;

  /**
   * The feature the last search found through the server, where the filter
   * asks for it by its id, the search came before the event loop last ran
   * and the layer has not changed its filter or gone into an edit session
   * since; nothing otherwise. Its attribute values are read when first asked
   * for. The feature is kept for the next search of the layer alone, whatever
   * that search asks for.
   */
  std::shared_ptr<host::IFeature> takeFound(const std::shared_ptr<host::IQueryFilter>& filter);

  /**
   * The distinct texts of a field as the layer's server lists them, where it
   * lists them exactly (PgTextReader::startDistinctTexts); nothing for any
   * other layer or field, and nothing for a layer that has gone or is not
   * valid: the caller's search then meets what it would have met. The
   * server starts listing at once and the cursor waits for it when first
   * read; where the server then refuses, the cursor hands out the texts of
   * the rows search(nothing) yields, with no failure of its own.
   */
  std::shared_ptr<host::ITextCursor> distinctTexts(const std::string& name) override;

  /// The index of the field with this name, in its own letter case first, then in any case.
  int32_t findField(const std::string& name) override;
  std::shared_ptr<host::IFields> fields() override;
  bool hasObjectId() override { return true; }
  std::string objectIdFieldName() override { return kObjectIdFieldName; }

  /**
   * QgsVectorLayer::featureCount() for nothing (counted by reading the ids
   * when the provider does not know it); the rows the clause selects for a
   * filter, as its search yields them (checked against a ShownValue where the
   * clause has one). A count beyond the int32 range is given as 2147483647.
   */
  int32_t featureCount(const std::shared_ptr<host::IQueryFilter>& filter) override;

  /// The layer; a host failure when it has gone or cannot be read.
  QgsVectorLayer& layer() const;
  /**
   * The request for the filter's clause (every row for nothing). For a clause
   * with a ShownValue it selects what its expression selects, unchecked: a few
   * rows more for a double, for a text the rows the provider finds equal to it
   * (in any letter case where its column compares so).
   */
  QgsFeatureRequest requestFor(const std::shared_ptr<host::IQueryFilter>& filter) const;

 private:
  TranslatedClause translated(const std::shared_ptr<host::IQueryFilter>& filter) const;
  QgsFeatureRequest requestOf(const TranslatedClause& clause) const;

  /// Keeps the feature a search found through the server until the event loop runs again.
  void keepFound(PgTextReader::Found feature);

  /// A feature found through the server, and the layer's subset string when it was found.
  struct Kept {
    PgTextReader::Found feature;
    QString subset;
  };

  QPointer<QgsVectorLayer> layer_;
  std::optional<Kept> found_;
  uint64_t foundSerial_ = 0;
};

}  // namespace corvale::qgis

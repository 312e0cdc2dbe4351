#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include <qgsfeature.h>
#include <qgsgeometry.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/read/ReadAhead.h"
#include "host/Data.h"

namespace corvale::qgis {

/**
 * Reads text fields of a PostgreSQL table straight through libpq: every
 * row's feature id and the fields' texts, fetched in large blocks of a
 * server-side cursor on the read-ahead thread, without QGIS building a
 * feature per row.
 *
 * It is used only where QGIS's postgres provider would yield the very same
 * rows and values (open() checks it): a valid layer of the postgres provider
 * whose source names a schema and a table and nothing that narrows the rows
 * (no SQL filter, no subset string, no part of the source not known to
 * leave the rows alone; a geometry type or SRID only where the geometry
 * column is declared with exactly those), not in an edit session; the table
 * a table, not a view, whose primary key is the layer's key, one 32-bit
 * integer column (QGIS's feature id is then the key, a negative key k being
 * k + 2^32); every wanted field a provider field of type text or varchar.
 * The connection is made with the layer's own connection settings; where it
 * cannot be made (a password QGIS asked the user for, say) the layer does
 * not qualify and QGIS reads it. Texts arrive in UTF-8, as QGIS asks for
 * them; a text that is not plain UTF-8 is left to the caller (see
 * QgisRowCursor), as for GeoPackages.
 */
class PgTextReader {
 public:
  /// A read-ahead of those fields of the layer, or nothing where the layer does not qualify.
  static std::unique_ptr<ReadAhead> open(const QgsVectorLayer& layer,
                                         const QgsAttributeList& fields);

  /// What makes the texts where the server refuses to list them: a cursor over the rows' texts.
  using Otherwise = std::function<std::shared_ptr<host::ITextCursor>()>;

  /**
   * The distinct texts of a field over the layer's rows, as the server lists
   * them, or nothing where the layer does not qualify or the server cannot
   * answer. The server lists them exactly, texts apart that differ in any
   * byte, so that each text QGIS reads from a row is among them and no
   * other: a valid layer of the postgres provider, not in an edit session, a
   * field of the provider of type text, varchar or citext (any collation);
   * a source with the connection, a schema, a table, view or anything else
   * the server reads rows from, the parts that leave the rows alone (as for
   * open()), and the layer's subset string, which the server applies as
   * QGIS has it apply it; a geometry type or SRID only where the geometry
   * column is declared with exactly those. Nulls are not listed; the texts
   * come in no particular order. Waits for the server's first answer.
   */
  static std::shared_ptr<host::ITextCursor> distinctTexts(const QgsVectorLayer& layer, int index);

  /**
   * The same texts for the same layers, without waiting: the query is sent
   * and the cursor returned while the server works on it, so that the caller
   * may do other work meanwhile (count the features, say). Where the server
   * then refuses the query (no right to the table, a view it cannot read),
   * the cursor hands out the texts of the cursor `otherwise` makes instead,
   * with no failure of its own; without `otherwise` the refusal is a host
   * failure. Nothing where the layer does not qualify or no connection can
   * be made.
   */
  static std::shared_ptr<host::ITextCursor> startDistinctTexts(const QgsVectorLayer& layer,
                                                               int index, Otherwise otherwise);

  /// A feature the server found: QGIS's id of it and its geometry as QGIS makes it (null for none).
  struct Found {
    QgsFeatureId id = 0;
    QgsGeometry geometry;
  };

  /// What firstWithText learned.
  struct FirstAnswer {
    /// False where the layer does not qualify or the server did not answer: QGIS must be asked.
    bool served = false;
    /// The feature, where the server found a row that holds the text.
    std::optional<Found> feature;
  };

  /**
   * The first feature, in the layer's order, whose field holds exactly this
   * text, byte for byte, whatever the column's collation or type (`citext`):
   * the row QGIS's iterator yields first among those it selects for
   * `field = 'text'` whose text is the text itself. One round trip to the
   * server: the query, the checks that the layer qualifies and the feature's
   * geometry go together, on a connection kept from an earlier read of the
   * same server where there is one (see below).
   *
   * It serves where the server's rows and ids are QGIS's: the layers open()
   * serves, with the layer's subset string applied as QGIS's provider applies
   * it, on a field of type text, varchar or citext, a geometry column of type
   * geometry, and a text that is plain UTF-8 (isPlainUtf8). Where it does not
   * serve (served false), nothing was read that matters. Where it serves and
   * finds nothing, a row may still hold the text as QGIS decodes it (bytes
   * the server stores unchecked); the caller asks QGIS then.
   *
   * Connections: one idle connection per server is kept for a minute after a
   * listing or a pick, so that the next pick need not make one through the
   * link; a kept connection that has broken is replaced once.
   */
  static FirstAnswer firstWithText(const QgsVectorLayer& layer, int index, std::string_view text);
};

}  // namespace corvale::qgis

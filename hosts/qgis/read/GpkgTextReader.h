#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <qgsfeature.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/read/ReadAhead.h"

namespace corvale::qgis {

/**
 * Reads text fields of a GeoPackage layer straight from SQLite: every row's
 * feature id and the fields' texts, as fast as SQLite steps. SQLite is read
 * on a thread of its own, ahead of the caller (ReadAhead), through a small
 * page cache: memory does not grow with the size of the table.
 *
 * It is used only where QGIS's own iterator would yield the very same rows
 * and values (open() checks it): an OGR layer on a GeoPackage file whose
 * source names nothing but the file and a table (no geometry type, subset,
 * layer number or open options: anything else may narrow the rows); no
 * subset string; no edit session; the table a table, not a view, listed
 * in gpkg_contents as features, with one INTEGER primary key that is its
 * rowid: that key, read by its declared name, is the OGR feature id that
 * QGIS uses; every wanted field a text field of the provider (no join, no virtual field).
 * Text is read the way OGR reads it: up to its first NUL byte. The caller
 * treats text that is not plain UTF-8 itself (see QgisRowCursor), since QGIS
 * decodes it on its own.
 */
class GpkgTextReader {
 public:
  /// A read-ahead of those fields of the layer (feature id, then one text per
  /// field, in the order asked), or nothing where the layer does not qualify.
  static std::unique_ptr<ReadAhead> open(const QgsVectorLayer& layer,
                                         const QgsAttributeList& fields);
};

}  // namespace corvale::qgis

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <qgsfeature.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/ReadAhead.h"

namespace corvale::qgis {

/**
 * Reads text fields of a GeoPackage layer straight from SQLite: every row's
 * feature id and the fields' texts, as fast as SQLite steps. SQLite is read
 * on a thread of its own, ahead of the caller (ReadAhead), through a small
 * page cache: memory does not grow with the size of the table.
 *
 * It is used only where QGIS's own iterator would yield the very same rows
 * and values (open() checks it): an OGR layer on a GeoPackage file, naming its
 * table; no subset string; no edit session; every wanted field a text field
 * of the provider (no join, no virtual field). A GeoPackage table's integer
 * primary key is the OGR feature id that QGIS uses. Text is read the way OGR
 * reads it: up to its first NUL byte. The caller treats text that is not
 * plain UTF-8 itself (see QgisRowCursor), since QGIS decodes it on its own.
 */
class GpkgTextReader {
 public:
  /// A reader of those fields of the layer, or nothing where the layer does not qualify.
  static std::unique_ptr<GpkgTextReader> open(const QgsVectorLayer& layer,
                                              const QgsAttributeList& fields);
  GpkgTextReader(const GpkgTextReader&) = delete;
  GpkgTextReader& operator=(const GpkgTextReader&) = delete;

  /// Moves to the next row; false at the end. An SQLite failure is a host failure.
  bool step() { return rows_.step(); }
  int64_t id() const { return rows_.id(); }
  /// The text of the k-th field asked for (in open()'s order), nothing for null;
  /// valid until the next step.
  std::optional<std::string_view> text(size_t k) const { return rows_.text(k); }
  /// Whether the k-th field's text is plain UTF-8 (isPlainUtf8).
  bool plain(size_t k) const { return rows_.plain(k); }

 private:
  GpkgTextReader(std::unique_ptr<TextRowSource> source, size_t fields)
      : rows_(std::move(source), fields) {}

  ReadAhead rows_;
};

}  // namespace corvale::qgis

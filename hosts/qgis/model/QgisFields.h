#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/Data.h"

class QgsVectorLayer;

namespace corvale::qgis {

/// One field: its name (QgsField::name()) and host type code (see fieldTypeCode).
class QgisField : public host::IField {
 public:
  QgisField(std::string name, int32_t type) : name_(std::move(name)), type_(type) {}
  std::string name() override { return name_; }
  int32_t type() override { return type_; }

 private:
  std::string name_;
  int32_t type_;
};

/// The fields of a vector layer as they were when the collection was asked for.
class QgisFields : public host::IFields {
 public:
  struct Entry {
    std::string name;
    int32_t type = 0;
  };

  /// The layer's fields in its own order, the provider's primary key as the object id.
  static std::vector<Entry> entriesOf(const QgsVectorLayer& layer);

  explicit QgisFields(std::vector<Entry> entries) : entries_(std::move(entries)) {}
  int32_t fieldCount() override;
  /// A new field object; an index outside the collection is a host failure.
  std::shared_ptr<host::IField> field(int32_t index) override;

 private:
  std::vector<Entry> entries_;
};

}  // namespace corvale::qgis

#include "hosts/qgis/model/QgisFields.h"

#include <limits>

#include <qgsvectorlayer.h>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/model/QgisValues.h"

namespace corvale::qgis {

std::vector<QgisFields::Entry> QgisFields::entriesOf(const QgsVectorLayer& layer) {
  const QgsFields fields = layer.fields();
  const QgsAttributeList keys = layer.primaryKeyAttributes();
  std::vector<Entry> entries;
  entries.reserve(static_cast<size_t>(fields.count()));
  for (int i = 0; i < fields.count(); ++i) {
    const QgsField field = fields.at(i);
    entries.push_back({utf8Of(field.name()), fieldTypeCode(field, keys.contains(i))});
  }
  return entries;
}

int32_t QgisFields::fieldCount() {
  if (entries_.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    raise(err::kOverflow);
  }
  return static_cast<int32_t>(entries_.size());
}

std::shared_ptr<host::IField> QgisFields::field(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
    hostFailure("The field index is out of range.");
  }
  const Entry& entry = entries_[static_cast<size_t>(index)];
  return std::make_shared<QgisField>(entry.name, entry.type);
}

}  // namespace corvale::qgis

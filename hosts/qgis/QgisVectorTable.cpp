#include "hosts/qgis/QgisVectorTable.h"

#include <limits>

#include <qgsexpressioncontextutils.h>

#include "hosts/qgis/QgisFailure.h"
#include "hosts/qgis/QgisFields.h"
#include "hosts/qgis/QgisRowCursor.h"
#include "hosts/qgis/QgisText.h"
#include "runtime/Text.h"

namespace corvale::qgis {

namespace {
int32_t clampedCount(long long count) {
  if (count > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return count < 0 ? 0 : static_cast<int32_t>(count);
}
}  // namespace

QgsVectorLayer& QgisVectorTable::layer() const {
  if (!layer_) hostFailure("The layer is no longer part of the project.");
  if (!layer_->isValid()) {
    hostFailure("The layer \"" + utf8Of(layer_->name()) +
                "\" cannot be read: its data source is not available.");
  }
  return *layer_;
}

QgsFeatureRequest QgisVectorTable::requestFor(
    const std::shared_ptr<host::IQueryFilter>& filter) const {
  QgsVectorLayer& vl = layer();
  if (!filter) return QgsFeatureRequest();
  std::vector<ClauseField> clauseFields;
  for (auto& entry : QgisFields::entriesOf(vl)) {
    clauseFields.push_back({std::move(entry.name), entry.type});
  }
  const TranslatedClause clause =
      translateWhereClause(filter->whereClause(), clauseFields, kObjectIdFieldName);
  if (clause.featureId) return QgsFeatureRequest(static_cast<QgsFeatureId>(*clause.featureId));
  if (clause.selectsAll()) return QgsFeatureRequest();
  QgsExpression expression(qstringOf(clause.expression));
  if (expression.hasParserError()) {
    raise(err::kHostInvalidSql, "An invalid SQL statement was used.");
  }
  QgsFeatureRequest request(expression);
  request.setExpressionContext(
      QgsExpressionContext(QgsExpressionContextUtils::globalProjectLayerScopes(&vl)));
  return request;
}

std::shared_ptr<host::ICursor> QgisVectorTable::search(
    const std::shared_ptr<host::IQueryFilter>& filter, bool /*reuse*/) {
  return guarded("Searching the layer", [&]() -> std::shared_ptr<host::ICursor> {
    QgsVectorLayer& vl = layer();
    return std::make_shared<QgisRowCursor>(&vl, requestFor(filter));
  });
}

int32_t QgisVectorTable::findField(const std::string& name) {
  const auto entries = QgisFields::entriesOf(layer());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name == name) return static_cast<int32_t>(i);
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (equalsNoCase(entries[i].name, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

std::shared_ptr<host::IFields> QgisVectorTable::fields() {
  return std::make_shared<QgisFields>(QgisFields::entriesOf(layer()));
}

int32_t QgisVectorTable::featureCount(const std::shared_ptr<host::IQueryFilter>& filter) {
  return guarded("Counting the features", [&] {
    QgsVectorLayer& vl = layer();
    if (!filter) {
      const long long known = vl.featureCount();
      if (known >= 0) return clampedCount(known);
    }
    QgsFeatureRequest request = requestFor(filter);
    request.setNoAttributes();
    request.setFlags(request.flags() | QgsFeatureRequest::NoGeometry);
    QgsFeatureIterator it = vl.getFeatures(request);
    long long count = 0;
    QgsFeature feature;
    while (it.nextFeature(feature))
      ++count;
    return clampedCount(count);
  });
}

}  // namespace corvale::qgis

#include "hosts/qgis/model/QgisVectorTable.h"

#include <functional>
#include <limits>
#include <optional>

#include <QCoreApplication>

#include <qgsexpressioncontextutils.h>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/model/QgisFeatureCursor.h"
#include "hosts/qgis/model/QgisFields.h"
#include "hosts/qgis/model/QgisRowCursor.h"
#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/read/PgTextReader.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "hosts/qgis/model/QgisValues.h"
#include "runtime/Text.h"

namespace corvale::qgis {

namespace {

/**
 * The rows of a request that show a value as the component shows it
 * (TranslatedClause::ShownValue), and, when the request selects none and the
 * clause asks for it, the rows of the whole table that do.
 */
class ShownValueCursor : public host::ICursor {
 public:
  ShownValueCursor(QgsVectorLayer* layer, QgsFeatureRequest request, const TranslatedClause& clause,
                   int32_t index)
      : layer_(layer),
        rows_(std::make_shared<QgisRowCursor>(layer, std::move(request))),
        shown_(*clause.shownValue),
        index_(index),
        check_(clause.checkSelected),
        scanWhenNone_(clause.scanWhenNoneSelected) {}

  std::shared_ptr<host::IRow> nextRow() override {
    return guarded("Reading the rows", [&]() -> std::shared_ptr<host::IRow> {
      for (;;) {
        std::shared_ptr<host::IRow> row = rows_->nextRow();
        if (!row) {
          if (found_ || !scanWhenNone_ || scanning_) return nullptr;
          if (!layer_) hostFailure("The layer is no longer part of the project.");
          scanning_ = true;
          check_ = true;
          rows_ = std::make_shared<QgisRowCursor>(layer_.data(), QgsFeatureRequest());
          continue;
        }
        if (check_ && !shows(*row)) continue;
        found_ = true;
        return row;
      }
    });
  }

 private:
  bool shows(host::IRow& row) {
    auto& values = dynamic_cast<host::IRowValues&>(row);
    if (shown_.number) {
      const Variant value = values.value(index_);
      if (value.kind() == Variant::Kind::Double && value.number() == *shown_.number) return true;
    }
    const std::optional<std::string_view> text = values.valueText(index_, scratch_);
    return text && *text == shown_.text;
  }

  QPointer<QgsVectorLayer> layer_;
  std::shared_ptr<host::ICursor> rows_;
  TranslatedClause::ShownValue shown_;
  int32_t index_;
  bool check_;
  bool scanWhenNone_;
  bool scanning_ = false;
  bool found_ = false;
  std::string scratch_;
};

/// The texts of one field in every row a cursor yields, nulls left out: each distinct text at least once.
class RowTexts : public host::ITextCursor {
 public:
  RowTexts(std::shared_ptr<host::ICursor> rows, int32_t index)
      : rows_(std::move(rows)), index_(index) {}

  std::optional<std::string_view> nextText() override {
    for (;;) {
      row_ = rows_->nextRow();
      if (!row_) return std::nullopt;
      const std::optional<std::string_view> text =
          dynamic_cast<host::IRowValues&>(*row_).valueText(index_, scratch_);
      if (text) return text;
    }
  }

 private:
  std::shared_ptr<host::ICursor> rows_;
  int32_t index_;
  std::shared_ptr<host::IRow> row_;
  std::string scratch_;
};

/**
 * The row the server found first for a text: its id and that text; any other
 * value is read through QGIS, for this row alone, when it is asked for.
 */
class FoundRow : public host::IRow, public host::IRowValues {
 public:
  FoundRow(QgsVectorLayer* layer, QgsFeatureId id, int32_t index, std::string text)
      : layer_(layer), id_(id), index_(index), text_(std::move(text)) {}

  int64_t objectId() override { return id_; }

  Variant value(int32_t index) override {
    if (index == index_) return Variant(text_);
    return guarded("Reading a value", [&] {
      if (!layer_) hostFailure("The layer is no longer part of the project.");
      if (index < 0 || index >= layer_->fields().count()) {
        hostFailure("The field index is out of range.");
      }
      QgsFeatureRequest request(id_);
      request.setFlags(compat::kNoGeometry);
      request.setSubsetOfAttributes(QgsAttributeList{index});
      QgsFeature read;
      if (!layer_->getFeatures(request).nextFeature(read)) {
        hostFailure("The row is no longer in the layer.");
      }
      return variantOf(read.attribute(index));
    });
  }

 private:
  QPointer<QgsVectorLayer> layer_;
  QgsFeatureId id_;
  int32_t index_;
  std::string text_;
};

/**
 * A row found ahead, then the rows of a search made only when they are asked
 * for, that row left out once: every row the clause selects, each once.
 */
class FoundFirstCursor : public host::ICursor {
 public:
  FoundFirstCursor(std::shared_ptr<host::IRow> first,
                   std::function<std::shared_ptr<host::ICursor>()> rest)
      : first_(std::move(first)), id_(first_->objectId()), makeRest_(std::move(rest)) {}

  std::shared_ptr<host::IRow> nextRow() override {
    if (first_) return std::move(first_);
    if (!rest_) rest_ = makeRest_();
    for (;;) {
      std::shared_ptr<host::IRow> row = rest_->nextRow();
      if (row && !skipped_ && row->objectId() == id_) {
        skipped_ = true;
        continue;
      }
      return row;
    }
  }

 private:
  std::shared_ptr<host::IRow> first_;
  int64_t id_;
  std::function<std::shared_ptr<host::ICursor>()> makeRest_;
  std::shared_ptr<host::ICursor> rest_;
  bool skipped_ = false;
};

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

TranslatedClause QgisVectorTable::translated(
    const std::shared_ptr<host::IQueryFilter>& filter) const {
  QgsVectorLayer& vl = layer();
  if (!filter) return {};
  std::vector<ClauseField> clauseFields;
  for (auto& entry : QgisFields::entriesOf(vl)) {
    clauseFields.push_back({std::move(entry.name), entry.type});
  }
  return translateWhereClause(filter->whereClause(), clauseFields, kObjectIdFieldName);
}

QgsFeatureRequest QgisVectorTable::requestFor(
    const std::shared_ptr<host::IQueryFilter>& filter) const {
  return requestOf(translated(filter));
}

QgsFeatureRequest QgisVectorTable::requestOf(const TranslatedClause& clause) const {
  QgsVectorLayer& vl = layer();
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
    const TranslatedClause clause = translated(filter);
    QgsFeatureRequest request = requestOf(clause);
    if (!clause.shownValue) return std::make_shared<QgisRowCursor>(&vl, std::move(request));
    const int32_t index = findField(clause.shownValue->field);
    if (index < 0) hostFailure("The field is no longer part of the layer.");
    if (clause.scanWhenNoneSelected && !clause.shownValue->number) {
      PgTextReader::FirstAnswer first =
          PgTextReader::firstWithText(vl, index, clause.shownValue->text);
      if (first.feature) {
        const QgsFeatureId id = first.feature->id;
        keepFound(std::move(*first.feature));
        QPointer<QgsVectorLayer> layer(&vl);
        return std::make_shared<FoundFirstCursor>(
            std::make_shared<FoundRow>(&vl, id, index, clause.shownValue->text),
            [layer, request, clause, index]() -> std::shared_ptr<host::ICursor> {
              if (!layer) hostFailure("The layer is no longer part of the project.");
              return std::make_shared<ShownValueCursor>(layer.data(), request, clause, index);
            });
      }
    }
    return std::make_shared<ShownValueCursor>(&vl, std::move(request), clause, index);
  });
}

void QgisVectorTable::keepFound(PgTextReader::Found feature) {
  found_ = Kept{std::move(feature), layer_ ? layer_->subsetString() : QString()};
  const uint64_t serial = ++foundSerial_;
  // Once the event loop runs, anything may have changed the layer.
  if (QCoreApplication* application = QCoreApplication::instance()) {
    std::weak_ptr<QgisVectorTable> self = weak_from_this();
    QMetaObject::invokeMethod(
        application,
        [self, serial] {
          if (const auto table = self.lock(); table && table->foundSerial_ == serial) {
            table->found_.reset();
          }
        },
        Qt::QueuedConnection);
  }
}

std::shared_ptr<host::IFeature> QgisVectorTable::takeFound(
    const std::shared_ptr<host::IQueryFilter>& filter) {
  if (!found_ || !layer_ || !layer_->isValid() || layer_->isEditable() ||
      layer_->subsetString() != found_->subset) {
    found_.reset();
    return nullptr;
  }
  PgTextReader::Found found = std::move(found_->feature);
  found_.reset();
  const TranslatedClause clause = translated(filter);
  if (!clause.featureId || *clause.featureId != found.id) return nullptr;
  QgsFeature feature(found.id);
  feature.setGeometry(std::move(found.geometry));
  return std::make_shared<QgisFeature>(std::move(feature), layer_->crs(), layer_.data());
}

std::shared_ptr<host::ITextCursor> QgisVectorTable::distinctTexts(const std::string& name) {
  if (!layer_ || !layer_->isValid()) return nullptr;
  return guarded("Listing the values of the layer", [&]() -> std::shared_ptr<host::ITextCursor> {
    const int32_t index = findField(name);
    if (index < 0) return nullptr;
    // Where the server refuses to list them, the rows are read as a search reads them.
    std::weak_ptr<QgisVectorTable> self = weak_from_this();
    return PgTextReader::startDistinctTexts(
        *layer_, index, [self, index]() -> std::shared_ptr<host::ITextCursor> {
          const std::shared_ptr<QgisVectorTable> table = self.lock();
          if (!table) hostFailure("The layer is no longer part of the project.");
          return std::make_shared<RowTexts>(table->search(nullptr, false), index);
        });
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
    const TranslatedClause clause = translated(filter);
    if (clause.shownValue) {
      // The rows are checked one by one, as a search yields them.
      const std::shared_ptr<host::ICursor> rows = search(filter, true);
      long long count = 0;
      while (rows->nextRow())
        ++count;
      return clampedCount(count);
    }
    QgsFeatureRequest request = requestOf(clause);
    request.setNoAttributes();
    request.setFlags(request.flags() | compat::kNoGeometry);
    QgsFeatureIterator it = vl.getFeatures(request);
    long long count = 0;
    QgsFeature feature;
    while (it.nextFeature(feature))
      ++count;
    return clampedCount(count);
  });
}

}  // namespace corvale::qgis

#include "hosts/qgis/model/QgisRowCursor.h"

#include <algorithm>
#include <utility>

#include "hosts/qgis/read/GpkgTextReader.h"
#include "hosts/qgis/read/PgTextReader.h"
#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/model/QgisValues.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "runtime/TextSet.h"

namespace corvale::qgis {

/// What a cursor and its rows share: the layer, the request, and the fields wanted so far.
class RowSource {
 public:
  RowSource(QgsVectorLayer* layer, QgsFeatureRequest request)
      : layer_(layer), request_(std::move(request)) {
    fieldCount_ = layer->fields().count();
    request_.setFlags(request_.flags() | compat::kNoGeometry);
  }

  QgsVectorLayer& layer() const {
    if (!layer_) hostFailure("The layer is no longer part of the project.");
    return *layer_;
  }
  const QgsFeatureRequest& request() const { return request_; }
  int fieldCount() const { return fieldCount_; }
  const QgsAttributeList& wanted() const { return wanted_; }
  /// The field's value in the row with that id, read for it alone through
  /// QGIS; a row no longer in the layer is a host failure.
  QVariant readOne(QgsFeatureId id, int index) const {
    QgsFeatureRequest request(id);
    request.setFlags(compat::kNoGeometry);
    request.setSubsetOfAttributes(QgsAttributeList{index});
    QgsFeature read;
    if (!layer().getFeatures(request).nextFeature(read)) {
      hostFailure("The row is no longer in the layer.");
    }
    return read.attribute(index);
  }
  void want(int index) {
    if (!wanted_.contains(index)) wanted_.append(index);
  }

 private:
  QPointer<QgsVectorLayer> layer_;
  QgsFeatureRequest request_;
  int fieldCount_ = 0;
  QgsAttributeList wanted_;
};

QgisRow::QgisRow(std::shared_ptr<RowSource> source) : source_(std::move(source)) {
  const auto count = static_cast<size_t>(source_->fieldCount());
  texts_.resize(count);
  held_.assign(count, Held::Nothing);
}

void QgisRow::fetch(int index) {
  const QVariant value = source_->readOne(id_, index);
  if (feature_.attributes().size() != source_->fieldCount()) {
    QgsAttributes attributes = feature_.attributes();
    attributes.resize(source_->fieldCount());
    feature_.setAttributes(attributes);
  }
  feature_.setAttribute(index, value);
  held_[static_cast<size_t>(index)] = Held::Attribute;
}

Variant QgisRow::value(int32_t index) {
  return guarded("Reading a value", [&] {
    if (index < 0 || index >= source_->fieldCount()) {
      hostFailure("The field index is out of range.");
    }
    const auto slot = static_cast<size_t>(index);
    if (held_[slot] == Held::Nothing) {
      source_->want(index);
      fetch(index);
    }
    switch (held_[slot]) {
      case Held::Text:
        return Variant(texts_[slot]);
      case Held::Null:
        return Variant::null();
      default:
        return variantOf(feature_.attribute(index));
    }
  });
}

std::optional<std::string_view> QgisRow::valueText(int32_t index, std::string& scratch) {
  if (index >= 0 && index < source_->fieldCount()) {
    const auto slot = static_cast<size_t>(index);
    if (held_[slot] == Held::Text) return std::string_view(texts_[slot]);
    if (held_[slot] == Held::Null) return std::nullopt;
    if (held_[slot] == Held::Attribute) {
      // A text attribute: its UTF-8 form into the caller's buffer, as
      // textOf(variantOf(value)) gives it, without a Variant in between.
      const QVariant attribute = feature_.attribute(index);
      if (attribute.isNull()) return std::nullopt;
      if (compat::valueType(attribute) == QMetaType::QString) {
        assignUtf8(scratch, attribute.toString());
        return std::string_view(scratch);
      }
    }
  }
  return IRowValues::valueText(index, scratch);
}

QgisRowCursor::QgisRowCursor(QgsVectorLayer* layer, QgsFeatureRequest request)
    : source_(std::make_shared<RowSource>(layer, std::move(request))) {}

QgisRowCursor::~QgisRowCursor() = default;

std::shared_ptr<QgisRow> QgisRowCursor::freeRow() {
  for (auto& row : rows_) {
    if (row && row.use_count() == 1) return row;
  }
  // Both rows are still held by the caller: take a new one, and forget the older.
  auto row = std::make_shared<QgisRow>(source_);
  rows_[nextSlot_] = row;
  nextSlot_ = (nextSlot_ + 1) % rows_.size();
  return row;
}

std::unique_ptr<ReadAhead> QgisRowCursor::directReader(const QgsAttributeList& fields) const {
  const QgsFeatureRequest& base = source_->request();
  if (!compat::hasNoFilter(base) || base.limit() >= 0) return nullptr;
  QgsVectorLayer& layer = source_->layer();
  std::unique_ptr<ReadAhead> reader = GpkgTextReader::open(layer, fields);
  if (!reader) reader = PgTextReader::open(layer, fields);
  return reader;
}

void QgisRowCursor::startMain() {
  mainStarted_ = true;
  mainFields_ = source_->wanted();
  const QgsFeatureRequest& base = source_->request();
  QgsVectorLayer& layer = source_->layer();
  fast_ = directReader(mainFields_);
  mainHeld_.assign(static_cast<size_t>(source_->fieldCount()), QgisRow::Held::Nothing);
  for (int index : mainFields_) {
    mainHeld_[static_cast<size_t>(index)] = QgisRow::Held::Attribute;
  }
  if (fast_) return;
  QgsFeatureRequest request(base);
  if (mainFields_.isEmpty()) {
    request.setNoAttributes();
  } else {
    request.setSubsetOfAttributes(mainFields_);
  }
  main_ = layer.getFeatures(request);
}

bool QgisRowCursor::readMain(QgisRow& row) {
  if (!fast_) {
    if (!main_.nextFeature(row.feature_)) return false;
    row.id_ = row.feature_.id();
    row.held_ = mainHeld_;
    return true;
  }
  if (!fast_->step()) return false;
  row.id_ = fast_->id();
  std::fill(row.held_.begin(), row.held_.end(), QgisRow::Held::Nothing);
  for (int k = 0; k < mainFields_.size(); ++k) {
    const auto slot = static_cast<size_t>(mainFields_[k]);
    const std::optional<std::string_view> text = fast_->text(static_cast<size_t>(k));
    if (!text) {
      row.held_[slot] = QgisRow::Held::Null;
    } else if (fast_->plain(static_cast<size_t>(k))) {
      row.texts_[slot].assign(text->data(), text->size());
      row.held_[slot] = QgisRow::Held::Text;
    }
    // Anything else stays Nothing: value() reads it through QGIS, which decodes it its way.
  }
  return true;
}

bool QgisRowCursor::readTexts(int32_t index) {
  return guarded("Reading the rows", [&] {
    if (probed_ || index < 0 || index >= source_->fieldCount()) return false;
    fast_ = directReader(QgsAttributeList{index});
    if (!fast_) return false;
    source_->want(index);
    probed_ = mainStarted_ = true;
    textsIndex_ = index;
    return true;
  });
}

bool QgisRowCursor::textThroughQgis(QgsFeatureId id, int index, std::string& into) {
  const QVariant attribute = source_->readOne(id, index);
  if (attribute.isNull()) return false;
  if (compat::valueType(attribute) == QMetaType::QString) {
    assignUtf8(into, attribute.toString());
  } else {
    into = textOf(variantOf(attribute));
  }
  return true;
}

bool QgisRowCursor::nextTexts(host::FieldTexts& block) {
  block.texts.clear();
  block.hashes.clear();
  if (pendingFailure_) {
    ended_ = true;
    fast_.reset();
    std::rethrow_exception(std::exchange(pendingFailure_, nullptr));
  }
  if (ended_ || !fast_ || textsIndex_ < 0) return false;
  const TextBatch* batch = guarded("Reading the rows", [&] { return fast_->nextRows(); });
  if (!batch) {
    ended_ = true;
    fast_.reset();
    return false;
  }
  const size_t rows = batch->rows();
  block.texts.resize(rows);
  block.hashes.resize(rows);
  // Texts read through QGIS are kept until the next block; their views must
  // not move, so the vector is sized for every row that may need one.
  size_t fromQgis = 0;
  for (size_t row = 0; row < rows; ++row) {
    if (batch->text(row, 0) && !batch->plain(row, 0)) ++fromQgis;
  }
  qgisTexts_.clear();
  qgisTexts_.reserve(fromQgis);
  for (size_t row = 0; row < rows; ++row) {
    const std::optional<std::string_view> text = batch->text(row, 0);
    if (!text) continue;
    if (batch->plain(row, 0)) {
      block.texts[row] = text;
      block.hashes[row] = batch->hash(row, 0);
      continue;
    }
    try {
      std::string& read = qgisTexts_.emplace_back();
      const bool held = guarded("Reading a value", [&] {
        return textThroughQgis(batch->id(row), textsIndex_, read);
      });
      if (held) {
        block.texts[row] = std::string_view(read);
        block.hashes[row] = TextSet::hashOf(read);
      }
    } catch (...) {
      // The rows before this one are handed out first; the failure is due at the next call.
      if (row == 0) throw;
      pendingFailure_ = std::current_exception();
      block.texts.resize(row);
      block.hashes.resize(row);
      return true;
    }
  }
  return true;
}

std::shared_ptr<host::IRow> QgisRowCursor::nextRow() {
  return guarded("Reading the rows", [&]() -> std::shared_ptr<host::IRow> {
    if (ended_) return nullptr;
    if (!probed_) {
      probed_ = true;
      QgsFeatureRequest probe(source_->request());
      // One column rather than none: a table without a feature id column (a
      // GeoPackage view) cannot be read with no column at all.
      if (source_->fieldCount() > 0) {
        probe.setSubsetOfAttributes(QgsAttributeList{0});
      } else {
        probe.setNoAttributes();
      }
      probe.setLimit(1);
      QgsFeature first;
      if (!source_->layer().getFeatures(probe).nextFeature(first)) {
        ended_ = true;
        return nullptr;
      }
      auto row = freeRow();
      row->id_ = first.id();
      std::fill(row->held_.begin(), row->held_.end(), QgisRow::Held::Nothing);
      skip_ = first.id();
      return row;
    }
    if (!mainStarted_) startMain();
    auto row = freeRow();
    while (readMain(*row)) {
      if (skip_ && row->id_ == *skip_) {
        skip_.reset();
        continue;
      }
      return row;
    }
    ended_ = true;
    main_.close();
    fast_.reset();
    return nullptr;
  });
}

}  // namespace corvale::qgis

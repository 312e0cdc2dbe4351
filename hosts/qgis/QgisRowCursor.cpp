#include "hosts/qgis/QgisRowCursor.h"

#include <algorithm>

#include "hosts/qgis/QgisFailure.h"
#include "hosts/qgis/QgisValues.h"

namespace corvale::qgis {

/// What a cursor and its rows share: the layer, the request, and the fields wanted so far.
class RowSource {
 public:
  RowSource(QgsVectorLayer* layer, QgsFeatureRequest request)
      : layer_(layer), request_(std::move(request)) {
    fieldCount_ = layer->fields().count();
    request_.setFlags(request_.flags() | QgsFeatureRequest::NoGeometry);
  }

  QgsVectorLayer& layer() const {
    if (!layer_) hostFailure("The layer is no longer part of the project.");
    return *layer_;
  }
  const QgsFeatureRequest& request() const { return request_; }
  int fieldCount() const { return fieldCount_; }
  const QgsAttributeList& wanted() const { return wanted_; }
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
  loaded_.assign(static_cast<size_t>(source_->fieldCount()), false);
}

Variant QgisRow::value(int32_t index) {
  return guarded("Reading a value", [&] {
    if (index < 0 || index >= source_->fieldCount()) {
      hostFailure("The field index is out of range.");
    }
    const auto slot = static_cast<size_t>(index);
    if (!loaded_[slot]) {
      source_->want(index);
      QgsFeatureRequest request(feature_.id());
      request.setFlags(QgsFeatureRequest::NoGeometry);
      request.setSubsetOfAttributes(QgsAttributeList{index});
      QgsFeature read;
      if (!source_->layer().getFeatures(request).nextFeature(read)) {
        hostFailure("The row is no longer in the layer.");
      }
      if (feature_.attributes().size() != source_->fieldCount()) {
        QgsAttributes attributes = feature_.attributes();
        attributes.resize(source_->fieldCount());
        feature_.setAttributes(attributes);
      }
      feature_.setAttribute(index, read.attribute(index));
      loaded_[slot] = true;
    }
    return variantOf(feature_.attribute(index));
  });
}

QgisRowCursor::QgisRowCursor(QgsVectorLayer* layer, QgsFeatureRequest request)
    : source_(std::make_shared<RowSource>(layer, std::move(request))) {}

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

std::shared_ptr<host::IRow> QgisRowCursor::nextRow() {
  return guarded("Reading the rows", [&]() -> std::shared_ptr<host::IRow> {
    if (ended_) return nullptr;
    if (!probed_) {
      probed_ = true;
      QgsFeatureRequest probe(source_->request());
      probe.setNoAttributes();
      probe.setLimit(1);
      QgsFeature first;
      if (!source_->layer().getFeatures(probe).nextFeature(first)) {
        ended_ = true;
        return nullptr;
      }
      auto row = freeRow();
      row->feature_ = first;
      std::fill(row->loaded_.begin(), row->loaded_.end(), false);
      skip_ = first.id();
      return row;
    }
    if (!mainStarted_) {
      mainStarted_ = true;
      QgsFeatureRequest request(source_->request());
      if (source_->wanted().isEmpty()) {
        request.setNoAttributes();
      } else {
        request.setSubsetOfAttributes(source_->wanted());
      }
      mainLoaded_.assign(static_cast<size_t>(source_->fieldCount()), false);
      for (int index : source_->wanted())
        mainLoaded_[static_cast<size_t>(index)] = true;
      main_ = source_->layer().getFeatures(request);
    }
    auto row = freeRow();
    while (main_.nextFeature(row->feature_)) {
      if (skip_ && row->feature_.id() == *skip_) {
        skip_.reset();
        continue;
      }
      row->loaded_ = mainLoaded_;
      return row;
    }
    ended_ = true;
    main_.close();
    return nullptr;
  });
}

}  // namespace corvale::qgis

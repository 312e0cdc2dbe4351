#pragma once

#include <cstdint>
#include <memory>

#include <QPointer>

#include <qgscoordinatereferencesystem.h>
#include <qgsfeature.h>
#include <qgsfeatureiterator.h>
#include <qgsvectorlayer.h>

#include "host/Data.h"

namespace corvale::qgis {

/**
 * A feature of a layer search: its id, all its attribute values and its shape.
 * A feature made with `attributesFrom` holds its id and shape alone and reads
 * its attribute values from that layer, by its id, when one is first asked for.
 */
class QgisFeature : public host::IFeature, public host::IRow, public host::IRowValues {
 public:
  QgisFeature(QgsFeature feature, QgsCoordinateReferenceSystem crs,
              QgsVectorLayer* attributesFrom = nullptr)
      : feature_(std::move(feature)), crs_(std::move(crs)), attributesFrom_(attributesFrom),
        attributesRead_(attributesFrom == nullptr) {}

  /// The shape in the layer's coordinate reference system (a null one bounds nothing).
  std::shared_ptr<host::IGeometry> shape() override;
  int64_t objectId() override { return feature_.id(); }
  /// The value of field `index`; an index outside the feature's fields is a host failure.
  Variant value(int32_t index) override;

 private:
  QgsFeature feature_;
  QgsCoordinateReferenceSystem crs_;
  QPointer<QgsVectorLayer> attributesFrom_;
  bool attributesRead_;
};

/// One feature already at hand, then the end.
class QgisOneFeatureCursor : public host::IFeatureCursor {
 public:
  explicit QgisOneFeatureCursor(std::shared_ptr<host::IFeature> feature)
      : feature_(std::move(feature)) {}
  std::shared_ptr<host::IFeature> nextFeature() override { return std::move(feature_); }

 private:
  std::shared_ptr<host::IFeature> feature_;
};

/// The features of a layer search, with geometry and all attributes, in QGIS's order.
class QgisFeatureCursor : public host::IFeatureCursor {
 public:
  QgisFeatureCursor(QgsFeatureIterator iterator, QgsCoordinateReferenceSystem crs)
      : iterator_(std::move(iterator)), crs_(std::move(crs)) {}

  std::shared_ptr<host::IFeature> nextFeature() override;

 private:
  QgsFeatureIterator iterator_;
  QgsCoordinateReferenceSystem crs_;
  bool ended_ = false;
};

}  // namespace corvale::qgis

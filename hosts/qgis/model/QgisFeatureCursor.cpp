#include "hosts/qgis/model/QgisFeatureCursor.h"

#include "hosts/qgis/common/QgisCompat.h"
#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/model/QgisGeometry.h"
#include "hosts/qgis/model/QgisValues.h"

namespace corvale::qgis {

std::shared_ptr<host::IGeometry> QgisFeature::shape() {
  return std::make_shared<QgisGeometry>(feature_.geometry(), crs_);
}

Variant QgisFeature::value(int32_t index) {
  return guarded("Reading a value", [&] {
    if (!attributesRead_) {
      if (!attributesFrom_) hostFailure("The layer is no longer part of the project.");
      QgsFeatureRequest request(feature_.id());
      request.setFlags(compat::kNoGeometry);
      QgsFeature read;
      if (!attributesFrom_->getFeatures(request).nextFeature(read)) {
        hostFailure("The feature is no longer in the layer.");
      }
      feature_.setFields(read.fields());
      feature_.setAttributes(read.attributes());
      attributesRead_ = true;
    }
    if (index < 0 || index >= feature_.attributes().size()) {
      hostFailure("The field index is out of range.");
    }
    return variantOf(feature_.attribute(index));
  });
}

std::shared_ptr<host::IFeature> QgisFeatureCursor::nextFeature() {
  return guarded("Reading the features", [&]() -> std::shared_ptr<host::IFeature> {
    if (ended_) return nullptr;
    QgsFeature feature;
    if (!iterator_.nextFeature(feature)) {
      ended_ = true;
      iterator_.close();
      return nullptr;
    }
    return std::make_shared<QgisFeature>(std::move(feature), crs_);
  });
}

}  // namespace corvale::qgis

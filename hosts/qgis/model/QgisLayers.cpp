#include "hosts/qgis/model/QgisLayers.h"

#include <limits>

#include <qgslayertree.h>
#include <qgslayertreelayer.h>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/model/QgisFeatureCursor.h"
#include "hosts/qgis/common/QgisText.h"

namespace corvale::qgis {

std::shared_ptr<host::ILayer> layerOf(QgsLayerTreeNode* node) {
  if (!node) hostFailure("The layer tree has no node there.");
  if (QgsLayerTree::isGroup(node)) {
    return std::make_shared<QgisGroupLayer>(QgsLayerTree::toGroup(node));
  }
  QgsMapLayer* layer = QgsLayerTree::isLayer(node) ? QgsLayerTree::toLayer(node)->layer() : nullptr;
  if (auto* vector = qobject_cast<QgsVectorLayer*>(layer)) {
    if (vector->isSpatial() || !vector->isValid()) {
      return std::make_shared<QgisFeatureLayer>(vector);
    }
  }
  return std::make_shared<QgisOtherLayer>(layer, node->name());
}

std::string QgisFeatureLayer::name() {
  if (!layer_) hostFailure("The layer is no longer part of the project.");
  return utf8Of(layer_->name());
}

std::shared_ptr<host::IFeatureCursor> QgisFeatureLayer::search(
    const std::shared_ptr<host::IQueryFilter>& filter, bool /*reuse*/) {
  return guarded("Searching the layer", [&]() -> std::shared_ptr<host::IFeatureCursor> {
    QgsVectorLayer& layer = table_->layer();
    if (auto found = table_->takeFound(filter)) {
      return std::make_shared<QgisOneFeatureCursor>(std::move(found));
    }
    return std::make_shared<QgisFeatureCursor>(layer.getFeatures(table_->requestFor(filter)),
                                               layer.crs());
  });
}

std::string QgisOtherLayer::name() {
  if (!hadLayer_) return utf8Of(nodeName_);
  if (!layer_) hostFailure("The layer is no longer part of the project.");
  return utf8Of(layer_->name());
}

QgsLayerTreeGroup& QgisGroupLayer::group() const {
  if (!group_) hostFailure("The layer group is no longer part of the project.");
  return *group_;
}

std::string QgisGroupLayer::name() {
  return utf8Of(group().name());
}

int32_t QgisGroupLayer::memberCount() {
  const auto count = group().children().size();
  if (count > std::numeric_limits<int32_t>::max()) raise(err::kOverflow);
  return static_cast<int32_t>(count);
}

std::shared_ptr<host::ILayer> QgisGroupLayer::member(int32_t index) {
  const QList<QgsLayerTreeNode*> children = group().children();
  if (index < 0 || index >= children.size()) hostFailure("The layer index is out of range.");
  return layerOf(children.at(index));
}

}  // namespace corvale::qgis

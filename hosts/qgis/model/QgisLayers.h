#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QPointer>
#include <QString>

#include <qgslayertreegroup.h>
#include <qgslayertreenode.h>
#include <qgsmaplayer.h>
#include <qgsvectorlayer.h>

#include "host/MapModel.h"
#include "hosts/qgis/model/QgisVectorTable.h"

namespace corvale::qgis {

/**
 * The layer of a layer-tree node, as the component sees it:
 * - a group node is a group layer (QgisGroupLayer);
 * - a vector layer with geometry is a feature layer (QgisFeatureLayer); so is
 *   a vector layer that is not valid, whose data calls then fail with a
 *   description that names the layer, rather than being skipped in silence;
 * - any other node (raster, mesh, a table without geometry, a layer that was
 *   never loaded) is some other layer (QgisOtherLayer).
 */
std::shared_ptr<host::ILayer> layerOf(QgsLayerTreeNode* node);

/// A vector layer with geometry: its display table and feature class are the layer
/// (QgisVectorTable).
class QgisFeatureLayer : public host::ILayer,
                         public host::IFeatureLayer,
                         public host::IDisplayTable {
 public:
  explicit QgisFeatureLayer(QgsVectorLayer* layer)
      : layer_(layer), table_(std::make_shared<QgisVectorTable>(layer)) {}

  /// QgsMapLayer::name(); a layer that has gone is a host failure.
  std::string name() override;
  std::shared_ptr<host::IFeatureClass> featureClass() override { return table_; }
  std::shared_ptr<host::ITable> displayTable() override { return table_; }
  /// The features the clause selects, with geometry and all attributes.
  std::shared_ptr<host::IFeatureCursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                               bool reuse) override;

  QgsVectorLayer* vectorLayer() const { return layer_; }

 private:
  QPointer<QgsVectorLayer> layer_;
  std::shared_ptr<QgisVectorTable> table_;
};

/// A layer that is neither a group nor a feature layer: only its name is read.
class QgisOtherLayer : public host::ILayer {
 public:
  /// The node's layer, or nothing for a node whose layer was never loaded (then the node's name).
  QgisOtherLayer(QgsMapLayer* layer, QString nodeName) : layer_(layer), nodeName_(nodeName) {}
  std::string name() override;

 private:
  QPointer<QgsMapLayer> layer_;
  bool hadLayer_ = !layer_.isNull();
  QString nodeName_;
};

/// A group node: its members are its child nodes, in the tree's order.
class QgisGroupLayer : public host::ILayer, public host::IGroupLayer, public host::ICompositeLayer {
 public:
  explicit QgisGroupLayer(QgsLayerTreeGroup* group) : group_(group) {}
  std::string name() override;
  int32_t memberCount() override;
  /// The member at the index; an index outside the group is a host failure.
  std::shared_ptr<host::ILayer> member(int32_t index) override;

 private:
  QgsLayerTreeGroup& group() const;

  QPointer<QgsLayerTreeGroup> group_;
};

}  // namespace corvale::qgis

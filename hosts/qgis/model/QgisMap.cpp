#include "hosts/qgis/model/QgisMap.h"

#include <limits>

#include <qgslayertree.h>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/model/QgisLayers.h"

namespace corvale::qgis {

QgsProject& QgisMap::project() const {
  if (!project_) hostFailure("The project is gone.");
  return *project_;
}

int32_t QgisMap::layerCount() {
  const auto count = project().layerTreeRoot()->children().size();
  if (count > std::numeric_limits<int32_t>::max()) raise(err::kOverflow);
  return static_cast<int32_t>(count);
}

std::shared_ptr<host::ILayer> QgisMap::layer(int32_t index) {
  const QList<QgsLayerTreeNode*> children = project().layerTreeRoot()->children();
  if (index < 0 || index >= children.size()) hostFailure("The layer index is out of range.");
  return layerOf(children.at(index));
}

}  // namespace corvale::qgis

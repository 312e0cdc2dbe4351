#pragma once

#include <cstdint>
#include <memory>

#include <QPointer>

#include <qgsproject.h>

#include "host/MapModel.h"

namespace corvale::qgis {

/**
 * The focus map: the top level of the project's layer tree (QgsLayerTree
 * root), read anew at every call, so it always shows the project as it is.
 * Its layers are made by layerOf().
 */
class QgisMap : public host::IMap {
 public:
  explicit QgisMap(QgsProject* project) : project_(project) {}
  int32_t layerCount() override;
  /// The layer at the index; an index outside the tree's top level is a host failure.
  std::shared_ptr<host::ILayer> layer(int32_t index) override;

 private:
  QgsProject& project() const;

  QPointer<QgsProject> project_;
};

}  // namespace corvale::qgis

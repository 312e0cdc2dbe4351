#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/Data.h"

namespace corvale::host {

class ILayer : public virtual Object {
 public:
  virtual std::string name() = 0;
};

/// Type test only: the layer is a group of layers.
class IGroupLayer : public virtual Object {};

/// The members of a group layer.
class ICompositeLayer : public virtual Object {
 public:
  virtual int32_t memberCount() = 0;
  virtual std::shared_ptr<ILayer> member(int32_t index) = 0;
};

class IFeatureLayer : public virtual Object {
 public:
  virtual std::shared_ptr<IFeatureClass> featureClass() = 0;
  /// The features that the filter's where clause selects.
  virtual std::shared_ptr<IFeatureCursor> search(const std::shared_ptr<IQueryFilter>& filter,
                                                 bool reuse) = 0;
};

/// The table a layer presents for its attributes.
class IDisplayTable : public virtual Object {
 public:
  virtual std::shared_ptr<ITable> displayTable() = 0;
};

class IMap : public virtual Object {
 public:
  virtual int32_t layerCount() = 0;
  virtual std::shared_ptr<ILayer> layer(int32_t index) = 0;
};

/// A view the document shows: a map, or the page layout.
class IActiveView : public virtual Object {
 public:
  virtual void setExtent(const std::shared_ptr<IEnvelope>& extent) = 0;
  /// The focus map of a page layout, as a view.
  virtual std::shared_ptr<IActiveView> focusMap() = 0;
  virtual void refresh() = 0;
};

/// Type test only: the view is the page layout.
class IPageLayout : public virtual Object {};

}  // namespace corvale::host

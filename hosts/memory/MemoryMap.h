#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Application.h"
#include "hosts/memory/MemoryData.h"
#include "hosts/memory/Recorder.h"

namespace corvale::memory {

/// What every in-memory host object shares: the fault injector and the recorder.
struct HostContext {
  std::shared_ptr<FaultInjector> faults = std::make_shared<FaultInjector>();
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

class MemoryLayer : public host::ILayer {
 public:
  MemoryLayer(HostContext context, std::string name)
      : context_(std::move(context)), name_(std::move(name)) {}
  std::string name() override;
  void rename(std::string name) { name_ = std::move(name); }

 protected:
  HostContext context_;

 private:
  std::string name_;
};

/// A layer that is neither a group nor a feature layer (a raster, say).
class MemoryOtherLayer : public MemoryLayer {
 public:
  using MemoryLayer::MemoryLayer;
};

/// A feature layer without a display table of its own.
class MemoryBareFeatureLayer : public MemoryLayer, public host::IFeatureLayer {
 public:
  MemoryBareFeatureLayer(HostContext context, std::string name, std::shared_ptr<MemoryTable> table)
      : MemoryLayer(std::move(context), std::move(name)), table_(std::move(table)) {}
  std::shared_ptr<host::IFeatureClass> featureClass() override;
  std::shared_ptr<host::IFeatureCursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                               bool reuse) override;
  const std::shared_ptr<MemoryTable>& table() const { return table_; }

 private:
  std::shared_ptr<MemoryTable> table_;
};

/// A feature layer whose display table is its feature class unless set otherwise.
class MemoryFeatureLayer : public MemoryBareFeatureLayer, public host::IDisplayTable {
 public:
  MemoryFeatureLayer(HostContext context, std::string name, std::shared_ptr<MemoryTable> table)
      : MemoryBareFeatureLayer(std::move(context), std::move(name), table),
        displayTable_(std::move(table)) {}
  std::shared_ptr<host::ITable> displayTable() override;
  /// Another display table (a joined table), or nothing.
  void setDisplayTable(std::shared_ptr<MemoryTable> table) { displayTable_ = std::move(table); }

 private:
  std::shared_ptr<MemoryTable> displayTable_;
};

class MemoryGroupLayer : public MemoryLayer, public host::IGroupLayer, public host::ICompositeLayer {
 public:
  using MemoryLayer::MemoryLayer;
  int32_t memberCount() override;
  std::shared_ptr<host::ILayer> member(int32_t index) override;
  MemoryGroupLayer& add(std::shared_ptr<host::ILayer> layer) {
    members_.push_back(std::move(layer));
    return *this;
  }
  /// Reports this many members however many were added (to test huge groups).
  void pretendMemberCount(int32_t count) { pretendCount_ = count; }

 private:
  std::vector<std::shared_ptr<host::ILayer>> members_;
  int32_t pretendCount_ = -1;
};

/// A map, which is also a view: it records the extents it is given.
class MemoryMap : public host::IMap, public host::IActiveView {
 public:
  MemoryMap(HostContext context, std::string name)
      : context_(std::move(context)), name_(std::move(name)) {}
  int32_t layerCount() override;
  std::shared_ptr<host::ILayer> layer(int32_t index) override;
  void setExtent(const std::shared_ptr<host::IEnvelope>& extent) override;
  std::shared_ptr<host::IActiveView> focusMap() override;
  void refresh() override;

  MemoryMap& add(std::shared_ptr<host::ILayer> layer) {
    layers_.push_back(std::move(layer));
    return *this;
  }
  void removeLayer(const std::shared_ptr<host::ILayer>& layer);
  void clearLayers() { layers_.clear(); }
  const Bounds& extent() const { return extent_; }
  int refreshCount() const { return refreshes_; }
  /// Forgets the extent and the refreshes the view was given.
  void resetView() {
    extent_ = Bounds{};
    refreshes_ = 0;
  }

 private:
  HostContext context_;
  std::string name_;
  std::vector<std::shared_ptr<host::ILayer>> layers_;
  Bounds extent_;
  int refreshes_ = 0;
};

/// The page layout view; its focus map is the document's map.
class MemoryPageLayout : public host::IActiveView, public host::IPageLayout {
 public:
  MemoryPageLayout(HostContext context, std::shared_ptr<MemoryMap> map)
      : context_(std::move(context)), map_(std::move(map)) {}
  void setExtent(const std::shared_ptr<host::IEnvelope>& extent) override;
  std::shared_ptr<host::IActiveView> focusMap() override;
  void refresh() override;
  const Bounds& extent() const { return extent_; }

 private:
  HostContext context_;
  std::shared_ptr<MemoryMap> map_;
  Bounds extent_;
};

class MemoryDocument : public host::IDocument {
 public:
  MemoryDocument(HostContext context, std::shared_ptr<MemoryMap> map)
      : context_(context), map_(map), layout_(std::make_shared<MemoryPageLayout>(context, map)) {}
  std::shared_ptr<host::IActiveView> activeView() override;
  std::shared_ptr<host::IMap> focusMap() override;

  const std::shared_ptr<MemoryMap>& map() const { return map_; }
  const std::shared_ptr<MemoryPageLayout>& layout() const { return layout_; }
  void showLayout(bool layout) { layoutActive_ = layout; }

 private:
  HostContext context_;
  std::shared_ptr<MemoryMap> map_;
  std::shared_ptr<MemoryPageLayout> layout_;
  bool layoutActive_ = false;
};

/// The status bar's progress indicator; records what it is told (steps only as a count).
class MemoryProgressIndicator : public host::IProgressIndicator {
 public:
  explicit MemoryProgressIndicator(HostContext context) : context_(std::move(context)) {}
  void setMessage(const std::string& message) override;
  void show() override;
  void step() override;
  void hide() override;
  void setMaximum(int32_t maximum) override;
  void setStepSize(int32_t stepSize) override;
  void setPosition(int32_t position) override;

  std::string message;
  int32_t maximum = 0, stepSize = 0, position = 0;
  bool visible = false;
  /// Steps in all, and since the indicator was last shown.
  int64_t steps = 0;
  int64_t stepsSinceShown = 0;

 private:
  HostContext context_;
};

class MemoryStatusBar : public host::IStatusBar {
 public:
  explicit MemoryStatusBar(HostContext context)
      : context_(context), progress_(std::make_shared<MemoryProgressIndicator>(context)) {}
  std::shared_ptr<host::IProgressIndicator> progressIndicator() override;
  const std::shared_ptr<MemoryProgressIndicator>& progress() const { return progress_; }

 private:
  HostContext context_;
  std::shared_ptr<MemoryProgressIndicator> progress_;
};

class MemoryApplication : public host::IApplication {
 public:
  MemoryApplication(HostContext context, std::shared_ptr<MemoryDocument> document)
      : context_(context),
        document_(std::move(document)),
        statusBar_(std::make_shared<MemoryStatusBar>(context)) {}
  ObjectRef document() override;
  std::shared_ptr<host::IStatusBar> statusBar() override;

  void setDocument(std::shared_ptr<MemoryDocument> document) { document_ = std::move(document); }
  const std::shared_ptr<MemoryDocument>& currentDocument() const { return document_; }
  const std::shared_ptr<MemoryStatusBar>& bar() const { return statusBar_; }

 private:
  HostContext context_;
  std::shared_ptr<MemoryDocument> document_;
  std::shared_ptr<MemoryStatusBar> statusBar_;
};

/// "xmin ymin xmax ymax" with the shortest round-trip texts, or "empty".
std::string boundsText(const Bounds& bounds);

}  // namespace corvale::memory

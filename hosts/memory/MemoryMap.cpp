#include "hosts/memory/MemoryMap.h"

#include <algorithm>

#include "runtime/Variant.h"

namespace corvale::memory {

namespace {
Bounds boundsOf(const std::shared_ptr<host::IEnvelope>& extent) {
  auto own = std::dynamic_pointer_cast<MemoryEnvelope>(extent);
  if (!own) raise(err::kTypeMismatch);
  return own->bounds();
}
}  // namespace

std::string boundsText(const Bounds& b) {
  if (b.empty) return "empty";
  return doubleText(b.xMin) + " " + doubleText(b.yMin) + " " + doubleText(b.xMax) + " " +
         doubleText(b.yMax);
}

std::string MemoryLayer::name() {
  context_.faults->hostCall("ILayer.name");
  return name_;
}

std::shared_ptr<host::IFeatureClass> MemoryBareFeatureLayer::featureClass() {
  context_.faults->hostCall("IFeatureLayer.featureClass");
  return table_;
}

std::shared_ptr<host::IFeatureCursor> MemoryBareFeatureLayer::search(
    const std::shared_ptr<host::IQueryFilter>& filter, bool reuse) {
  context_.faults->hostCall("IFeatureLayer.search");
  return std::make_shared<MemoryCursor>(table_, table_->select(MemoryTable::clauseOf(filter)),
                                        reuse);
}

std::shared_ptr<host::ITable> MemoryFeatureLayer::displayTable() {
  context_.faults->hostCall("IDisplayTable.displayTable");
  return displayTable_;
}

int32_t MemoryGroupLayer::memberCount() {
  context_.faults->hostCall("ICompositeLayer.memberCount");
  return pretendCount_ >= 0 ? pretendCount_ : static_cast<int32_t>(members_.size());
}

std::shared_ptr<host::ILayer> MemoryGroupLayer::member(int32_t index) {
  context_.faults->hostCall("ICompositeLayer.member");
  if (index < 0) raise(err::kHostUnspecified, "The layer index is out of range.");
  if (static_cast<size_t>(index) >= members_.size()) {
    if (pretendCount_ >= 0 && index < pretendCount_) return nullptr;
    raise(err::kHostUnspecified, "The layer index is out of range.");
  }
  return members_[static_cast<size_t>(index)];
}

int32_t MemoryMap::layerCount() {
  context_.faults->hostCall("IMap.layerCount");
  return static_cast<int32_t>(layers_.size());
}

std::shared_ptr<host::ILayer> MemoryMap::layer(int32_t index) {
  context_.faults->hostCall("IMap.layer");
  if (index < 0 || static_cast<size_t>(index) >= layers_.size()) {
    raise(err::kHostUnspecified, "The layer index is out of range.");
  }
  return layers_[static_cast<size_t>(index)];
}

void MemoryMap::removeLayer(const std::shared_ptr<host::ILayer>& layer) {
  layers_.erase(std::remove(layers_.begin(), layers_.end(), layer), layers_.end());
}

void MemoryMap::setExtent(const std::shared_ptr<host::IEnvelope>& extent) {
  context_.faults->hostCall("IActiveView.setExtent");
  extent_ = boundsOf(extent);
  context_.recorder->record("extent: map " + name_ + " " + boundsText(extent_));
}

std::shared_ptr<host::IActiveView> MemoryMap::focusMap() {
  context_.faults->hostCall("IActiveView.focusMap");
  raise(err::kHostUnspecified, "A map view has no focus map of its own.");
}

void MemoryMap::refresh() {
  context_.faults->hostCall("IActiveView.refresh");
  ++refreshes_;
  context_.recorder->record("refresh: map " + name_);
}

void MemoryPageLayout::setExtent(const std::shared_ptr<host::IEnvelope>& extent) {
  context_.faults->hostCall("IActiveView.setExtent");
  extent_ = boundsOf(extent);
  context_.recorder->record("extent: page " + boundsText(extent_));
}

std::shared_ptr<host::IActiveView> MemoryPageLayout::focusMap() {
  context_.faults->hostCall("IActiveView.focusMap");
  return map_;
}

void MemoryPageLayout::refresh() {
  context_.faults->hostCall("IActiveView.refresh");
  context_.recorder->record("refresh: page");
}

std::shared_ptr<host::IActiveView> MemoryDocument::activeView() {
  context_.faults->hostCall("IDocument.activeView");
  if (layoutActive_) return layout_;
  return map_;
}

std::shared_ptr<host::IMap> MemoryDocument::focusMap() {
  context_.faults->hostCall("IDocument.focusMap");
  return map_;
}

void MemoryProgressIndicator::setMessage(const std::string& text) {
  context_.faults->hostCall("IProgressIndicator.setMessage");
  message = text;
  context_.recorder->record("progress: message " + text);
}

void MemoryProgressIndicator::show() {
  context_.faults->hostCall("IProgressIndicator.show");
  visible = true;
  stepsSinceShown = 0;
  context_.recorder->record("progress: show");
}

void MemoryProgressIndicator::step() {
  context_.faults->hostCall("IProgressIndicator.step");
  position += stepSize;
  ++steps;
  ++stepsSinceShown;
}

void MemoryProgressIndicator::hide() {
  context_.faults->hostCall("IProgressIndicator.hide");
  visible = false;
  context_.recorder->record("progress: hide after " + std::to_string(stepsSinceShown) +
                            " steps");
}

void MemoryProgressIndicator::setMaximum(int32_t value) {
  context_.faults->hostCall("IProgressIndicator.setMaximum");
  maximum = value;
  context_.recorder->record("progress: maximum " + std::to_string(value));
}

void MemoryProgressIndicator::setStepSize(int32_t value) {
  context_.faults->hostCall("IProgressIndicator.setStepSize");
  stepSize = value;
}

void MemoryProgressIndicator::setPosition(int32_t value) {
  context_.faults->hostCall("IProgressIndicator.setPosition");
  position = value;
}

std::shared_ptr<host::IProgressIndicator> MemoryStatusBar::progressIndicator() {
  context_.faults->hostCall("IStatusBar.progressIndicator");
  return progress_;
}

ObjectRef MemoryApplication::document() {
  context_.faults->hostCall("IApplication.document");
  return document_;
}

std::shared_ptr<host::IStatusBar> MemoryApplication::statusBar() {
  context_.faults->hostCall("IApplication.statusBar");
  return statusBar_;
}

}  // namespace corvale::memory

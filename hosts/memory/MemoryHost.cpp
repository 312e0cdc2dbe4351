#include "hosts/memory/MemoryHost.h"

namespace corvale::memory {

std::string MemoryFrameWindow::label() const {
  return "frame " + std::to_string(number_) + (caption_.empty() ? "" : " (" + caption_ + ")");
}

void MemoryFrameWindow::attach(const std::shared_ptr<host::IWindow>& window) {
  context_.faults->hostCall("IFrameWindow.attach");
  form_ = need(window).hWnd();
  context_.recorder->record(label() + ": attached");
}

void MemoryFrameWindow::setVisible(bool visible) {
  context_.faults->hostCall("IFrameWindow.setVisible");
  visible_ = visible;
  context_.recorder->record(label() + (visible ? ": visible" : ": hidden"));
}

bool MemoryFrameWindow::visible() {
  context_.faults->hostCall("IFrameWindow.visible");
  return visible_;
}

void MemoryFrameWindow::setCaption(const std::string& caption) {
  context_.faults->hostCall("IFrameWindow.setCaption");
  caption_ = caption;
  ++captionChanges_;
  context_.recorder->record(label() + ": caption");
}

void MemoryFrameWindow::move(int32_t left, int32_t top, int32_t width, int32_t height) {
  context_.faults->hostCall("IWindowPosition.move");
  left_ = left;
  top_ = top;
  context_.recorder->record(label() + ": moved to " + std::to_string(left) + " " +
                            std::to_string(top) + " " + std::to_string(width) + " " +
                            std::to_string(height));
}

void MemoryFrameWindow::closeByUser() {
  visible_ = false;
  context_.recorder->record(label() + ": closed by the user");
}

MemoryHost::MemoryHost()
    : map(std::make_shared<MemoryMap>(context, "Layers")),
      document(std::make_shared<MemoryDocument>(context, map)),
      application(std::make_shared<MemoryApplication>(context, document)) {}

std::shared_ptr<MemoryTable> MemoryHost::table() {
  return std::make_shared<MemoryTable>(context.faults);
}

std::shared_ptr<MemoryFeatureLayer> MemoryHost::featureLayer(const std::string& name,
                                                             std::shared_ptr<MemoryTable> t) {
  return std::make_shared<MemoryFeatureLayer>(context, name, std::move(t));
}

std::shared_ptr<MemoryGroupLayer> MemoryHost::groupLayer(const std::string& name) {
  return std::make_shared<MemoryGroupLayer>(context, name);
}

std::shared_ptr<MemoryOtherLayer> MemoryHost::otherLayer(const std::string& name) {
  return std::make_shared<MemoryOtherLayer>(context, name);
}

std::shared_ptr<MemoryGeometry> MemoryHost::point(double x, double y) {
  return std::make_shared<MemoryGeometry>(context.faults,
                                          std::vector<std::pair<double, double>>{{x, y}});
}

std::shared_ptr<MemoryGeometry> MemoryHost::line(std::vector<std::pair<double, double>> vertices) {
  return std::make_shared<MemoryGeometry>(context.faults, std::move(vertices));
}

std::shared_ptr<MemoryGeometry> MemoryHost::emptyShape() {
  return std::make_shared<MemoryGeometry>(context.faults, std::vector<std::pair<double, double>>{});
}

std::shared_ptr<MemoryDocument> MemoryHost::replaceDocument() {
  map = std::make_shared<MemoryMap>(context, "Layers");
  document = std::make_shared<MemoryDocument>(context, map);
  application->setDocument(document);
  return document;
}

ObjectRef MemoryHost::createAppReference() {
  context.faults->hostCall("AppRef.create");
  return application;
}

std::shared_ptr<host::IQueryFilter> MemoryHost::createQueryFilter() {
  context.faults->hostCall("QueryFilter.create");
  return std::make_shared<MemoryQueryFilter>(context.faults);
}

std::shared_ptr<host::IFrameWindow> MemoryHost::createFrameWindow() {
  context.faults->hostCall("FrameWindow.create");
  auto frame = std::make_shared<MemoryFrameWindow>(context, ++framesCreated_);
  frames_.push_back(frame);
  return frame;
}

std::vector<std::shared_ptr<MemoryFrameWindow>> MemoryHost::frames() const {
  std::vector<std::shared_ptr<MemoryFrameWindow>> alive;
  for (const auto& weak : frames_) {
    if (auto frame = weak.lock()) alive.push_back(frame);
  }
  return alive;
}

}  // namespace corvale::memory

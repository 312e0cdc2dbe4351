#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Services.h"
#include "hosts/memory/MemoryMap.h"

namespace corvale::memory {

/**
 * A frame window of the in-memory host. Attaching asks the window for its
 * handle (which loads it); visibility, caption and moves are recorded. The
 * frame's own close control only hides it.
 */
class MemoryFrameWindow : public host::IFrameWindow, public host::IWindowPosition {
 public:
  MemoryFrameWindow(HostContext context, int number)
      : context_(std::move(context)), number_(number) {}
  void attach(const std::shared_ptr<host::IWindow>& window) override;
  void setVisible(bool visible) override;
  bool visible() override;
  void setCaption(const std::string& caption) override;
  void move(int32_t left, int32_t top, int32_t width, int32_t height) override;

  /// The user presses the frame's own close control.
  void closeByUser();
  bool isVisible() const { return visible_; }
  const std::string& caption() const { return caption_; }
  const std::shared_ptr<host::IForm>& form() const { return form_; }
  int left() const { return left_; }
  int top() const { return top_; }
  int captionChanges() const { return captionChanges_; }

 private:
  std::string label() const;

  HostContext context_;
  int number_;
  std::shared_ptr<host::IForm> form_;
  bool visible_ = false;
  std::string caption_;
  int32_t left_ = 0, top_ = 0;
  int captionChanges_ = 0;
};

/**
 * The in-memory map host: an application with one document whose focus map
 * the tests fill with layers, the creatable host classes, and the shared
 * fault injector and recorder. Objects made through it count their calls.
 */
class MemoryHost : public host::IHostClasses {
 public:
  MemoryHost();

  HostContext context;
  std::shared_ptr<MemoryMap> map;
  std::shared_ptr<MemoryDocument> document;
  std::shared_ptr<MemoryApplication> application;

  FaultInjector& faults() { return *context.faults; }
  Recorder& recorder() { return *context.recorder; }
  MemoryProgressIndicator& progress() { return *application->bar()->progress(); }

  // Building the map.
  std::shared_ptr<MemoryTable> table();
  std::shared_ptr<MemoryFeatureLayer> featureLayer(const std::string& name,
                                                   std::shared_ptr<MemoryTable> table);
  std::shared_ptr<MemoryGroupLayer> groupLayer(const std::string& name);
  std::shared_ptr<MemoryOtherLayer> otherLayer(const std::string& name);
  std::shared_ptr<MemoryGeometry> point(double x, double y);
  std::shared_ptr<MemoryGeometry> line(std::vector<std::pair<double, double>> vertices);
  std::shared_ptr<MemoryGeometry> emptyShape();
  /// A new document with a map of its own, made current (the project replaced).
  std::shared_ptr<MemoryDocument> replaceDocument();

  // IHostClasses
  ObjectRef createAppReference() override;
  std::shared_ptr<host::IQueryFilter> createQueryFilter() override;
  std::shared_ptr<host::IFrameWindow> createFrameWindow() override;

  /// The frame windows created so far that are still alive, oldest first.
  std::vector<std::shared_ptr<MemoryFrameWindow>> frames() const;

 private:
  std::vector<std::weak_ptr<MemoryFrameWindow>> frames_;
  int framesCreated_ = 0;
};

}  // namespace corvale::memory

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/MapModel.h"

namespace corvale::host {

/// The progress indicator of the host's status bar, with its range.
class IProgressIndicator : public virtual Object {
 public:
  virtual void setMessage(const std::string& message) = 0;
  virtual void show() = 0;
  virtual void step() = 0;
  virtual void hide() = 0;
  virtual void setMaximum(int32_t maximum) = 0;
  virtual void setStepSize(int32_t stepSize) = 0;
  virtual void setPosition(int32_t position) = 0;
};

class IStatusBar : public virtual Object {
 public:
  virtual std::shared_ptr<IProgressIndicator> progressIndicator() = 0;
};

/// An open map document.
class IDocument : public virtual Object {
 public:
  virtual std::shared_ptr<IActiveView> activeView() = 0;
  virtual std::shared_ptr<IMap> focusMap() = 0;
};

/// The running host application.
class IApplication : public virtual Object {
 public:
  /// The current document, to be asked for IDocument.
  virtual ObjectRef document() = 0;
  virtual std::shared_ptr<IStatusBar> statusBar() = 0;
};

}  // namespace corvale::host

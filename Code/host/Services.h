#pragma once

#include <memory>

#include "host/Application.h"
#include "host/FileSystem.h"
#include "host/Forms.h"

namespace corvale::host {

/// The classes of the host that the component creates instances of.
class IHostClasses {
 public:
  virtual ~IHostClasses() = default;
  /// A new application reference: an object that offers the running IApplication.
  virtual ObjectRef createAppReference() = 0;
  virtual std::shared_ptr<IQueryFilter> createQueryFilter() = 0;
  /// A new frame window; it offers IFrameWindow and IWindowPosition.
  virtual std::shared_ptr<IFrameWindow> createFrameWindow() = 0;
};

/**
 * What the host and the platform provide to the component on this thread.
 * A host adapter fills it before it creates the command; a service that is
 * missing makes each use of it failure 91.
 */
struct Services {
  std::shared_ptr<IHostClasses> hostClasses;
  std::shared_ptr<IFileSystem> fileSystem;
  std::shared_ptr<IFormsToolkit> forms;
};

/// The services of the calling thread.
Services& services();

IHostClasses& hostClasses();
IFileSystem& fileSystem();
IFormsToolkit& forms();

}  // namespace corvale::host

#pragma once

#include "host/Services.h"

namespace corvale::arcmap {

/**
 * The host's classes the component creates, made with CoCreateInstance
 * (in-process, asked for IUnknown) and wrapped by the adapter: the
 * application reference, the query filter and the frame window. A class the
 * host does not provide is its HRESULT's failure ("Class not registered").
 */
class ComHostClasses : public host::IHostClasses {
 public:
  ObjectRef createAppReference() override;
  std::shared_ptr<host::IQueryFilter> createQueryFilter() override;
  std::shared_ptr<host::IFrameWindow> createFrameWindow() override;
};

/**
 * Installs the services of the calling thread that are not installed yet:
 * these host classes, the Win32 file system and the Win32 forms toolkit.
 * From then on the DLL stays loaded (module::keepLoaded).
 */
void installServices();

}  // namespace corvale::arcmap

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

/**
 * Ends the calling thread's instance of the component, as the host's release
 * of the thread's last command does: every loaded window is unloaded, the
 * product's shared values go back to their start (which releases every
 * reference held on the host's objects), open files are closed and the
 * services are removed. It runs on the thread that owns the windows and
 * while its apartment is alive, never at the thread's end, when the system
 * has already taken the windows and COM is gone. Nothing escapes.
 */
void endThreadInstance() noexcept;

}  // namespace corvale::arcmap

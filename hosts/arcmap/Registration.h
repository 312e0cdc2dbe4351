#pragma once

#include <windows.h>

namespace corvale::arcmap {

/// Where the class is entered: for every user of the machine, or for the calling user only.
enum class RegistrationScope { Machine, User };

/**
 * Enters the command class into the COM class tables of the scope
 * (HKLM\Software\Classes, or HKCU\Software\Classes for one user):
 *   CLSID\{class}                       = "CorvaleStreetSearch"
 *     InprocServer32                    = the DLL's full path, ThreadingModel = "Apartment"
 *     ProgID                            = "CorvaleGIS.CorvaleStreetSearch"
 *     TypeLib                           = "{type library}"
 *     Implemented Categories\{host's command category}
 *   CorvaleGIS.CorvaleStreetSearch      = "CorvaleStreetSearch"
 *     CLSID                             = "{class}"
 * and registers the type library embedded in the DLL (RegisterTypeLib, or
 * RegisterTypeLibForUser). A step that fails undoes the steps before it.
 */
HRESULT registerServer(RegistrationScope scope) noexcept;

/**
 * Removes exactly what registerServer enters: the two keys above with what
 * they hold and the type library's registration. Keys it never writes (the
 * category's own key, the host's interfaces) stay. Nothing registered is not
 * a failure.
 */
HRESULT unregisterServer(RegistrationScope scope) noexcept;

}  // namespace corvale::arcmap

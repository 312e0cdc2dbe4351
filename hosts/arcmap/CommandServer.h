#pragma once

#include <windows.h>

namespace corvale::arcmap {

/**
 * The class object of the command class (identity::CommandClass), asked for
 * `iid`: a class factory whose instances are the command, each over its own
 * portable CorvaleStreetSearch and calling it on the thread that created it.
 * Another class identifier is CLASS_E_CLASSNOTAVAILABLE.
 */
HRESULT getClassObject(REFCLSID classId, REFIID iid, void** out) noexcept;

}  // namespace corvale::arcmap

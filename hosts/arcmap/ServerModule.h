#pragma once

#include <windows.h>

#include <string>

namespace corvale::arcmap::module {

/**
 * The DLL's own bookkeeping: the objects of it that are alive (commands,
 * class factories, windows handed to the host) and the host's locks, which
 * together decide whether the DLL may be unloaded; and the DLL's handle and
 * path.
 */
void objectCreated() noexcept;
void objectDestroyed() noexcept;
void lock(bool locked) noexcept;
long liveObjects() noexcept;

/**
 * Once the component has made state of its own on some thread (its windows,
 * whose window procedures live in this DLL, and the product state), the DLL
 * stays loaded for the rest of the process: unloading it would leave windows
 * without their code.
 */
void keepLoaded() noexcept;

/// True when nothing of the DLL is alive, nothing is locked and the component made no state.
bool canUnload() noexcept;

void setHandle(HMODULE handle) noexcept;
HMODULE handle() noexcept;
/// The full path of the DLL.
std::wstring path();

/// Counts one live object of the DLL for as long as it lives.
class LiveObject {
 public:
  LiveObject() noexcept { objectCreated(); }
  ~LiveObject() { objectDestroyed(); }
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
};

}  // namespace corvale::arcmap::module

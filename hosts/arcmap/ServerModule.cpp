#include "hosts/arcmap/ServerModule.h"

#include <atomic>

#include "runtime/Failure.h"

namespace corvale::arcmap::module {

namespace {
std::atomic<long> objects{0};
std::atomic<long> locks{0};
std::atomic<bool> pinned{false};
HMODULE dll = nullptr;
}  // namespace

void objectCreated() noexcept { ++objects; }
void objectDestroyed() noexcept { --objects; }

void lock(bool locked) noexcept {
  if (locked)
    ++locks;
  else
    --locks;
}

long liveObjects() noexcept { return objects.load(); }

void keepLoaded() noexcept { pinned = true; }

bool canUnload() noexcept { return objects.load() == 0 && locks.load() <= 0 && !pinned.load(); }

void setHandle(HMODULE handle) noexcept { dll = handle; }

HMODULE handle() noexcept { return dll; }

std::wstring path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(dll, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) raise(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())), "The DLL's path is unknown");
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace corvale::arcmap::module

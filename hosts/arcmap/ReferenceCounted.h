#pragma once

#include <windows.h>

#include <atomic>

namespace corvale::arcmap {

/**
 * IUnknown's reference counting for an object of the server made with new:
 * the count starts at one, the creator's reference, and the Release that
 * takes it to zero ends the object through destroy(). The object answers
 * QueryInterface itself.
 */
template <class Interface>
class ReferenceCounted : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) destroy();
    return static_cast<ULONG>(left);
  }

 protected:
  virtual ~ReferenceCounted() = default;
  /// Ends the object; one whose end may fail overrides it to keep failures in.
  virtual void destroy() { delete this; }

 private:
  std::atomic<long> references_{1};
};

}  // namespace corvale::arcmap

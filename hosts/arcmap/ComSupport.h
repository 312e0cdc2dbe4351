#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "errors/ErrorHandling.h"
#include "runtime/Failure.h"
#include "runtime/Variant.h"

namespace corvale::arcmap {

/**
 * One reference to a COM object: released exactly once, when the holder goes
 * or is given another object. Null is "nothing".
 */
class ComRef {
 public:
  ComRef() = default;
  /// Takes over a reference the caller owns (an out-argument's result).
  static ComRef adopt(IUnknown* object) noexcept {
    ComRef ref;
    ref.object_ = object;
    return ref;
  }
  /// Adds a reference of its own to an object someone else owns.
  static ComRef share(IUnknown* object) noexcept {
    if (object) object->AddRef();
    return adopt(object);
  }
  ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { reset(); }

  void reset() noexcept {
    if (auto* old = std::exchange(object_, nullptr)) old->Release();
  }
  IUnknown* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  IUnknown* object_ = nullptr;
};

/**
 * The failure a failing HRESULT of a host call stands for: its number is the
 * HRESULT; its description comes from the error object the callee left when
 * it offers one for that interface, otherwise from the system's text for the
 * number.
 */
[[noreturn]] void raiseHostFailure(HRESULT hr, IUnknown* object, const GUID& iid);

/// The system's text for an HRESULT ("Automation error" when it has none), without line ends.
std::string systemText(HRESULT hr);

/// The HRESULT that reports the failure to a COM caller (host failures keep their own number).
HRESULT hresultOf(const Failure& failure) noexcept;

/**
 * Runs the body of an entry point the host calls: its HRESULT, or, when a
 * failure escapes it, the failure's HRESULT, with an error object carrying
 * its description. Nothing thrown ever crosses the COM boundary.
 */
/// Records the failure as the thread's error object and returns its HRESULT.
HRESULT reportToCaller(const Failure& failure) noexcept;

template <class Body>
HRESULT guarded(Body&& body) noexcept {
  HRESULT result = E_UNEXPECTED;
  auto failure = Trap::run([&] { result = body(); });
  if (failure) return reportToCaller(*failure);
  return result;
}

/**
 * One operation of a host interface: the slot of its table of operations,
 * `__stdcall`, `this` first, an HRESULT back. Calls through anything else
 * than an interface pointer of that interface are undefined.
 */
template <const GUID& Iid, int Slot, class... Args>
struct Operation {
  static constexpr const GUID& iid = Iid;
  static constexpr int slot = Slot;

  /// Calls the operation and returns its HRESULT as it is.
  static HRESULT raw(IUnknown* self, Args... args) {
    using Entry = HRESULT(__stdcall*)(IUnknown*, Args...);
    void* const* table = *reinterpret_cast<void* const* const*>(self);
    Entry entry;
    std::memcpy(&entry, &table[Slot], sizeof entry);
    return entry(self, args...);
  }

  /// Calls the operation; a failing HRESULT is raised as the host's failure.
  static void call(IUnknown* self, Args... args) {
    if (!self) raise(err::kObjectNotSet);
    const HRESULT hr = raw(self, args...);
    if (FAILED(hr)) raiseHostFailure(hr, self, Iid);
  }
};

/// A BSTR the holder owns: freed exactly once.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8);
  Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  Bstr& operator=(Bstr&&) = delete;
  Bstr(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text_); }

  BSTR get() const noexcept { return text_; }
  /// The out-argument to fill; frees what was held.
  BSTR* out() noexcept {
    SysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }
  /// Hands the string over to a caller who frees it.
  BSTR release() noexcept { return std::exchange(text_, nullptr); }
  std::string utf8() const;

 private:
  BSTR text_ = nullptr;
};

/// The UTF-8 text of a BSTR; a null BSTR is the empty text.
std::string utf8Of(BSTR text);

/**
 * A new BSTR of a UTF-8 text (bytes that are not UTF-8 become U+FFFD).
 * Out of memory is failure 7.
 */
BSTR newBstr(std::string_view utf8);

/// A VARIANT the holder owns: cleared exactly once.
class VariantHolder {
 public:
  VariantHolder() { VariantInit(&value_); }
  ~VariantHolder() { VariantClear(&value_); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  VARIANT* out() noexcept {
    VariantClear(&value_);
    return &value_;
  }
  const VARIANT& get() const noexcept { return value_; }

 private:
  VARIANT value_;
};

/**
 * The component's value of a VARIANT: empty, null, text, integers, floating
 * numbers (currency and decimal too), dates, Booleans; an interface pointer
 * becomes an object that offers nothing. Arrays, references and error codes
 * are failure 13; an unsigned 64-bit value beyond the signed range is 6.
 */
Variant variantFrom(const VARIANT& value);

/**
 * The standard text of a VARIANT: the system's conversion to a string under
 * the user's locale (numbers and dates as the locale writes them; Booleans
 * "True" and "False"); nothing for null. A value that has no text is the
 * conversion's failure.
 */
std::optional<std::string> standardText(const VARIANT& value);

/**
 * The same text written over `text` (its storage reused, for a loop over
 * rows); false, with `text` as it was, for null.
 */
bool standardText(const VARIANT& value, std::string& text);

inline VARIANT_BOOL variantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace corvale::arcmap

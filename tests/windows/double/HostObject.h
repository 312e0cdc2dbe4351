#pragma once

// The machinery of the host double: objects with plain tables of operations,
// one table per interface identifier, indexed by slot, as the host's object
// model lays them out. Nothing here knows the component's own declarations:
// a slot or identifier the component gets wrong lands on a recording entry
// or on E_NOINTERFACE, and the tests fail.

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace corvale::windouble {

class Object;

/// One interface pointer of an object: its first member is the table of operations.
struct Face {
  const void* const* table;
  Object* owner;
};

/// An interface of the host's object model: its identifier, its name for messages and its table.
struct Interface {
  GUID iid;
  const char* name;
  std::vector<void*> slots;
};

/// The identifier written as "{...}"; a malformed text stops the program.
GUID guidOf(const char* text);
std::string textOf(const GUID& id);

/**
 * Declares an interface: slots 0 to 2 are the shared QueryInterface, AddRef and
 * Release; every slot up to the highest named one that is not named gets an
 * entry that records the call as an error and answers E_NOTIMPL.
 */
const Interface& declareInterface(const char* iid, const char* name,
                                  std::initializer_list<std::pair<int, void*>> named);

/**
 * What every call into the double goes through: counting, one chosen failing
 * call, and the errors the double saw (calls of slots the host never serves,
 * releases of destroyed objects, foreign objects handed in).
 */
class Ledger {
 public:
  static Ledger& get();

  /// Counts one served call; returns the failure to answer when it is the chosen one, else S_OK.
  HRESULT enter(const char* operation);
  /// Makes call number n (from 1) fail with hr; 0 fails none. Resets the count.
  void failCall(int64_t n, HRESULT hr);
  int64_t calls() const { return calls_; }
  bool injected() const { return injected_; }
  const std::string& injectedOperation() const { return injectedOperation_; }

  void error(const std::string& what);
  std::vector<std::string> errors() const;
  void clearErrors();

  /// Every served operation is also counted by name while this is on (for the timing of reads).
  std::vector<std::string> operations;
  bool keepOperations = false;

 private:
  mutable std::mutex mutex_;
  int64_t calls_ = 0, failAt_ = 0;
  HRESULT failWith_ = E_FAIL;
  bool injected_ = false;
  std::string injectedOperation_;
  std::vector<std::string> errors_;
};

/**
 * An object of the double. It starts with one reference, its creator's, and
 * answers QueryInterface for IUnknown and exactly the interfaces it was given.
 * When its count reaches 0 it is destroyed after a while: it first waits among
 * the recently released so that one release too many is caught, not a crash.
 */
class Object {
 public:
  Object(const char* kind, std::initializer_list<const Interface*> interfaces);
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  /// The interface pointer for that identifier, with a reference added; nullptr when not offered.
  void* query(const GUID& iid);
  /// The pointer of the first interface, without a reference added (for the double's own use).
  void* unknown() { return &faces_.front(); }
  ULONG addRef();
  ULONG release();
  LONG count() const { return refs_; }
  const char* kind() const { return kind_; }
  bool destroyed() const { return destroyed_; }

  /// The object behind a pointer the component handed in, when it is one of the double's; else nullptr.
  static Object* of(void* pointer);
  template <class T>
  static T* as(void* pointer) {
    return dynamic_cast<T*>(of(pointer));
  }

  /// Objects alive now, by kind, with their counts (for the reference-count test).
  static std::vector<std::pair<std::string, LONG>> alive();
  /// Destroys every released object still waiting.
  static void flushReleased();

 protected:
  /// Runs once when the count reaches 0, before the object waits among the released.
  virtual void lastReleased() {}

 private:
  const char* kind_;
  std::vector<Face> faces_;
  std::vector<const Interface*> interfaces_;
  LONG refs_ = 1;
  bool destroyed_ = false;
};

/// A held reference to an object of the double, released at the end of its life.
template <class T>
class Held {
 public:
  Held() = default;
  explicit Held(T* adopted) : p_(adopted) {}
  Held(const Held& other) : p_(other.p_) {
    if (p_) p_->addRef();
  }
  Held& operator=(Held other) {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Held() {
    if (p_) p_->release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

template <class T, class... A>
Held<T> make(A&&... args) {
  return Held<T>(new T(std::forward<A>(args)...));
}

/// Serves one operation: counts it and answers the chosen failure without side effects.
template <class T, class F>
HRESULT serve(Face* self, const char* operation, F&& body) {
  if (HRESULT hr = Ledger::get().enter(operation); FAILED(hr)) return hr;
  return body(*static_cast<T*>(self->owner));
}

/// Hands out an interface of an object to an out-argument (one reference for the caller).
HRESULT giveOut(Object* object, const GUID& iid, void** out);

BSTR bstrOf(const std::string& utf8);
std::string utf8Of(const wchar_t* text, int length = -1);
/// A BSTR's text, by its stored length (embedded nulls kept).
std::string utf8OfBstr(BSTR text);

}  // namespace corvale::windouble

#include "double/HostObject.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>
#include <utility>

namespace corvale::windouble {
namespace {

std::deque<Interface>& interfaces() {
  static std::deque<Interface> all;  // a deque: tables never move
  return all;
}

std::set<const void*>& knownTables() {
  static std::set<const void*> tables;
  return tables;
}

std::unordered_set<Object*>& living() {
  static std::unordered_set<Object*> objects;
  return objects;
}

std::deque<Object*>& released() {
  static std::deque<Object*> objects;
  return objects;
}
constexpr size_t kReleasedKept = 4096;

const Interface* interfaceOfTable(const void* const* table) {
  for (const auto& i : interfaces()) {
    if (static_cast<const void*>(i.slots.data()) == static_cast<const void*>(table)) return &i;
  }
  return nullptr;
}

HRESULT STDMETHODCALLTYPE queryInterface(Face* self, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = self->owner->query(iid);
  return *out ? S_OK : E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE addRef(Face* self) { return self->owner->addRef(); }
ULONG STDMETHODCALLTYPE release(Face* self) { return self->owner->release(); }

/// A slot the host never serves: recorded as an error. Its argument count is
/// unknown, so it is written to the error stream at once in case the call
/// leaves the caller's stack unbalanced.
template <int Slot>
HRESULT STDMETHODCALLTYPE unserved(Face* self) {
  const Interface* i = interfaceOfTable(self->table);
  std::string what = std::string("slot ") + std::to_string(Slot) + " of " +
                     (i ? i->name : "an unknown interface") + " called, which the host never serves";
  std::fprintf(stderr, "host double: %s\n", what.c_str());
  std::fflush(stderr);
  Ledger::get().error(what);
  return E_NOTIMPL;
}

template <int... S>
std::vector<void*> unservedTable(std::integer_sequence<int, S...>) {
  return {reinterpret_cast<void*>(&unserved<S>)...};
}

}  // namespace

GUID guidOf(const char* text) {
  std::wstring wide(text, text + std::char_traits<char>::length(text));
  GUID id;
  if (FAILED(IIDFromString(wide.c_str(), &id))) {
    std::fprintf(stderr, "host double: malformed identifier %s\n", text);
    std::abort();
  }
  return id;
}

std::string textOf(const GUID& id) {
  wchar_t buffer[64];
  StringFromGUID2(id, buffer, 64);
  return utf8Of(buffer, -1);
}

const Interface& declareInterface(const char* iid, const char* name,
                                  std::initializer_list<std::pair<int, void*>> named) {
  static const std::vector<void*> fillers = unservedTable(std::make_integer_sequence<int, 64>{});
  int highest = 2;
  for (const auto& [slot, fn] : named) highest = std::max(highest, slot);
  Interface& i = interfaces().emplace_back();
  i.iid = guidOf(iid);
  i.name = name;
  i.slots.assign(fillers.begin(), fillers.begin() + highest + 1);
  i.slots[0] = reinterpret_cast<void*>(&queryInterface);
  i.slots[1] = reinterpret_cast<void*>(&addRef);
  i.slots[2] = reinterpret_cast<void*>(&release);
  for (const auto& [slot, fn] : named) i.slots[static_cast<size_t>(slot)] = fn;
  knownTables().insert(i.slots.data());
  return i;
}

Ledger& Ledger::get() {
  static Ledger ledger;
  return ledger;
}

HRESULT Ledger::enter(const char* operation) {
  std::lock_guard lock(mutex_);
  ++calls_;
  if (keepOperations) operations.emplace_back(operation);
  if (calls_ == failAt_) {
    injected_ = true;
    injectedOperation_ = operation;
    return failWith_;
  }
  return S_OK;
}

void Ledger::failCall(int64_t n, HRESULT hr) {
  std::lock_guard lock(mutex_);
  calls_ = 0;
  failAt_ = n;
  failWith_ = hr;
  injected_ = false;
  injectedOperation_.clear();
}

void Ledger::error(const std::string& what) {
  std::lock_guard lock(mutex_);
  errors_.push_back(what);
}

std::vector<std::string> Ledger::errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

void Ledger::clearErrors() {
  std::lock_guard lock(mutex_);
  errors_.clear();
}

Object::Object(const char* kind, std::initializer_list<const Interface*> offered)
    : kind_(kind), interfaces_(offered) {
  faces_.reserve(interfaces_.size());
  for (const Interface* i : interfaces_) {
    faces_.push_back(Face{const_cast<const void* const*>(i->slots.data()), this});
  }
  living().insert(this);
}

Object::~Object() { living().erase(this); }

void* Object::query(const GUID& iid) {
  if (destroyed_) {
    Ledger::get().error(std::string("QueryInterface on a destroyed ") + kind_);
    return nullptr;
  }
  if (IsEqualGUID(iid, IID_IUnknown)) {
    addRef();
    return &faces_.front();
  }
  for (size_t k = 0; k < interfaces_.size(); ++k) {
    if (IsEqualGUID(iid, interfaces_[k]->iid)) {
      addRef();
      return &faces_[k];
    }
  }
  return nullptr;
}

ULONG Object::addRef() {
  if (destroyed_) Ledger::get().error(std::string("AddRef on a destroyed ") + kind_);
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG Object::release() {
  if (destroyed_) {
    Ledger::get().error(std::string("Release on a destroyed ") + kind_);
    return 0;
  }
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    destroyed_ = true;
    lastReleased();
    released().push_back(this);
    if (released().size() > kReleasedKept) {
      delete released().front();
      released().pop_front();
    }
  }
  return static_cast<ULONG>(left);
}

Object* Object::of(void* pointer) {
  if (!pointer) return nullptr;
  auto* face = static_cast<Face*>(pointer);
  if (!knownTables().count(face->table)) return nullptr;
  return face->owner;
}

std::vector<std::pair<std::string, LONG>> Object::alive() {
  std::vector<std::pair<std::string, LONG>> list;
  for (Object* o : living()) {
    if (!o->destroyed_) list.emplace_back(o->kind_, o->refs_);
  }
  return list;
}

void Object::flushReleased() {
  for (Object* o : released()) delete o;
  released().clear();
}

HRESULT giveOut(Object* object, const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = object ? object->query(iid) : nullptr;
  if (object && !*out) return E_NOINTERFACE;
  return S_OK;
}

BSTR bstrOf(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), s, n);
  return s;
}

std::string utf8Of(const wchar_t* text, int length) {
  if (!text) return {};
  if (length < 0) length = static_cast<int>(wcslen(text));
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, s.data(), n, nullptr, nullptr);
  return s;
}

std::string utf8OfBstr(BSTR text) { return text ? utf8Of(text, static_cast<int>(SysStringLen(text))) : ""; }

}  // namespace corvale::windouble

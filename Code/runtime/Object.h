#pragma once

#include <memory>

#include "runtime/Failure.h"

namespace corvale {

/**
 * The root of every object the component holds a reference to: host objects,
 * windows, file-system objects. A reference is a std::shared_ptr; "nothing" is
 * the empty pointer. Interfaces derive virtually from Object so that one
 * object can offer several of them.
 */
class Object {
 public:
  virtual ~Object() = default;

 protected:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
};

using ObjectRef = std::shared_ptr<Object>;

/**
 * The object behind `ref` itself, for a call through it. Calling through
 * nothing is failure 91 "Object variable or With block variable not set".
 */
template <class T>
T& need(const std::shared_ptr<T>& ref) {
  if (!ref) raise(err::kObjectNotSet);
  return *ref;
}

/**
 * Asks `ref` for interface I. Asking nothing is failure 91; an object that
 * does not offer I is failure 13 "Type mismatch".
 */
template <class I, class T>
std::shared_ptr<I> query(const std::shared_ptr<T>& ref) {
  if (!ref) raise(err::kObjectNotSet);
  auto result = std::dynamic_pointer_cast<I>(ref);
  if (!result) raise(err::kTypeMismatch);
  return result;
}

/// The type test: true when `ref` is an object that offers I. Nothing is no object.
template <class I, class T>
bool isA(const std::shared_ptr<T>& ref) {
  return ref && dynamic_cast<I*>(ref.get()) != nullptr;
}

}  // namespace corvale

#pragma once

#include <utility>

namespace corvale {

/**
 * One instance of T for the calling thread, made on first use.
 *
 * With MinGW-w64 (emulated thread-local storage), a thread's variables are
 * freed at its end before the destructors of those variables run, so a
 * thread-local object with a destructor frees memory twice. There the
 * instance lives on the heap behind a plain thread-local pointer and is
 * ended by endPerThread<T>(), which the Windows host adapter calls while the
 * thread's windows and apartment still exist. Elsewhere it ends with the
 * thread.
 */
#ifdef _WIN32
template <class T>
T*& perThreadSlot() {
  thread_local T* instance = nullptr;
  return instance;
}

template <class T>
T& perThread() {
  T*& instance = perThreadSlot<T>();
  if (!instance) instance = new T();
  return *instance;
}

/// Ends the calling thread's instance (a later use makes a new one).
template <class T>
void endPerThread() {
  delete std::exchange(perThreadSlot<T>(), nullptr);
}
#else
template <class T>
T& perThread() {
  thread_local T instance;
  return instance;
}

template <class T>
void endPerThread() {
  perThread<T>() = T();
}
#endif

}  // namespace corvale

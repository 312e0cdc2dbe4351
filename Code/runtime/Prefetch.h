#pragma once

namespace corvale {

/// Asks the processor to bring the cache line at p in for reading. Changes
/// nothing and waits for nothing; a no-op where the compiler has no such hint.
inline void prefetch(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

/**
 * Asks for the cache line at p with the intent to write it, for memory last
 * touched on another core: a plain write waits for that core to give the
 * line up, and the writes after it wait behind it. Asked for early, the line
 * is this core's by the time it is written. On x86 this is PREFETCHW itself
 * (the compiler's write hint is a read prefetch unless the whole build
 * targets processors that know it; those that do not take it for a no-op).
 */
inline void prefetchForWrite(const void* p) {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
  asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
#elif defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p, 1);
#else
  (void)p;
#endif
}

}  // namespace corvale

#pragma once

#include <cstdio>
#include <string>

namespace corvale::testing {

/**
 * The number of the k-th of n distinct street names in a scrambled order: k
 * times a prime, modulo n, visits every number below n once. The Windows
 * host double's large layer and the in-memory host's yardstick for it take
 * their names from here, so that both measure the same list in the same order.
 */
inline long long scrambledNumber(int k, int n) {
  constexpr long long kPrime = 1000003;
  return (static_cast<long long>(k) * kPrime) % n;
}

/// The street name of number j: "Street " and j in seven digits.
inline std::string scrambledStreetName(long long j) {
  char name[32];
  std::snprintf(name, sizeof name, "Street %07lld", j);
  return name;
}

}  // namespace corvale::testing

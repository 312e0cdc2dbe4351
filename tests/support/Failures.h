#pragma once

#include <cstdint>
#include <functional>

#include "runtime/Failure.h"

namespace corvale::testing {

/// The number of the failure that `body` throws, or 0 when it throws none.
inline int32_t failureNumber(const std::function<void()>& body) {
  try {
    body();
  } catch (const Failure& failure) {
    return failure.number;
  }
  return 0;
}

}  // namespace corvale::testing

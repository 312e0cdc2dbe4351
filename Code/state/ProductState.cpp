#include "state/ProductState.h"
#include "runtime/PerThread.h"

namespace corvale {

ProductState& state() {
  return perThread<ProductState>();
}

void resetState() { state() = ProductState{}; }

}  // namespace corvale

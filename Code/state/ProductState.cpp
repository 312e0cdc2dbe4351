#include "state/ProductState.h"

namespace corvale {

ProductState& state() {
  thread_local ProductState instance;
  return instance;
}

void resetState() { state() = ProductState{}; }

}  // namespace corvale

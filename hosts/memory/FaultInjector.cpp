#include "hosts/memory/FaultInjector.h"

namespace corvale::memory {

void FaultInjector::hostCall(std::string_view what) {
  if (++hostCalls_ == failHostAt_) {
    injected_ = true;
    injectedCall_ = what;
    throw hostFailure();
  }
}

void FaultInjector::fileSystemCall(std::string_view what) {
  if (++fileCalls_ == failFileAt_) {
    injected_ = true;
    injectedCall_ = what;
    throw fileSystemFailure();
  }
}

void FaultInjector::reset() { *this = FaultInjector{}; }

}  // namespace corvale::memory

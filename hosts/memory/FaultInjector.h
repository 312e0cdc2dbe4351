#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/Failure.h"

namespace corvale::memory {

/**
 * Counts the calls that the component makes into the in-memory host and into
 * the file system, and makes a chosen one fail. Call numbers start at 1; 0
 * means "fail none".
 */
class FaultInjector {
 public:
  /// Counts one host call; throws the host failure when it is the chosen one.
  void hostCall(std::string_view what);
  /// Counts one file-system call; throws the file failure when it is the chosen one.
  void fileSystemCall(std::string_view what);

  void failHostCall(int64_t number) { failHostAt_ = number; }
  void failFileSystemCall(int64_t number) { failFileAt_ = number; }
  /// Stops injecting and starts counting from 0 again.
  void reset();

  int64_t hostCalls() const { return hostCalls_; }
  int64_t fileSystemCalls() const { return fileCalls_; }
  /// Whether the chosen call came and failed.
  bool injected() const { return injected_; }
  /// The name of the call that was made to fail, for messages of tests.
  const std::string& injectedCall() const { return injectedCall_; }

  /// What an injected host failure throws: E_FAIL.
  static Failure hostFailure() { return Failure::of(err::kHostUnspecified); }
  /// What an injected file-system failure throws: an I/O error.
  static Failure fileSystemFailure() { return Failure::of(err::kPathFileAccessError); }

 private:
  int64_t hostCalls_ = 0, fileCalls_ = 0;
  int64_t failHostAt_ = 0, failFileAt_ = 0;
  bool injected_ = false;
  std::string injectedCall_;
};

}  // namespace corvale::memory

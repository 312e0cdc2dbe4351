#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/Failure.h"

namespace corvale {

inline constexpr const char* kErrorHandlingModule = "ErrorHandling";

/// "Line : " followed by the number in decimal, or the empty text for 0.
std::string GetErrorLineText(int32_t lineNumber);

/// The nineteen lines of the error report, joined by CR LF.
std::string errorReportText(const std::string& location, int32_t number,
                            const std::string& description);

/**
 * Shows the error report in a modal message box and returns when the user
 * has pressed OK. A message box that cannot be shown is passed over: the
 * report never fails its caller.
 */
void ReportError(const std::string& location, int32_t number,
                 const std::string& description) noexcept;

/**
 * The trap of one procedure. The procedure labels its steps with line()
 * as it goes; run() executes its body and hands back the failure that ended
 * it, if any; report() shows that failure with the location "procedure
 * module line-text" through ReportError.
 */
class Trap {
 public:
  Trap(std::string_view procedure, std::string_view module)
      : procedure_(procedure), module_(module) {}

  /// Records the label of the step being executed (0: no known line).
  void line(int32_t number) noexcept { line_ = number; }
  int32_t line() const noexcept { return line_; }

  /// The procedure's name, a blank, the module's name, a blank and the line text.
  std::string location() const;

  /// Runs the body; returns the failure that escaped it, or nothing.
  template <class Body>
  static std::optional<Failure> run(Body&& body) noexcept {
    try {
      body();
      return std::nullopt;
    } catch (...) {
      return Failure::fromCurrentException();
    }
  }

  /// ReportError with this trap's location and the failure's number and description.
  void report(const Failure& failure) const noexcept;

 private:
  std::string_view procedure_;
  std::string_view module_;
  int32_t line_ = 0;
};

}  // namespace corvale

#include "errors/ErrorHandling.h"

#include <iterator>

#include "host/Services.h"
#include "state/Maker.h"
#include "state/ProductState.h"

namespace corvale {

std::string GetErrorLineText(int32_t lineNumber) {
  if (lineNumber == 0) return {};
  return "Line : " + std::to_string(lineNumber);
}

std::string errorReportText(const std::string& location, int32_t number,
                            const std::string& description) {
  const ProductState& s = state();
  const std::string lines[] = {
      "We're sorry, an unexpected error has occurred.",
      "",
      std::string("Please email ") + maker::kSupportEmail + " and we'll",
      "be happy to help out.",
      "",
      "Please let us know the following:",
      "",
      "APPLICATION: " + s.ProductName + " " + s.ProductVersion,
      "ERROR NUMBER: " + std::to_string(number),
      "MODULE: " + location,
      "ERROR DESCRIPTION: " + description,
      "",
      "If possible, please attach a screenshot of this",
      "message with your ArcMap project in the background.",
      "You can do this by pressing <CTRL> and <Prnt Screen>",
      "and then pasting the image into a graphics application",
      "such as Paint. Saving the image as a JPG is preferrable.",
      "",
      "Thank you!",
  };
  std::string text = lines[0];
  for (size_t i = 1; i < std::size(lines); ++i) text.append("\r\n").append(lines[i]);
  return text;
}

void ReportError(const std::string& location, int32_t number,
                 const std::string& description) noexcept {
  // Nothing is left to tell the user with when the message box itself fails.
  (void)Trap::run([&] { host::forms().messageBox(errorReportText(location, number, description)); });
}

std::string Trap::location() const {
  std::string text;
  text.reserve(procedure_.size() + module_.size() + 16);
  text.append(procedure_).append(" ").append(module_).append(" ").append(GetErrorLineText(line_));
  return text;
}

void Trap::report(const Failure& failure) const noexcept {
  // Building the location can only fail for want of memory; the report is then dropped.
  (void)run([&] { ReportError(location(), failure.number, failure.description); });
}

}  // namespace corvale

#pragma once

#include <string>

namespace corvale::testing {

/// Whether `message` is an error report of that failure number at that location.
inline bool isReport(const std::string& message, int number, const std::string& location) {
  return message.find("\r\nERROR NUMBER: " + std::to_string(number) + "\r\nMODULE: " + location +
                      "\r\n") != std::string::npos;
}

/// Whether `message` is an error report whose location begins with `locationStart`.
inline bool isReportAt(const std::string& message, const std::string& locationStart) {
  return message.find("\r\nMODULE: " + locationStart) != std::string::npos;
}

}  // namespace corvale::testing

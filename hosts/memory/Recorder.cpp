#include "hosts/memory/Recorder.h"

namespace corvale::memory {

std::vector<std::string> Recorder::linesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& line : lines_) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

}  // namespace corvale::memory

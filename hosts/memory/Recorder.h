#pragma once

#include <string>
#include <vector>

namespace corvale::memory {

/**
 * What the in-memory host and the scripted toolkit were told, in order, one
 * line per event ("message: ...", "pointer: hourglass", "extent: ..."). Tests
 * read it; golden transcripts are made of it.
 */
class Recorder {
 public:
  void record(std::string line) { lines_.push_back(std::move(line)); }
  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }
  /// The lines that begin with `prefix`, in order.
  std::vector<std::string> linesStartingWith(const std::string& prefix) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace corvale::memory

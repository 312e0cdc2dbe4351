#pragma once

// The facts a scenario's transcript records that do not depend on which host
// ran it: the messages the user read, the search list and its selection, the
// configuration file's bytes, the extents the view received and the progress
// counts. Read from the in-memory host's text transcripts and from the COM
// host's JSON Lines alike, so that the two can be compared.
//
// Left out by design: the pointer (the COM host cannot see the component's
// cursor), the loading and unloading of forms (seen from outside only as
// windows that come and go), frame numbers and the centring move (the
// screen differs).

#include <string>
#include <vector>

namespace corvale::windouble {

struct GoldenFacts {
  std::vector<std::string> messages;
  std::vector<std::string> list;
  int selected = -1;
  std::string searchText;
  /// The configuration file's bytes.
  std::string config;
  /// Each extent as "xmin ymin xmax ymax".
  std::vector<std::string> extents;
  /// Each progress run as "maximum N, steps M".
  std::vector<std::string> progress;
  friend bool operator==(const GoldenFacts&, const GoldenFacts&) = default;
};

std::string goldenDir();
std::string memoryGoldenDir();
/// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

GoldenFacts factsOfMemoryTranscript(const std::string& text);
GoldenFacts factsOfJsonLines(const std::string& text);
std::string describe(const GoldenFacts& facts);

}  // namespace corvale::windouble

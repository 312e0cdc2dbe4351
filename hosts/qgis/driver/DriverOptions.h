#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvale::driver {

/// One action of the command line, with its argument when it takes one.
struct Action {
  std::string name;
  std::string argument;
  std::string argument2;
};

/// What the command line asks for.
struct DriverOptions {
  /// Drive letters and the folders behind them (--drive C=DIR); none: the per-user default.
  std::vector<std::pair<char, std::string>> drives;
  std::string project;
  std::vector<std::string> layers;
  std::vector<Action> actions;
  /// Print how long each action took (a "timing" event after it).
  bool timing = false;
  bool help = false;
};

/// Reads the command line; a malformed one gives the reason in `error` and nothing else.
std::optional<DriverOptions> parseOptions(const std::vector<std::string>& arguments,
                                          std::string& error);

/// The usage text.
std::string usage();

}  // namespace corvale::driver

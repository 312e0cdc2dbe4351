#include "support/Golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "support/TempFolder.h"

namespace corvale::testing {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string difference(const std::string& expected, const std::string& actual) {
  const auto want = splitLines(expected), got = splitLines(actual);
  std::ostringstream out;
  const size_t n = std::max(want.size(), got.size());
  for (size_t i = 0; i < n; ++i) {
    const std::string* w = i < want.size() ? &want[i] : nullptr;
    const std::string* g = i < got.size() ? &got[i] : nullptr;
    if (w && g && *w == *g) continue;
    out << "line " << i + 1 << ":\n";
    if (w) out << "  - " << *w << "\n";
    if (g) out << "  + " << *g << "\n";
  }
  return out.str();
}

}  // namespace

void expectMatchesGolden(const std::string& folder, const std::string& name,
                         const std::string& actual) {
  const std::filesystem::path file = std::filesystem::path(folder) / (name + ".txt");
  const char* update = std::getenv("CORVALE_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    writeBytes(file, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(file))
      << "no reference transcript " << file << "; run with CORVALE_UPDATE_GOLDEN=1 to write it";
  const std::string expected = readBytes(file);
  EXPECT_TRUE(expected == actual) << "transcript " << name << " differs from " << file << ":\n"
                                  << difference(expected, actual);
}

}  // namespace corvale::testing

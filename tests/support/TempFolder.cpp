#include "support/TempFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace corvale::testing {

namespace {
/// Memory-backed when the machine has one: tests sync files often, and a sync there costs nothing.
std::filesystem::path baseFolder() {
  std::error_code ignored;
  if (::access("/dev/shm", W_OK) == 0 && std::filesystem::is_directory("/dev/shm", ignored)) {
    return "/dev/shm";
  }
  return std::filesystem::temp_directory_path();
}
}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (baseFolder() / "corvale-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Tests may have taken the write permission away; give it back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    ::chmod(it->path().c_str(), it->is_directory(ignored) ? 0755 : 0644);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string readBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace corvale::testing

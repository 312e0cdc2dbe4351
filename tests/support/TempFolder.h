#pragma once

#include <filesystem>
#include <string>

namespace corvale::testing {

/// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& part) const { return path_ / part; }

 private:
  std::filesystem::path path_;
};

/// The whole content of a file as bytes; the empty text for a missing file.
std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace corvale::testing

#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>

namespace corvale::posix {

/**
 * Which native folder stands behind each drive letter. A path of the
 * component ("C:\Program Files\X\config") resolves to the drive's folder
 * followed by the path's parts; backslashes and slashes both separate parts.
 */
class DriveMap {
 public:
  /// Maps the drive letter (either case) to the folder.
  void map(char letter, std::filesystem::path folder);
  const std::map<char, std::filesystem::path>& drives() const { return drives_; }

  /**
   * The native path for a component path; nothing when the path names no
   * mapped drive. A path with a ".." part, a NUL or without "X:" in front is
   * failure 52 "Bad file name or number".
   */
  std::optional<std::filesystem::path> resolve(std::string_view path) const;

  /**
   * The per-user default: C: is the folder CorvaleGIS/drive_c under the XDG
   * data home ($XDG_DATA_HOME, else ~/.local/share), with a "Program Files"
   * folder created in it when missing, as a Windows system drive has one.
   */
  static DriveMap forUser();

  /// The folder forUser() maps C: to.
  static std::filesystem::path userDriveC();

 private:
  std::map<char, std::filesystem::path> drives_;
};

}  // namespace corvale::posix

#pragma once

#include "platform/posix/DriveMap.h"
#include "host/FileSystem.h"

namespace corvale::posix {

/**
 * The file system on POSIX calls, behind a drive map. Windows' rules are kept
 * where the component relies on them: a file without any write permission
 * counts as read-only and is not deleted (70), and writes reach the disk only
 * when flushed, so that a failed write never leaves a half-renamed file.
 */
class PosixFileSystem : public host::IFileSystem {
 public:
  explicit PosixFileSystem(DriveMap drives) : drives_(std::move(drives)) {}

  const DriveMap& drives() const { return drives_; }

  bool fileExists(std::string_view path) override;
  bool folderExists(std::string_view path) override;
  void deleteFile(std::string_view path) override;
  void createFolder(std::string_view path) override;
  std::unique_ptr<host::IInputStream> openInput(std::string_view path) override;
  std::unique_ptr<host::IOutputStream> openAppend(std::string_view path) override;
  std::unique_ptr<host::IOutputStream> openOutput(std::string_view path) override;
  void replaceFile(std::string_view from, std::string_view to) override;

 private:
  /// The native path; failure 76 when the path names no mapped drive.
  std::filesystem::path native(std::string_view path) const;
  std::unique_ptr<host::IOutputStream> openWrite(std::string_view path, int flags);

  DriveMap drives_;
};

/// The classic error number for an errno value of a file operation.
int32_t classicNumberForErrno(int error, bool parentMissing = false);

}  // namespace corvale::posix

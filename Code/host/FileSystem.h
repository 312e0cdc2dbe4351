#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace corvale::host {

/// A file opened for reading. Every operation throws Failure on an I/O error.
class IInputStream {
 public:
  virtual ~IInputStream() = default;
  /// Reads up to `capacity` bytes into `buffer`; returns 0 only at the end of the file.
  virtual size_t read(char* buffer, size_t capacity) = 0;
};

/// A file opened for writing. Every operation throws Failure on an I/O error.
class IOutputStream {
 public:
  virtual ~IOutputStream() = default;
  virtual void write(std::string_view bytes) = 0;
  /// Writes everything buffered and waits until the device holds it.
  virtual void flushAndSync() = 0;
  /// Writes everything buffered and closes the file; the destructor closes
  /// without reporting failures.
  virtual void close() = 0;
};

/**
 * The platform's file system. Paths are the product's own texts with a drive
 * letter ("C:\Program Files\..."); the service maps drives to whatever stands
 * behind them. Failures are thrown as Failure with the classic numbers:
 * 53 file not found, 76 path not found, 58 already exists, 70 permission
 * denied, 75 path/file access error, 61 disk full, 52 bad file name.
 */
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  /// True when a file (not a folder) exists at the path.
  virtual bool fileExists(std::string_view path) = 0;
  /// True when a folder (not a file) exists at the path; a trailing backslash is allowed.
  virtual bool folderExists(std::string_view path) = 0;
  /// Deletes the file at the path. A read-only file is refused (70).
  virtual void deleteFile(std::string_view path) = 0;
  /// Creates the one folder the path names; its parent must exist (76), the
  /// folder must not (58).
  virtual void createFolder(std::string_view path) = 0;

  virtual std::unique_ptr<IInputStream> openInput(std::string_view path) = 0;
  /// Opens for appending, creating the file when it is missing.
  virtual std::unique_ptr<IOutputStream> openAppend(std::string_view path) = 0;
  /// Opens for writing from the start, creating or emptying the file.
  virtual std::unique_ptr<IOutputStream> openOutput(std::string_view path) = 0;
  /// Puts the file `from` in the place of `to` in one step: `to` is either
  /// its old self or `from`, never absent. Both lie in the same folder. A
  /// read-only `to` is refused (70) and stays as it was, as deleteFile refuses it.
  virtual void replaceFile(std::string_view from, std::string_view to) = 0;
};

}  // namespace corvale::host

#pragma once

#include <cstdint>
#include <string>

#include "host/FileSystem.h"

namespace corvale::win32 {

/**
 * The file system on the wide-character Win32 API. Paths are the product's
 * own UTF-8 texts with a real drive letter ("C:\Program Files\..."), handed
 * to Windows as UTF-16. A path that is not UTF-8, holds a NUL or does not
 * begin with a drive letter and a colon is failure 52. A read-only file is
 * never deleted or replaced (70). Output is buffered and reaches the file
 * when flushed or closed.
 */
class Win32FileSystem : public host::IFileSystem {
 public:
  bool fileExists(std::string_view path) override;
  bool folderExists(std::string_view path) override;
  void deleteFile(std::string_view path) override;
  void createFolder(std::string_view path) override;
  std::unique_ptr<host::IInputStream> openInput(std::string_view path) override;
  std::unique_ptr<host::IOutputStream> openAppend(std::string_view path) override;
  std::unique_ptr<host::IOutputStream> openOutput(std::string_view path) override;
  void replaceFile(std::string_view from, std::string_view to) override;
};

/// The classic error number for a Win32 error code of a file operation
/// (GetLastError): 53, 76, 58, 70, 61, 52, 7, else 75.
int32_t classicNumberForWin32Error(unsigned long error);

}  // namespace corvale::win32

#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <optional>

#include "platform/win32/Utf16.h"
#include "runtime/Failure.h"

namespace corvale::win32 {

namespace {

[[noreturn]] void raiseLastError() { raise(classicNumberForWin32Error(GetLastError())); }

/// The UTF-16 path Windows is given; nothing for a path that cannot be one.
std::optional<std::wstring> widePath(std::string_view path) {
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (!drive || path.find('\0') != std::string_view::npos) return std::nullopt;
  return widenStrict(path);
}

/// widePath, or failure 52.
std::wstring nativePath(std::string_view path) {
  std::optional<std::wstring> wide = widePath(path);
  if (!wide) raise(err::kBadFileNameOrNumber);
  return *wide;
}

/// The attributes of what is at the path, or INVALID_FILE_ATTRIBUTES.
DWORD attributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

class HandleInput : public host::IInputStream {
 public:
  explicit HandleInput(HANDLE handle) : handle_(handle) {}
  ~HandleInput() override { CloseHandle(handle_); }
  size_t read(char* buffer, size_t capacity) override {
    const DWORD wanted = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) raiseLastError();
    return got;
  }

 private:
  HANDLE handle_;
};

class HandleOutput : public host::IOutputStream {
 public:
  explicit HandleOutput(HANDLE handle) : handle_(handle) {}
  /// Writes out what is buffered as close() does, but drops any failure.
  ~HandleOutput() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    writeAll(pending_.data(), pending_.size());
    CloseHandle(handle_);
  }
  void write(std::string_view bytes) override {
    requireOpen();
    pending_.append(bytes);
    if (pending_.size() >= kFlushSize) writePending();
  }
  void flushAndSync() override {
    requireOpen();
    writePending();
    if (!FlushFileBuffers(handle_)) raiseLastError();
  }
  void close() override {
    requireOpen();
    writePending();
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) raiseLastError();
  }

 private:
  static constexpr size_t kFlushSize = 64 * 1024;

  void requireOpen() const {
    if (handle_ == INVALID_HANDLE_VALUE) raise(err::kBadFileNameOrNumber);
  }
  /// Bytes written before the first failure (its code left in GetLastError).
  size_t writeAll(const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      const size_t chunk = size - done > 0x100000 ? 0x100000 : size - done;
      DWORD written = 0;
      if (!WriteFile(handle_, data + done, static_cast<DWORD>(chunk), &written, nullptr)) break;
      if (written == 0) {
        SetLastError(ERROR_DISK_FULL);
        break;
      }
      done += written;
    }
    return done;
  }
  void writePending() {
    const size_t done = writeAll(pending_.data(), pending_.size());
    if (done < pending_.size()) {
      const DWORD error = GetLastError();
      pending_.erase(0, done);
      raise(classicNumberForWin32Error(error));
    }
    pending_.clear();
  }

  HANDLE handle_;
  std::string pending_;
};

std::unique_ptr<host::IOutputStream> openWrite(std::string_view path, DWORD disposition,
                                               bool append) {
  const std::wstring file = nativePath(path);
  const DWORD attributes = attributesOf(file);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) raise(err::kPathFileAccessError);
    // Refused before opening, which may empty it: Windows would refuse too,
    // but a process with rights above the attribute's (Wine run by root) would not.
    if (attributes & FILE_ATTRIBUTE_READONLY) raise(err::kPermissionDenied);
  }
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) raiseLastError();
  if (append) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(handle, zero, nullptr, FILE_END)) {
      const DWORD error = GetLastError();
      CloseHandle(handle);
      raise(classicNumberForWin32Error(error));
    }
  }
  return std::make_unique<HandleOutput>(handle);
}

}  // namespace

int32_t classicNumberForWin32Error(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return err::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NOT_READY: return err::kPathNotFound;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return err::kFileAlreadyExists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return err::kPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return err::kDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return err::kBadFileNameOrNumber;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return err::kOutOfMemory;
    default: return err::kPathFileAccessError;
  }
}

bool Win32FileSystem::fileExists(std::string_view path) {
  const std::optional<std::wstring> file = widePath(path);
  if (!file) return false;  // a path that cannot name a file names none
  const DWORD attributes = attributesOf(*file);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::folderExists(std::string_view path) {
  const std::optional<std::wstring> folder = widePath(path);
  if (!folder) return false;
  const DWORD attributes = attributesOf(*folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32FileSystem::deleteFile(std::string_view path) {
  const std::wstring file = nativePath(path);
  const DWORD attributes = attributesOf(file);
  if (attributes == INVALID_FILE_ATTRIBUTES) raiseLastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) raise(err::kFileNotFound);
  if (attributes & FILE_ATTRIBUTE_READONLY) raise(err::kPermissionDenied);
  if (!DeleteFileW(file.c_str())) raiseLastError();
}

void Win32FileSystem::createFolder(std::string_view path) {
  if (!CreateDirectoryW(nativePath(path).c_str(), nullptr)) raiseLastError();
}

std::unique_ptr<host::IInputStream> Win32FileSystem::openInput(std::string_view path) {
  const std::wstring file = nativePath(path);
  const DWORD attributes = attributesOf(file);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    raise(err::kPathFileAccessError);
  }
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) raiseLastError();
  return std::make_unique<HandleInput>(handle);
}

std::unique_ptr<host::IOutputStream> Win32FileSystem::openAppend(std::string_view path) {
  return openWrite(path, OPEN_ALWAYS, true);
}

std::unique_ptr<host::IOutputStream> Win32FileSystem::openOutput(std::string_view path) {
  return openWrite(path, CREATE_ALWAYS, false);
}

void Win32FileSystem::replaceFile(std::string_view from, std::string_view to) {
  const std::wstring source = nativePath(from);
  const std::wstring target = nativePath(to);
  const DWORD attributes = attributesOf(target);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) raise(err::kPathFileAccessError);
    if (attributes & FILE_ATTRIBUTE_READONLY) raise(err::kPermissionDenied);
  }
  if (!MoveFileExW(source.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    raiseLastError();
  }
}

}  // namespace corvale::win32

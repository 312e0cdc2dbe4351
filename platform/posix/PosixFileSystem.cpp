#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "runtime/Failure.h"

namespace corvale::posix {

namespace {

[[noreturn]] void raiseErrno(int error, const std::filesystem::path& path) {
  std::error_code ignored;
  const bool parentMissing =
      error == ENOENT && !std::filesystem::is_directory(path.parent_path(), ignored);
  raise(classicNumberForErrno(error, parentMissing));
}

class FdInput : public host::IInputStream {
 public:
  explicit FdInput(int fd) : fd_(fd) {}
  ~FdInput() override { ::close(fd_); }
  size_t read(char* buffer, size_t capacity) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, capacity);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) raise(classicNumberForErrno(errno));
    }
  }

 private:
  int fd_;
};

class FdOutput : public host::IOutputStream {
 public:
  explicit FdOutput(int fd) : fd_(fd) {}
  /// Writes out what is buffered as close() does, but drops any failure.
  ~FdOutput() override {
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < pending_.size()) {
      const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::close(fd_);
  }
  void write(std::string_view bytes) override {
    requireOpen();
    pending_.append(bytes);
    if (pending_.size() >= kFlushSize) writePending();
  }
  void flushAndSync() override {
    requireOpen();
    writePending();
    if (::fsync(fd_) != 0 && errno != EINVAL) raise(classicNumberForErrno(errno));
  }
  void close() override {
    requireOpen();
    writePending();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) raise(classicNumberForErrno(errno));
  }

 private:
  static constexpr size_t kFlushSize = 64 * 1024;

  void requireOpen() const {
    if (fd_ < 0) raise(err::kBadFileNameOrNumber);
  }
  void writePending() {
    size_t done = 0;
    while (done < pending_.size()) {
      const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        pending_.erase(0, done);
        raise(classicNumberForErrno(error));
      }
      done += static_cast<size_t>(n);
    }
    pending_.clear();
  }

  int fd_;
  std::string pending_;
};

}  // namespace

int32_t classicNumberForErrno(int error, bool parentMissing) {
  switch (error) {
    case ENOENT: return parentMissing ? err::kPathNotFound : err::kFileNotFound;
    case ENOTDIR: return err::kPathNotFound;
    case EEXIST: return err::kFileAlreadyExists;
    case EACCES:
    case EPERM: return err::kPermissionDenied;
    case ENOSPC:
    case EDQUOT: return err::kDiskFull;
    case ENAMETOOLONG: return err::kBadFileNameOrNumber;
    case ENOMEM: return err::kOutOfMemory;
    default: return err::kPathFileAccessError;
  }
}

std::filesystem::path PosixFileSystem::native(std::string_view path) const {
  auto resolved = drives_.resolve(path);
  if (!resolved) raise(err::kPathNotFound);
  return *resolved;
}

bool PosixFileSystem::fileExists(std::string_view path) {
  auto resolved = drives_.resolve(path);
  struct stat info {};
  return resolved && ::stat(resolved->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool PosixFileSystem::folderExists(std::string_view path) {
  auto resolved = drives_.resolve(path);
  struct stat info {};
  return resolved && ::stat(resolved->c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void PosixFileSystem::deleteFile(std::string_view path) {
  const auto file = native(path);
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) raiseErrno(errno, file);
  if (!S_ISREG(info.st_mode)) raise(err::kFileNotFound);
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) raise(err::kPermissionDenied);
  if (::unlink(file.c_str()) != 0) raiseErrno(errno, file);
}

void PosixFileSystem::createFolder(std::string_view path) {
  const auto folder = native(path);
  if (::mkdir(folder.c_str(), 0777) != 0) raiseErrno(errno, folder);
}

std::unique_ptr<host::IInputStream> PosixFileSystem::openInput(std::string_view path) {
  const auto file = native(path);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) raiseErrno(errno, file);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    raise(err::kPathFileAccessError);
  }
  return std::make_unique<FdInput>(fd);
}

std::unique_ptr<host::IOutputStream> PosixFileSystem::openWrite(std::string_view path, int flags) {
  const auto file = native(path);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) {
    if (errno == EISDIR) raise(err::kPathFileAccessError);
    raiseErrno(errno, file);
  }
  return std::make_unique<FdOutput>(fd);
}

std::unique_ptr<host::IOutputStream> PosixFileSystem::openAppend(std::string_view path) {
  return openWrite(path, O_APPEND);
}

std::unique_ptr<host::IOutputStream> PosixFileSystem::openOutput(std::string_view path) {
  return openWrite(path, O_TRUNC);
}

void PosixFileSystem::replaceFile(std::string_view from, std::string_view to) {
  const auto source = native(from);
  const auto target = native(to);
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) raise(err::kPathFileAccessError);
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) raise(err::kPermissionDenied);
  }
  if (::rename(source.c_str(), target.c_str()) != 0) raiseErrno(errno, target);
  // The rename itself reaches the disk with its folder.
  const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace corvale::posix

#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "host/FileSystem.h"
#include "runtime/Failure.h"

namespace corvale::fuzzing {

/// A file system holding one file, the fuzzer's input, at every path; it reads in small pieces
/// so that fields cross the reader's buffer boundaries.
class OneFileSystem : public host::IFileSystem {
 public:
  explicit OneFileSystem(std::string bytes, size_t piece = 7) : bytes_(std::move(bytes)), piece_(piece) {}

  bool fileExists(std::string_view) override { return true; }
  bool folderExists(std::string_view) override { return false; }
  void deleteFile(std::string_view) override {}
  void createFolder(std::string_view) override { raise(err::kPathNotFound); }
  std::unique_ptr<host::IInputStream> openInput(std::string_view) override {
    return std::make_unique<Input>(bytes_, piece_);
  }
  std::unique_ptr<host::IOutputStream> openAppend(std::string_view) override {
    raise(err::kPermissionDenied);
  }
  std::unique_ptr<host::IOutputStream> openOutput(std::string_view) override {
    raise(err::kPermissionDenied);
  }
  void replaceFile(std::string_view, std::string_view) override { raise(err::kPermissionDenied); }

 private:
  class Input : public host::IInputStream {
   public:
    Input(const std::string& bytes, size_t piece) : bytes_(bytes), piece_(piece) {}
    size_t read(char* buffer, size_t capacity) override {
      const size_t n = std::min({capacity, piece_, bytes_.size() - at_});
      std::memcpy(buffer, bytes_.data() + at_, n);
      at_ += n;
      return n;
    }

   private:
    const std::string& bytes_;
    size_t piece_;
    size_t at_ = 0;
  };

  std::string bytes_;
  size_t piece_;
};

}  // namespace corvale::fuzzing

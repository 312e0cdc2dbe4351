#pragma once

#include <memory>

#include "host/FileSystem.h"
#include "hosts/memory/FaultInjector.h"

namespace corvale::memory {

/**
 * Wraps a file system and counts every call into it, the calls on the files it
 * opens included, so that the fault injector can make any one of them fail.
 */
class FaultyFileSystem : public host::IFileSystem {
 public:
  FaultyFileSystem(std::shared_ptr<host::IFileSystem> inner, std::shared_ptr<FaultInjector> faults)
      : inner_(std::move(inner)), faults_(std::move(faults)) {}

  bool fileExists(std::string_view path) override;
  bool folderExists(std::string_view path) override;
  void deleteFile(std::string_view path) override;
  void createFolder(std::string_view path) override;
  std::unique_ptr<host::IInputStream> openInput(std::string_view path) override;
  std::unique_ptr<host::IOutputStream> openAppend(std::string_view path) override;
  std::unique_ptr<host::IOutputStream> openOutput(std::string_view path) override;
  void replaceFile(std::string_view from, std::string_view to) override;

 private:
  std::shared_ptr<host::IFileSystem> inner_;
  std::shared_ptr<FaultInjector> faults_;
};

}  // namespace corvale::memory

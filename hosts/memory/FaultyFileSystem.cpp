#include "hosts/memory/FaultyFileSystem.h"

namespace corvale::memory {

namespace {

class FaultyInput : public host::IInputStream {
 public:
  FaultyInput(std::unique_ptr<host::IInputStream> inner, std::shared_ptr<FaultInjector> faults)
      : inner_(std::move(inner)), faults_(std::move(faults)) {}
  size_t read(char* buffer, size_t capacity) override {
    faults_->fileSystemCall("read");
    return inner_->read(buffer, capacity);
  }

 private:
  std::unique_ptr<host::IInputStream> inner_;
  std::shared_ptr<FaultInjector> faults_;
};

class FaultyOutput : public host::IOutputStream {
 public:
  FaultyOutput(std::unique_ptr<host::IOutputStream> inner, std::shared_ptr<FaultInjector> faults)
      : inner_(std::move(inner)), faults_(std::move(faults)) {}
  void write(std::string_view bytes) override {
    faults_->fileSystemCall("write");
    inner_->write(bytes);
  }
  void flushAndSync() override {
    faults_->fileSystemCall("flushAndSync");
    inner_->flushAndSync();
  }
  void close() override {
    faults_->fileSystemCall("close");
    inner_->close();
  }

 private:
  std::unique_ptr<host::IOutputStream> inner_;
  std::shared_ptr<FaultInjector> faults_;
};

}  // namespace

bool FaultyFileSystem::fileExists(std::string_view path) {
  faults_->fileSystemCall("fileExists");
  return inner_->fileExists(path);
}

bool FaultyFileSystem::folderExists(std::string_view path) {
  faults_->fileSystemCall("folderExists");
  return inner_->folderExists(path);
}

void FaultyFileSystem::deleteFile(std::string_view path) {
  faults_->fileSystemCall("deleteFile");
  inner_->deleteFile(path);
}

void FaultyFileSystem::createFolder(std::string_view path) {
  faults_->fileSystemCall("createFolder");
  inner_->createFolder(path);
}

std::unique_ptr<host::IInputStream> FaultyFileSystem::openInput(std::string_view path) {
  faults_->fileSystemCall("openInput");
  return std::make_unique<FaultyInput>(inner_->openInput(path), faults_);
}

std::unique_ptr<host::IOutputStream> FaultyFileSystem::openAppend(std::string_view path) {
  faults_->fileSystemCall("openAppend");
  return std::make_unique<FaultyOutput>(inner_->openAppend(path), faults_);
}

std::unique_ptr<host::IOutputStream> FaultyFileSystem::openOutput(std::string_view path) {
  faults_->fileSystemCall("openOutput");
  return std::make_unique<FaultyOutput>(inner_->openOutput(path), faults_);
}

void FaultyFileSystem::replaceFile(std::string_view from, std::string_view to) {
  faults_->fileSystemCall("replaceFile");
  inner_->replaceFile(from, to);
}

}  // namespace corvale::memory

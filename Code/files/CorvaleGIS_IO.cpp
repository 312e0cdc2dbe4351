#include "files/CorvaleGIS_IO.h"

#include "errors/ErrorHandling.h"
#include "host/Services.h"
#include "runtime/FileChannel.h"
#include "state/Maker.h"
#include "state/ProductState.h"

namespace corvale {

namespace {

constexpr const char* kProgramFiles = ":\\Program Files\\";

/// Creates the folder unless it exists already.
void ensureFolder(const std::string& path) {
  if (!fDoesDirectoryExist(path)) fCreateDirectory(path);
}

}  // namespace

bool fDoesFileExist(const std::string& path) {
  Trap trap("fDoesFileExist", kIoModule);
  bool result = false;
  if (auto failure = trap.run([&] {
        trap.line(1);
        result = host::fileSystem().fileExists(path);
      })) {
    trap.report(*failure);
  }
  return result;
}

bool fDoesDirectoryExist(const std::string& path) {
  Trap trap("fDoesDirectoryExist", kIoModule);
  bool result = false;
  if (auto failure = trap.run([&] {
        trap.line(1);
        result = host::fileSystem().folderExists(path);
      })) {
    trap.report(*failure);
  }
  return result;
}

void fDeleteFile(const std::string& path) {
  Trap trap("fDeleteFile", kIoModule);
  if (auto failure = trap.run([&] {
        trap.line(1);
        if (!fDoesFileExist(path)) return;
        trap.line(2);
        host::fileSystem().deleteFile(path);
      })) {
    trap.report(*failure);
  }
}

void fCreateDirectory(const std::string& path) {
  Trap trap("fCreateDirectory", kIoModule);
  if (auto failure = trap.run([&] {
        trap.line(1);
        host::fileSystem().createFolder(path);
      })) {
    trap.report(*failure);
  }
}

int16_t fSetupProductFolder(const std::string& company, const std::string& product,
                            const std::string& fileName, const std::string& intermediate) {
  int16_t result = 0;
  // Failures end the routine silently with -1; what earlier steps stored stays.
  auto failure = Trap::run([&] {
    ProductState& s = state();
    std::string drive;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      if (fDoesDirectoryExist(std::string(1, letter) + kProgramFiles)) {
        drive.assign(1, letter);
        break;
      }
    }
    if (drive.empty()) {
      host::forms().messageBox("Sorry, " + s.ProductName +
                               " can't find your local Program Files directory. Please email " +
                               maker::kSupportEmail + ". Thanks!");
      result = -1;
      return;
    }
    s.ProgramFilesDrive = drive;

    std::string path = drive + kProgramFiles + company + "\\";
    ensureFolder(path);
    if (!intermediate.empty()) {
      path += intermediate + "\\";
      ensureFolder(path);
    }
    path += product + "\\";
    ensureFolder(path);
    s.ProductFolder = path;

    std::string filePath;
    if (!fileName.empty()) {
      filePath = path + fileName;
      if (!fDoesFileExist(filePath)) {
        FileChannel& channel = fileChannel();
        channel.close();
        channel.openAppend(filePath);
        channel.commitAndClose();
      }
    }
    s.ConfigFilePath = filePath;
    result = 1;
  });
  if (failure) {
    fileChannel().close();
    return -1;
  }
  return result;
}

}  // namespace corvale

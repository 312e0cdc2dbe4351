#include "files/ConfigFile.h"

#include <limits>

#include "errors/ErrorHandling.h"
#include "host/Services.h"
#include "runtime/FileChannel.h"
#include "state/ProductState.h"

namespace corvale::ConfigFile {

namespace {

/// Closes the channel when it goes out of scope, also on a failure.
struct ChannelCloser {
  ~ChannelCloser() { fileChannel().close(); }
};

/// Removes the temporary file of an unfinished rewrite, silently.
class PendingFile {
 public:
  explicit PendingFile(std::string path) : path_(std::move(path)) {}
  ~PendingFile() {
    if (committed_) return;
    fileChannel().close();
    (void)Trap::run([&] {
      if (host::fileSystem().fileExists(path_)) host::fileSystem().deleteFile(path_);
    });
  }
  void commit() { committed_ = true; }

 private:
  std::string path_;
  bool committed_ = false;
};

}  // namespace

std::string pendingPath(const std::string& path) { return path + ".new"; }

int32_t CountFields() {
  FileChannel& channel = fileChannel();
  ChannelCloser closer;
  channel.close();
  channel.openInput(state().ConfigFilePath);
  int32_t count = 0;
  while (!channel.atEnd()) {
    if (count == std::numeric_limits<int32_t>::max()) raise(err::kOverflow);
    ++count;
    channel.skipField();
  }
  return count;
}

void WriteConfiguration(const std::string& layerName, const std::string& fieldName) {
  const std::string target = state().ConfigFilePath;
  const std::string pending = pendingPath(target);
  FileChannel& channel = fileChannel();
  channel.close();

  // Opening for output empties a leftover of an interrupted rewrite. Every
  // failure from here on goes to the caller: none is reported and passed over.
  PendingFile guard(pending);
  channel.openOutput(pending);
  channel.writeField(layerName);
  channel.writeField(fieldName);
  channel.commitAndClose();
  host::fileSystem().replaceFile(pending, target);
  guard.commit();

  ProductState& s = state();
  s.StreetLayerName = layerName;
  s.StreetFieldName = fieldName;
}

void ReadConfiguration() {
  FileChannel& channel = fileChannel();
  ChannelCloser closer;
  channel.close();
  channel.openInput(state().ConfigFilePath);
  ProductState& s = state();
  s.StreetLayerName = channel.readField();
  s.StreetFieldName = channel.readField();
}

}  // namespace corvale::ConfigFile

#include "files/ConfigFile.h"

#include <limits>
#include <optional>
#include <string_view>

#include "errors/ErrorHandling.h"
#include "host/Services.h"
#include "runtime/FileChannel.h"
#include "runtime/Text.h"
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

/**
 * Writes one name so that the reading rules give it back byte for byte: quoted,
 * as the file has always held names, or bare when it holds a double quote,
 * which no quoted field can carry. A name that neither form carries, or that
 * the system's code page cannot hold, is refused (failure 5) before the
 * caller writes anything.
 */
class NameField {
 public:
  NameField(std::string_view what, const std::string& name) {
    std::optional<std::string> bytes = toSystemCodePage(name);
    if (!bytes) {
      raise(err::kInvalidProcedureCall,
            "The " + std::string(what) + " \"" + name +
                "\" holds characters that the system's code page cannot store in the "
                "configuration file. Please rename it.");
    }
    bytes_ = std::move(*bytes);
    bare_ = bytes_.find('"') != std::string::npos;
    if (bare_ && !readsBackBare(bytes_)) {
      raise(err::kInvalidProcedureCall,
            "The " + std::string(what) + " \"" + name +
                "\" cannot be stored in the configuration file: a name that holds a double "
                "quote must not also hold a comma or a line break, nor begin with a blank "
                "or a double quote. Please rename it.");
    }
  }

  void writeTo(FileChannel& channel) const {
    if (bare_) {
      channel.writeBareField(bytes_);
    } else {
      channel.writeField(bytes_);
    }
  }

 private:
  static bool readsBackBare(std::string_view text) {
    if (text.empty()) return false;
    const char first = text.front();
    if (first == ' ' || first == '\t' || first == '"') return false;
    return text.find_first_of(",\r\n") == std::string_view::npos;
  }

  std::string bytes_;
  bool bare_ = false;
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
  const NameField layerField("layer name", layerName);
  const NameField fieldField("field name", fieldName);
  const std::string target = state().ConfigFilePath;
  const std::string pending = pendingPath(target);
  FileChannel& channel = fileChannel();
  channel.close();

  // Opening for output empties a leftover of an interrupted rewrite. Every
  // failure from here on goes to the caller: none is reported and passed over.
  PendingFile guard(pending);
  channel.openOutput(pending);
  layerField.writeTo(channel);
  fieldField.writeTo(channel);
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
  s.StreetLayerName = fromSystemCodePage(channel.readField());
  s.StreetFieldName = fromSystemCodePage(channel.readField());
}

}  // namespace corvale::ConfigFile

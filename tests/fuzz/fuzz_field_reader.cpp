// Reads arbitrary bytes as a configuration file: counting its fields, reading
// them one by one and reading the configuration must agree with each other and
// never crash, hang or read out of bounds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/ConfigFile.h"
#include "fuzz/MemoryFile.h"
#include "host/Services.h"
#include "runtime/FileChannel.h"
#include "state/ProductState.h"

using namespace corvale;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  host::services().fileSystem = std::make_shared<fuzzing::OneFileSystem>(bytes, 1 + size % 13);
  state().ConfigFilePath = "C:\\config";

  const int32_t count = ConfigFile::CountFields();

  // Reading the fields one by one finds as many, and each is no longer than the file.
  FileChannel& channel = fileChannel();
  channel.close();
  channel.openInput("C:\\config");
  int32_t read = 0;
  std::string first, second;
  while (!channel.atEnd()) {
    std::string field = channel.readField();
    if (field.size() > size) std::abort();
    if (read == 0) first = field;
    if (read == 1) second = field;
    ++read;
  }
  channel.close();
  if (read != count) std::abort();
  // Every field is read at most once per byte: a file of n bytes holds at most n + 1 fields.
  if (static_cast<size_t>(count) > size + 1) std::abort();

  if (count >= 2) {
    ConfigFile::ReadConfiguration();
    if (state().StreetLayerName != first || state().StreetFieldName != second) std::abort();
  }
  if (channel.isOpen()) std::abort();
  resetState();
  return 0;
}

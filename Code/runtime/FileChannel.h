#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "host/FileSystem.h"

namespace corvale {

/**
 * The single file channel (file number 1) that the whole component shares.
 * Every file operation closes it before it opens a file on it, and closes it
 * when done. Opening while a file is open is failure 55; using the channel
 * while it is closed is failure 52.
 *
 * Fields are written as a double quote, the unchanged text, a double quote
 * and CR LF. They are read by these rules: blanks and tabs before a field are
 * skipped; a field that starts with a double quote runs to the next double
 * quote (both dropped; commas and line ends inside belong to it; a missing
 * closing quote runs to the end of the file), and reading then moves past the
 * next comma or line end; any other field runs up to the next comma or line
 * end (CR, LF or CR LF), which is consumed. Reading at the end of the file is
 * failure 62.
 */
class FileChannel {
 public:
  static constexpr int kNumber = 1;

  /// Closes whatever is open; never fails (a pending write error is dropped).
  void close() noexcept;

  void openInput(std::string_view path);
  void openAppend(std::string_view path);
  /// Opens for writing from the start, emptying an existing file.
  void openOutput(std::string_view path);

  bool isOpen() const { return input_ != nullptr || output_ != nullptr; }

  /// True when nothing is left to read.
  bool atEnd();
  std::string readField();
  /// Reads one field and forgets it, holding none of it in memory.
  void skipField();

  void writeField(std::string_view text);
  /// Writes the text bare, without quotes, and CR LF: it reads back whole
  /// only when it holds no comma or line end and starts with no blank, tab
  /// or double quote.
  void writeBareField(std::string_view text);
  /// Writes out and syncs what was written, then closes the channel; throws
  /// when any of it fails (the channel is closed either way).
  void commitAndClose();

 private:
  bool fill();
  int peek();
  void advance() { ++position_; }
  void readFieldInto(std::string* out);
  /// Reads up to the next comma or line end and consumes it; keeps what it passed in `out`.
  void readUpToDelimiter(std::string* out);
  void requireInput();

  std::unique_ptr<host::IInputStream> input_;
  std::unique_ptr<host::IOutputStream> output_;
  std::unique_ptr<char[]> buffer_;
  size_t position_ = 0;
  size_t length_ = 0;
  bool exhausted_ = false;
};

/// The channel of the calling thread.
FileChannel& fileChannel();

}  // namespace corvale

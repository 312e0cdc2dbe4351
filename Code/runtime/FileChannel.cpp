#include "runtime/FileChannel.h"
#include "runtime/PerThread.h"

#include "host/Services.h"
#include "runtime/Failure.h"

namespace corvale {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
constexpr int kEnd = -1;
}  // namespace

FileChannel& fileChannel() {
  return perThread<FileChannel>();
}

void FileChannel::close() noexcept {
  input_.reset();
  output_.reset();  // a stream's destructor closes without reporting
  position_ = length_ = 0;
  exhausted_ = false;
}

void FileChannel::openInput(std::string_view path) {
  if (isOpen()) raise(err::kFileAlreadyOpen);
  input_ = host::fileSystem().openInput(path);
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
  position_ = length_ = 0;
  exhausted_ = false;
}

void FileChannel::openAppend(std::string_view path) {
  if (isOpen()) raise(err::kFileAlreadyOpen);
  output_ = host::fileSystem().openAppend(path);
}

void FileChannel::openOutput(std::string_view path) {
  if (isOpen()) raise(err::kFileAlreadyOpen);
  output_ = host::fileSystem().openOutput(path);
}

void FileChannel::requireInput() {
  if (!input_) raise(err::kBadFileNameOrNumber);
}

bool FileChannel::fill() {
  if (position_ < length_) return true;
  if (exhausted_) return false;
  length_ = input_->read(buffer_.get(), kBufferSize);
  position_ = 0;
  if (length_ == 0) exhausted_ = true;
  return length_ > 0;
}

int FileChannel::peek() {
  if (!fill()) return kEnd;
  return static_cast<unsigned char>(buffer_[position_]);
}

bool FileChannel::atEnd() {
  requireInput();
  return peek() == kEnd;
}

std::string FileChannel::readField() {
  std::string field;
  readFieldInto(&field);
  return field;
}

void FileChannel::skipField() { readFieldInto(nullptr); }

void FileChannel::readFieldInto(std::string* out) {
  requireInput();
  if (peek() == kEnd) raise(err::kInputPastEndOfFile);

  int c = peek();
  while (c == ' ' || c == '\t') {
    advance();
    c = peek();
  }

  if (c == '"') {
    advance();
    // The quoted text runs in whole buffer spans up to the closing quote.
    for (;;) {
      if (!fill()) return;  // no closing quote: the field ran to the end
      const char* begin = buffer_.get() + position_;
      const char* end = buffer_.get() + length_;
      const char* quote = static_cast<const char*>(memchr(begin, '"', static_cast<size_t>(end - begin)));
      const char* stop = quote ? quote : end;
      if (out) out->append(begin, static_cast<size_t>(stop - begin));
      position_ += static_cast<size_t>(stop - begin);
      if (quote) {
        advance();
        break;
      }
    }
    // Past the next comma or line end; anything before it is dropped.
    readUpToDelimiter(nullptr);
    return;
  }
  readUpToDelimiter(out);
}

void FileChannel::readUpToDelimiter(std::string* out) {
  for (int c = peek(); c != kEnd; c = peek()) {
    if (c == ',') {
      advance();
      return;
    }
    if (c == '\r' || c == '\n') {
      // One line end: CR, LF or CR LF.
      advance();
      if (c == '\r' && peek() == '\n') advance();
      return;
    }
    if (out) out->push_back(static_cast<char>(c));
    advance();
  }
}

void FileChannel::writeField(std::string_view text) {
  if (!output_) raise(err::kBadFileNameOrNumber);
  std::string line;
  line.reserve(text.size() + 4);
  line += '"';
  line += text;
  line += "\"\r\n";
  output_->write(line);
}

void FileChannel::writeBareField(std::string_view text) {
  if (!output_) raise(err::kBadFileNameOrNumber);
  std::string line;
  line.reserve(text.size() + 2);
  line += text;
  line += "\r\n";
  output_->write(line);
}

void FileChannel::commitAndClose() {
  if (!output_) raise(err::kBadFileNameOrNumber);
  auto stream = std::move(output_);
  close();
  stream->flushAndSync();
  stream->close();
}

}  // namespace corvale

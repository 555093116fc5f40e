#include "io/text_source.h"

#include <cerrno>
#include <cstring>

#include "io/files.h"

namespace vortan {

TextSource::TextSource(int fd, std::size_t firstBuffer, std::size_t piece)
    : fd_(fd), piece_(piece), buffer_(firstBuffer) {}

TextSource::TextSource(const char* bytes, std::size_t size)
    : fd_(-1), piece_(0), buffer_(bytes, bytes + size), end_(size) {}

bool TextSource::Refill() {
  if (eof_ || error_ != 0) return false;
  if (fd_ < 0) {
    eof_ = true;  // a text in memory is in the buffer whole
    return false;
  }
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // The buffer doubles until a whole piece fits behind the bytes kept.
  if (buffer_.size() - end_ < piece_) buffer_.resize(buffer_.size() * 2 + piece_);
  if (left_ == 0) {
    eof_ = true;
    return false;
  }
  const std::size_t room = buffer_.size() - end_;
  const long long n =
      ReadSome(fd_, buffer_.data() + end_, left_ < room ? static_cast<std::size_t>(left_) : room);
  if (n < 0) {
    error_ = errno;
    return false;
  }
  if (n == 0) {
    eof_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(n);
  left_ -= static_cast<std::uint64_t>(n);
  return true;
}

TextSource::Encoding TextSource::ReadEncoding() {
  while (available() < 4 && Refill()) {
  }
  // A signature that needs more bytes to be told (a zip names its parts further on).
  const std::size_t wanted = NonTextBytesWanted(buffer_.data() + begin_, available());
  while (available() < wanted && Refill()) {
  }
  const auto byte = [&](std::size_t i) {
    return begin_ + i < end_ ? static_cast<unsigned char>(buffer_[begin_ + i]) : 0x100u;
  };
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    Consume(begin_ + 3);
    return Encoding::kText;
  }
  kind_ = NonTextKindOf(buffer_.data() + begin_, available());
  if (kind_.known()) return Encoding::kBinary;
  // UTF-32 before UTF-16, whose byte-order mark begins that of UTF-32 little-endian.
  if ((byte(0) == 0xFF && byte(1) == 0xFE && byte(2) == 0 && byte(3) == 0) ||
      (byte(0) == 0 && byte(1) == 0 && byte(2) == 0xFE && byte(3) == 0xFF) ||
      (byte(0) != 0 && byte(0) < 0x80 && byte(1) == 0 && byte(2) == 0 && byte(3) == 0) ||
      (byte(0) == 0 && byte(1) == 0 && byte(2) == 0 && byte(3) != 0 && byte(3) < 0x80)) {
    return Encoding::kUtf32;
  }
  if (byte(0) == 0 && byte(1) == 0) return Encoding::kBinary;
  if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF) ||
      byte(0) == 0 || byte(1) == 0) {
    return Encoding::kUtf16;
  }
  return Encoding::kText;
}

}  // namespace vortan

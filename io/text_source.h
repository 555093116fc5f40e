// A text file read through a growing buffer, in binary mode, for the readers of coordinate
// files and of grid files: the bytes not yet consumed stay at the front when more is read, so
// that a field or a record that spans two reads is kept whole, and the start of the file tells
// its encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/file_kind.h"

namespace vortan {

class TextSource {
 public:
  // Reads from an open descriptor (not owned): a first buffer of firstBuffer bytes, then pieces
  // of piece bytes.
  TextSource(int fd, std::size_t firstBuffer, std::size_t piece);
  // Reads the bytes of a text held in memory (copied): the whole text is there at once, and
  // Refill finds its end.
  TextSource(const char* bytes, std::size_t size);

  // Reads no more than `bytes` from the descriptor from here on: what follows is as if the
  // file ended there (a part of a file, the rest of it another reader's).
  void Limit(std::uint64_t bytes) { left_ = bytes; }

  // The bytes read so far and not consumed: data()[begin(), end()).
  const char* data() const { return buffer_.data(); }
  std::size_t begin() const { return begin_; }
  std::size_t end() const { return end_; }
  std::size_t available() const { return end_ - begin_; }
  // The end of the file has been read (nothing more will come).
  bool atEnd() const { return eof_; }

  // The bytes before position `to` are consumed.
  void Consume(std::size_t to) {
    consumed_ += to - begin_;
    begin_ = to;
  }
  // Reads one more piece behind the unconsumed bytes, which move to the front of the buffer
  // (positions change: begin() becomes 0). False at the end of the file or on a read error.
  bool Refill();
  bool failed() const { return error_ != 0; }
  int error() const { return error_; }  // errno of a read error
  std::uint64_t consumed() const { return consumed_; }

  enum class Encoding {
    kText,    // UTF-8 (a byte-order mark skipped) or a one-byte code page
    kUtf16,   // a UTF-16 byte-order mark, or a NUL byte beside the first character
    kUtf32,   // a UTF-32 byte-order mark, or three NUL bytes beside the first character
    kBinary,  // NUL bytes at the start, or the signature of a file that is no text (kind())
  };
  // At the start of the file: reads its first bytes, skips a UTF-8 byte-order mark, and tells
  // what kind of text the file holds.
  Encoding ReadEncoding();
  // For kBinary: what the file most likely is.
  const NonTextKind& kind() const { return kind_; }

 private:
  int fd_;  // -1 for a text in memory
  std::size_t piece_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  int error_ = 0;
  std::uint64_t consumed_ = 0;
  std::uint64_t left_ = UINT64_MAX;  // bytes the descriptor may still give
  NonTextKind kind_;
};

}  // namespace vortan

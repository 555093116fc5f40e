#include "io/display_text.h"

#include <cstdint>

#include "io/text_encoding.h"

namespace vortan {
namespace {

void AppendByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// Characters that valid UTF-8 may hold but a message must not show as they are.
bool BreaksTheLine(std::uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string DisplayText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t k = 0;
  while (k < text.size()) {
    const unsigned char ch = static_cast<unsigned char>(text[k]);
    if (ch >= 0x20 && ch < 0x7F) {
      out += static_cast<char>(ch);
      ++k;
    } else if (ch == '\n') {
      out += "\\n", ++k;
    } else if (ch == '\r') {
      out += "\\r", ++k;
    } else if (ch == '\t') {
      out += "\\t", ++k;
    } else if (ch < 0x80) {
      AppendByte(out, ch), ++k;
    } else {
      std::uint32_t codePoint = 0;
      const std::size_t length = Utf8SequenceAt(text.substr(k), codePoint);
      if (length == 0 || BreaksTheLine(codePoint)) {
        // Byte by byte: a sequence that is no valid UTF-8 resumes at its next byte.
        const std::size_t shown = length == 0 ? 1 : length;
        for (std::size_t b = 0; b < shown; ++b) {
          AppendByte(out, static_cast<unsigned char>(text[k + b]));
        }
        k += shown;
      } else {
        out.append(text.substr(k, length));
        k += length;
      }
    }
  }
  return out;
}

std::string DisplayFileName(std::string_view name) {
  return name.empty() ? std::string("an empty file name") : DisplayText(name);
}

}  // namespace vortan

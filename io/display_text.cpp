#include "io/display_text.h"

#include <cstdint>

namespace vortan {
namespace {

void AppendByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// The length of the valid UTF-8 sequence at the front of text and its code point; 0 when the
// bytes there are no valid sequence (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate or a code point beyond U+10FFFF).
std::size_t Utf8Sequence(std::string_view text, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  std::uint32_t min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, codePoint = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, codePoint = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, codePoint = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(k) & 0x3Fu);
  }
  if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return length;
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
      const std::size_t length = Utf8Sequence(text.substr(k), codePoint);
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

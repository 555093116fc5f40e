#include "io/text_encoding.h"

#include <cstdint>

namespace vortan {
namespace {

constexpr char16_t kNone = 0xFFFD;

// Windows-1253 from 0x80 to 0xBF (0xC0 to 0xFE are U+0390 to U+03CE, but for 0xD2).
constexpr char16_t kHigh[64] = {
    0x20AC, kNone,  0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    kNone,  0x2030, kNone,  0x2039, kNone,  kNone,  kNone,  kNone,   // 0x88
    kNone,  0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    kNone,  0x2122, kNone,  0x203A, kNone,  kNone,  kNone,  kNone,   // 0x98
    0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, kNone,  0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,  // 0xA8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,  // 0xB8
};

char16_t CodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte < 0xC0) return kHigh[byte - 0x80];
  if (byte == 0xD2 || byte == 0xFF) return kNone;
  return static_cast<char16_t>(0x0390 + (byte - 0xC0));
}

}  // namespace

std::size_t Utf8SequenceAt(std::string_view text, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  if (text.empty()) return 0;
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

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t ignored;
    const std::size_t length = Utf8SequenceAt(text.substr(i), ignored);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Windows1253ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char ch : text) {
    const char16_t c = CodePoint(static_cast<unsigned char>(ch));
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf8ToWindows1253(std::string_view text, bool& lossless) {
  lossless = true;
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    std::uint32_t c = 0;
    const std::size_t length = Utf8SequenceAt(text.substr(i), c);
    i += length == 0 ? 1 : length;
    int byte = -1;
    for (int k = 0x80; k < 0x100 && length > 0; ++k) {
      if (CodePoint(static_cast<unsigned char>(k)) == c) {
        byte = k;
        break;
      }
    }
    if (byte < 0) {
      lossless = false;
      out += '?';
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace vortan

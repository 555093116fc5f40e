// The system's messages are Greek, then English: a Greek paragraph, two line breaks (CR LF
// each) and the English paragraph. Titles join the two with " - ".
#pragma once

#include <string>
#include <string_view>

namespace vortan {

inline constexpr std::string_view kMessageBreak = "\r\n";

// The text of a message: the Greek paragraph, a blank line, the English paragraph.
inline std::string Bilingual(std::string_view greek, std::string_view english) {
  std::string text(greek);
  text += kMessageBreak;
  text += kMessageBreak;
  text += english;
  return text;
}

}  // namespace vortan

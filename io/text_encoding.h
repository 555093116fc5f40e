// The encodings of the text files that reach the programs from Greek offices: UTF-8, and
// Windows-1253, the code page in which Greek Windows (Excel's "CSV (delimited)", the .dbf of a
// Greek Shapefile) saves text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vortan {

// The length of the valid UTF-8 sequence at the front of text and its code point; 0 when the
// bytes there are no valid sequence of two to four bytes (an ASCII byte, a stray continuation
// byte, a sequence cut short, an overlong form, a surrogate or a code point beyond U+10FFFF).
std::size_t Utf8SequenceAt(std::string_view text, std::uint32_t& codePoint);

// Whether the text is valid UTF-8 (ASCII is).
bool IsValidUtf8(std::string_view text);

// The text in UTF-8, read as Windows-1253. The five bytes that code page leaves unassigned
// become U+FFFD.
std::string Windows1253ToUtf8(std::string_view text);

// UTF-8 text in Windows-1253; a character that code page cannot hold (or a byte that is not
// valid UTF-8) becomes "?" and makes lossless false.
std::string Utf8ToWindows1253(std::string_view text, bool& lossless);

}  // namespace vortan

// Text from files and file names made safe for a message: whatever bytes it holds, it shows on
// one line, whole (a NUL byte does not end it) and cannot forge a line of the message.
#pragma once

#include <string>
#include <string_view>

namespace vortan {

// The text as a message shows it. Valid UTF-8 (Greek letters included) stays as it is; a line
// feed, a carriage return and a tab are shown as \n, \r and \t; the other control characters
// (bytes below 0x20, 0x7F, the C1 controls U+0080 to U+009F), the Unicode line and paragraph
// separators U+2028, U+2029 and the direction overrides U+202A to U+202E and U+2066 to U+2069,
// which would break or reorder the line, and every byte that is not part of valid UTF-8 are
// shown byte by byte as \xNN (two upper-case hexadecimal digits). A backslash stays as it is, so
// that Windows paths read as they are typed.
std::string DisplayText(std::string_view text);

// A file name as a message shows it: DisplayText of the name, or "an empty file name".
std::string DisplayFileName(std::string_view name);

}  // namespace vortan

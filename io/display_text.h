// Texts from files and from the command line made safe for a message: control characters,
// line breaks and escape codes are shown escaped, so that no input can cut a message short or
// forge a line of it.
#pragma once

#include <string>
#include <string_view>

namespace vortan {

// The text with \n, \r, \t and \xNN for the other bytes below 0x20, 0x7F and bytes that are not
// part of valid UTF-8; a backslash stays as it is. Greek and other UTF-8 letters are kept.
std::string DisplayText(std::string_view text);

}  // namespace vortan

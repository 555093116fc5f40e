// Windows only: the paths and arguments of this code are UTF-8; the wide-character Windows
// functions take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace vortan {

// UTF-8 to UTF-16; a byte that is not UTF-8 becomes U+FFFD.
std::wstring WideText(std::string_view utf8);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8Text(std::wstring_view wide);

}  // namespace vortan

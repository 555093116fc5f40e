// Texts from files and file names as messages show them: whole, on one line, every byte that
// could cut the message short, forge a line of it or reorder it shown escaped.
#include "io/display_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vortan {
namespace {

TEST(DisplayText, ShowsEveryByteOnOneLine) {
  struct Case {
    std::string text, shown;
  };
  const Case cases[] = {
      {"dN_2km V1-0.grd \\ C:\\grids", "dN_2km V1-0.grd \\ C:\\grids"},
      {"a\nb\rc\td", "a\\nb\\rc\\td"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\x1B[31m\x7F\x01\x1F", "\\x1B[31m\\x7F\\x01\\x1F"},
      {"Σημείο εκτός καννάβου", "Σημείο εκτός καννάβου"},
      {"\xF0\x9F\x93\x90 \xE2\x82\xAC", "\xF0\x9F\x93\x90 \xE2\x82\xAC"},  // four and three bytes
      // Not UTF-8: a stray continuation byte, a cut sequence, an overlong form, a surrogate, a
      // code point beyond U+10FFFF, a byte never used.
      {"\x80", "\\x80"},
      {"\xCE", "\\xCE"},
      {"\xE2\x82x", "\\xE2\\x82x"},
      {"\xC0\xAF", "\\xC0\\xAF"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"\xFF", "\\xFF"},
      // Valid UTF-8 that would break or reorder the line: a C1 control, the line separator,
      // a direction override.
      {"\xC2\x9B" "2J", "\\xC2\\x9B" "2J"},
      {"a\xE2\x80\xA8" "b", "a\\xE2\\x80\\xA8" "b"},
      {"\xE2\x80\xAE" "dcba", "\\xE2\\x80\\xAE" "dcba"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayText(c.text), c.shown) << c.shown;
  EXPECT_EQ(DisplayFileName(""), "an empty file name");
  EXPECT_EQ(DisplayFileName("a\nb"), "a\\nb");
}

}  // namespace
}  // namespace vortan

// File names that Windows keeps for its devices, and the encodings of Greek office files: each
// checked against what the system itself does (glibc's iconv for Windows-1253).
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "io/files.h"
#include "io/text_encoding.h"

namespace vortan {
namespace {

TEST(ReservedDeviceNames, AreToldWithAnyExtensionInAnyFolderAndCase) {
  struct Case {
    const char* path;
    const char* device;
  };
  const Case cases[] = {
      {"CON", "CON"},          {"aux.txt", "AUX"},        {"C:\\data\\Nul.tar.gz", "NUL"},
      {"out/prn", "PRN"},      {"COM1.csv", "COM1"},      {"lpt9", "LPT9"},
      {"AUX .txt", "AUX"},     {"d:com3", "COM3"},        {"auxiliary.txt", ""},
      {"com10.txt", ""},       {"console.txt", ""},       {"nul-points.txt", ""},
      {"con/points.txt", ""},  {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReservedDeviceNameOf(c.path), c.device) << c.path;
  }
#if !defined(_WIN32)
  EXPECT_EQ(ReservedDeviceName("aux.txt"), "") << "an ordinary file name here";
#endif
}

TEST(TextEncodings, Windows1253IsReadAsTheSystemReadsIt) {
  iconv_t cd = iconv_open("UTF-8", "CP1253");
  if (cd == reinterpret_cast<iconv_t>(-1) && VORTAN_CROSS_BUILD) {
    GTEST_SKIP() << "the C library of the cross build's sysroot has no CP1253 converter";
  }
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 1; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    char out[8];
    char* inp = in;
    char* outp = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const bool assigned = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::string ours = Windows1253ToUtf8(std::string(1, static_cast<char>(b)));
    EXPECT_EQ(ours, assigned ? std::string(out, outp) : "\xEF\xBF\xBD") << "byte " << b;
  }
  iconv_close(cd);
  EXPECT_EQ(Windows1253ToUtf8("\xD7;\xD5;\xC7\r\n"), "Χ;Υ;Η\r\n");
}

TEST(TextEncodings, ValidUtf8IsToldFromWindows1253) {
  EXPECT_TRUE(IsValidUtf8("Κωδικός;Χ;Υ"));
  EXPECT_TRUE(IsValidUtf8("id,E,N"));
  EXPECT_FALSE(IsValidUtf8("\xCA\xF9\xE4\xE9\xEA\xFC\xF2"));  // Κωδικός in Windows-1253
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                  // a surrogate
}

}  // namespace
}  // namespace vortan

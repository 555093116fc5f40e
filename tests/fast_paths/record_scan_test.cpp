// The reader takes a plain line ("id,number,number,number" and its line break) in one pass over
// its bytes and leaves every other line to the full scan. Both must give the same records, with
// the same line numbers, wherever the reads of the input cut the text: here the input arrives
// through a pipe in pieces of one to five bytes, so that line breaks, CR LF pairs and fields
// are cut in every way, and in pieces of 64 KiB, so that the scan finds most lines whole in
// its buffer (where it takes them sixteen bytes at a time); ids of every length up to 30 put
// the commas and blanks at every place of those sixteen bytes.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <unistd.h>

#include <array>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data_files/record_reader.h"

namespace vortan {
namespace {

struct Expected {
  std::string id, a, b, c;
  std::uint64_t line;
};

TEST(RecordScan, PlainAndOtherLinesReadTheSameThroughAPipeInSmallPieces) {
  const char* const breaks[] = {"\r\n", "\n", "\r"};
  std::string text;
  std::vector<Expected> expected;
  std::uint64_t line = 1;
  for (int i = 0; i < 3000; ++i) {
    Expected e{"P" + std::string(static_cast<std::size_t>(i % 23), 'x') + std::to_string(i),
               std::to_string(380000 + i) + ".125",
               std::to_string(i % 7) + "." + std::to_string(i), "-" + std::to_string(i % 100),
               line};
    switch (i % 5) {
      case 0:  // blanks around the numbers (an id keeps its blanks): the full scan
        text += e.id + ", " + e.a + " ," + e.b + ", " + e.c + " ";
        break;
      case 1:  // a blank line before the record
        text += std::string(breaks[i % 3]) + e.id + "," + e.a + "," + e.b + "," + e.c;
        e.line = ++line;
        break;
      default:
        text += e.id + "," + e.a + "," + e.b + "," + e.c;
    }
    text += breaks[i % 3];
    ++line;
    expected.push_back(e);
  }
  for (const std::size_t largest : {std::size_t{5}, std::size_t{64} << 10}) {
    int fds[2];
#ifdef _WIN32
    ASSERT_EQ(::_pipe(fds, 1 << 16, _O_BINARY), 0);
#else
    ASSERT_EQ(::pipe(fds), 0);
#endif
    std::thread writer([&] {
      for (std::size_t at = 0, piece = 1; at < text.size();
           at += piece, piece = largest == 5 ? piece % 5 + 1 : largest) {
        const std::size_t n = std::min(piece, text.size() - at);
        if (::write(fds[1], text.data() + at, n) != static_cast<ssize_t>(n)) break;
      }
      ::close(fds[1]);
    });
    const std::array<std::string_view, 3> names = {"E", "N", "h"};
    RecordReader reader(fds[0], names);
    RecordBatch batch;
    std::size_t k = 0;
    for (bool more = true; more;) {
      more = reader.ReadBatch(batch, 64);
      for (const RawRecord& r : batch.records) {
        ASSERT_LT(k, expected.size());
        const Expected& e = expected[k++];
        EXPECT_EQ(batch.Field(r.id), e.id);
        EXPECT_EQ(batch.Field(r.numbers[0]), e.a) << e.id;
        EXPECT_EQ(batch.Field(r.numbers[1]), e.b) << e.id;
        EXPECT_EQ(batch.Field(r.numbers[2]), e.c) << e.id;
        EXPECT_EQ(r.id.line, e.line) << e.id;
        EXPECT_EQ(r.numbers[2].line, e.line) << e.id;
        EXPECT_FALSE(r.idNeedsQuotes);
      }
    }
    writer.join();
    ::close(fds[0]);
    EXPECT_FALSE(reader.failed()) << reader.error().reason;
    EXPECT_EQ(k, expected.size()) << "pieces of up to " << largest << " bytes";
  }
}

}  // namespace
}  // namespace vortan

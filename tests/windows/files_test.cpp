// The Windows side of io/ where the tool cannot show it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include "io/files.h"
#include "tool_runner.h"

namespace vortan::windows {
namespace {

class Files : public ToolFolder {};

// Standard output opened by ">>" only appends: its writes go to the end whatever the file
// pointer says, so a failed write is cut back to the size the file had, not to the pointer.
TEST_F(Files, AnAppendOnlyOutputIsPlacedAtItsEnd) {
  WriteFile(folder_ / "log.txt", "kept\r\n");
  const HANDLE handle = ::CreateFileW((folder_ / "log.txt").c_str(),
                                      FILE_APPEND_DATA | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(WritePosition(fd), std::optional<std::uint64_t>(6));
  std::size_t written = 0;
  EXPECT_TRUE(WriteAll(fd, "line\r\n", 6, written));
  EXPECT_EQ(WritePosition(fd), std::optional<std::uint64_t>(12));
  CloseFile(fd);
  EXPECT_EQ(ReadFile(folder_ / "log.txt"), "kept\r\nline\r\n");
}

}  // namespace
}  // namespace vortan::windows

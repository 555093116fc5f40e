// Files as the jobs use them, by descriptor and always in binary mode: opened for reading,
// opened for writing without truncating (so that every output can be checked before any is
// emptied), written whole, cut back, closed. Paths are UTF-8. Standard input and output are
// descriptors 0 and 1; a file this module opens never takes descriptors 0 to 2, so that a
// closed standard stream cannot become a file of the job.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vortan {

inline constexpr int kStandardInput = 0;
inline constexpr int kStandardOutput = 1;

// The reason of a system error code, in words a user understands; in Greek.
std::string SystemReason(int error);
std::string SystemReasonGreek(int error);

// Opens a file for reading; -1 and errno when it cannot be opened.
int OpenForReading(const std::string& path);

struct OpenedOutput {
  int fd = -1;
  int error = 0;         // errno when fd is -1
  bool created = false;  // the file did not exist: this call made it (remove it to undo)
  std::string createdPath;  // the file made, links followed
};

// Opens a file for writing, creating it when it does not exist, without emptying it.
OpenedOutput OpenForWriting(const std::string& path);

// Removes a file that OpenForWriting made.
void RemoveCreated(const OpenedOutput& output);

// Reads up to size bytes (retrying when interrupted); the count, 0 at the end, -1 and errno.
long long ReadSome(int fd, char* data, std::size_t size);

// Writes all size bytes (retrying when interrupted and after short writes); false and errno
// (ENOSPC for a device that takes nothing more) when not all could be written. written says how
// many were.
bool WriteAll(int fd, const char* data, std::size_t size, std::size_t& written);

// Where the next write goes in a regular file: its end when it was opened for appending. Nothing
// for a file that cannot be positioned (a pipe, a terminal).
std::optional<std::uint64_t> WritePosition(int fd);

// Cuts a regular file back to size bytes and places the next write there.
bool CutBack(int fd, std::uint64_t size);

// Empties a regular file.
bool Empty(int fd);

// Places the next read of a regular file at offset; false for a file that cannot be positioned
// (a pipe, a terminal) or an offset past what the system can reach.
bool ReadFrom(int fd, std::uint64_t offset);

// Reserves disk space for size bytes from offset `from` of a regular file without changing its
// size, so that the writes there do not each have blocks found for them. Best effort: false
// where the system or its file system cannot (then nothing was done). A reservation past the
// end of the file stays until the file is cut back (ReleaseReserved).
bool ReserveSpace(int fd, std::uint64_t from, std::uint64_t size);

// Gives back the space reserved past size bytes (the file's size), leaving the file and its
// write position as they are.
bool ReleaseReserved(int fd, std::uint64_t size);

// The size of a regular file; nothing for anything else.
std::optional<std::uint64_t> RegularFileSize(int fd);

// Whether the descriptor is a folder.
bool IsFolder(int fd);

bool CloseFile(int fd);

// The lock that the one writer of a file holds while a job writes it: exclusive, taken without
// waiting, and given up by UnlockWriting or when the descriptor is closed. Another job holding
// it, in this process or another, makes it kHeld.
enum class WriterLock {
  kTaken,
  kHeld,         // another writer has it; holder: its process id where known, else 0
  kUnsupported,  // the file system keeps no locks: the file is written without one
};
WriterLock LockForWriting(int fd, long& holder);
void UnlockWriting(int fd);

// The reserved Windows device name that a path ends in (CON, PRN, AUX, NUL, COM1 to COM9, LPT1
// to LPT9, with any extension, in any folder, in any case), which Windows opens as the device
// and never as a file; "" for any other path. ReservedDeviceName does so on Windows only (""
// elsewhere, where such names are ordinary files).
std::string ReservedDeviceNameOf(const std::string& path);
std::string ReservedDeviceName(const std::string& path);
// Whether a path holds a colon other than the one after a drive letter ("C:", also after a
// "\\?\" or "\\.\" prefix). On NTFS "in.txt:s" and "in.txt::$DATA" name streams inside
// the file in.txt, not files of their own: an output there would change the input unseen. The
// Windows build opens no such path (elsewhere a colon is an ordinary character of a name).
bool ColonInNameOf(const std::string& path);
// Why such a name is refused as a file, in the words of a message; in Greek.
std::string ReservedDeviceReason(const std::string& device);
std::string ReservedDeviceReasonGreek(const std::string& device);

// The cause of an open that failed with error when the path itself is at fault, in the words of
// a message: a name that ends in a folder separator, and on Windows a drive that does not
// exist or a colon inside a name. "" when the path looks sound.
std::string PathProblem(const std::string& path, int error);
// The same cause in Greek ("" where PathProblem gives "").
std::string PathProblemGreek(const std::string& path, int error);

}  // namespace vortan

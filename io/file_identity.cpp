#include "io/file_identity.h"

#include <sys/stat.h>

namespace vortan {
namespace {

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.file = static_cast<std::uint64_t>(st.st_ino);
  id.regular = S_ISREG(st.st_mode);
  id.characterDevice = S_ISCHR(st.st_mode);
  struct stat null {};
  id.nullDevice = S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 &&
                  null.st_rdev == st.st_rdev;
  return id;
}

}  // namespace

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

bool SameFile(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> ia = IdentityOfPath(a);
  const std::optional<FileIdentity> ib = IdentityOfPath(b);
  return ia && ib && *ia == *ib;
}

}  // namespace vortan

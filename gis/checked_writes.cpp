#include "gis/checked_writes.h"

#include <cpl_vsi.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace vortan::gis {

struct CheckedFolder::State {
  std::string folder;  // with a trailing /
  mutable std::mutex mutex;
  std::optional<WriteFailure> failure;

  void Record(const std::string& file, int error) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!failure) failure = WriteFailure{file, error};
  }
};

namespace {

// The prefix has no trailing /: what follows it is the real absolute path, which GDAL hands to
// the callbacks as it is (and to the system's unlink() directly, which GDAL's plugin handler
// calls in place of the callback). It does not begin with /vsi, so that the drivers write as
// they write a local file (FlatGeobuf writes its header's extent and count only there).
constexpr const char* kPrefix = "/.vortan-checked-writes";

std::mutex registryMutex;
std::vector<std::shared_ptr<CheckedFolder::State>>& Registry() {
  static std::vector<std::shared_ptr<CheckedFolder::State>> folders;
  return folders;
}

// The watched folder that holds a file, if any.
std::shared_ptr<CheckedFolder::State> FolderOf(const char* path) {
  std::lock_guard<std::mutex> lock(registryMutex);
  for (const auto& state : Registry()) {
    if (std::strncmp(path, state->folder.c_str(), state->folder.size()) == 0) return state;
  }
  return nullptr;
}

struct Handle {
  VSILFILE* file = nullptr;
  std::string path;
  std::shared_ptr<CheckedFolder::State> state;
  bool writing = false;

  void Failed(int error) {
    if (state) state->Record(path, error);
  }
};

Handle* HandleOf(void* file) { return static_cast<Handle*>(file); }

void* Open(void*, const char* path, const char* access) {
  VSILFILE* file = VSIFOpenL(path, access);
  const bool writing = std::strpbrk(access, "wa") != nullptr;
  if (!file) {
    const int error = errno;
    if (writing) {
      if (std::shared_ptr<CheckedFolder::State> state = FolderOf(path)) state->Record(path, error);
    }
    errno = error;
    return nullptr;
  }
  return new Handle{file, path, FolderOf(path), writing || std::strchr(access, '+') != nullptr};
}

int Stat(void*, const char* path, VSIStatBufL* buffer, int flags) {
  return VSIStatExL(path, buffer, flags);
}
int Unlink(void*, const char* path) { return VSIUnlink(path); }
int Rename(void*, const char* from, const char* to) { return VSIRename(from, to); }
int Mkdir(void*, const char* path, long mode) { return VSIMkdir(path, mode); }
int Rmdir(void*, const char* path) { return VSIRmdir(path); }
char** ReadDir(void*, const char* path, int maxFiles) { return VSIReadDirEx(path, maxFiles); }

vsi_l_offset Tell(void* file) { return VSIFTellL(HandleOf(file)->file); }
// A seek writes out what was buffered before it: its failure is a write's.
int Seek(void* file, vsi_l_offset offset, int whence) {
  Handle* h = HandleOf(file);
  errno = 0;
  const int result = VSIFSeekL(h->file, offset, whence);
  if (result != 0 && h->writing) h->Failed(errno);
  return result;
}
size_t Read(void* file, void* buffer, size_t size, size_t count) {
  return VSIFReadL(buffer, size, count, HandleOf(file)->file);
}
int Eof(void* file) { return VSIFEofL(HandleOf(file)->file); }

size_t Write(void* file, const void* buffer, size_t size, size_t count) {
  Handle* h = HandleOf(file);
  errno = 0;
  const size_t written = VSIFWriteL(buffer, size, count, h->file);
  if (written < count && size > 0) h->Failed(errno);
  return written;
}
int Flush(void* file) {
  Handle* h = HandleOf(file);
  errno = 0;
  const int result = VSIFFlushL(h->file);
  if (result != 0) h->Failed(errno);
  return result;
}
int Truncate(void* file, vsi_l_offset size) {
  Handle* h = HandleOf(file);
  errno = 0;
  const int result = VSIFTruncateL(h->file, size);
  if (result != 0) h->Failed(errno);
  return result;
}
int Close(void* file) {
  Handle* h = HandleOf(file);
  errno = 0;
  const int result = VSIFCloseL(h->file);
  if (result != 0) h->Failed(errno);
  delete h;
  return result;
}

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    VSIFilesystemPluginCallbacksStruct* callbacks = VSIAllocFilesystemPluginCallbacksStruct();
    callbacks->open = Open;
    callbacks->stat = Stat;
    callbacks->unlink = Unlink;
    callbacks->rename = Rename;
    callbacks->mkdir = Mkdir;
    callbacks->rmdir = Rmdir;
    callbacks->read_dir = ReadDir;
    callbacks->tell = Tell;
    callbacks->seek = Seek;
    callbacks->read = Read;
    callbacks->eof = Eof;
    callbacks->write = Write;
    callbacks->flush = Flush;
    callbacks->truncate = Truncate;
    callbacks->close = Close;
    // GDAL keeps a copy of the callbacks.
    VSIInstallPluginHandler(kPrefix, callbacks);
    VSIFreeFilesystemPluginCallbacksStruct(callbacks);
  });
}

}  // namespace

CheckedFolder::~CheckedFolder() {
  if (!state_) return;
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& folders = Registry();
  folders.erase(std::remove(folders.begin(), folders.end(), state_), folders.end());
}

void CheckedFolder::Watch(const std::string& folder) {
  Install();
  state_ = std::make_shared<State>();
  state_->folder = folder.empty() || folder.back() != '/' ? folder + "/" : folder;
  std::lock_guard<std::mutex> lock(registryMutex);
  Registry().push_back(state_);
}

std::string CheckedFolder::CheckedPath(const std::string& path) { return kPrefix + path; }

std::optional<WriteFailure> CheckedFolder::Failure() const {
  if (!state_) return std::nullopt;
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->failure;
}

}  // namespace vortan::gis

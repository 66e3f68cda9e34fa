#ifndef _WIN32
#include "common/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

bool File::Open(const char* path, FileMode mode) {
  Close();
  int flags = O_RDWR;
  switch (mode) {
    case FileMode::Read: flags = O_RDONLY; break;
    case FileMode::Update: break;
    case FileMode::UpdateOrCreate: flags |= O_CREAT; break;
    case FileMode::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
  }
  fd_ = ::open(path, flags | O_CLOEXEC, 0644);
  // (POSIX has no mandatory sharing modes: a file is never "in use".)
  failure_ = FileFailure::None;
  if (fd_ < 0) {
    failure_ = errno == ENOENT || errno == ENOTDIR ? FileFailure::NotFound
               : errno == EISDIR                   ? FileFailure::IsFolder
               : errno == EACCES || errno == EPERM || errno == EROFS ? FileFailure::AccessDenied
                                                                     : FileFailure::Other;
    return false;
  }
  struct stat st;
  if (fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    Close();
    failure_ = FileFailure::IsFolder;
  }
  return fd_ >= 0;
}

bool File::IsOpen() const { return fd_ >= 0; }

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool File::Read(void* data, uint32_t size, uint32_t* moved) {
  *moved = 0;
  if (fd_ < 0) return false;
  char* p = static_cast<char*>(data);
  while (*moved < size) {
    ssize_t r = ::read(fd_, p + *moved, size - *moved);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) break;
    *moved += static_cast<uint32_t>(r);
  }
  return true;
}

bool File::Write(const void* data, uint32_t size, uint32_t* moved) {
  *moved = 0;
  if (fd_ < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (*moved < size) {
    ssize_t r = ::write(fd_, p + *moved, size - *moved);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    *moved += static_cast<uint32_t>(r);
  }
  return true;
}

bool File::SeekFromStart(uint32_t position) {
  return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool File::SeekRelative(int32_t delta) {
  return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(delta), SEEK_CUR) >= 0;
}

uint32_t File::Position() {
  if (fd_ < 0) return 0;
  off_t r = ::lseek(fd_, 0, SEEK_CUR);
  return r < 0 ? 0 : static_cast<uint32_t>(r);
}

uint32_t File::Size() {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return 0;
  if (st.st_size > static_cast<off_t>(UINT32_MAX)) return UINT32_MAX;
  return static_cast<uint32_t>(st.st_size);
}

bool File::Flush() {
  if (fd_ < 0) return false;
  // Files that cannot be synchronised (devices, pipes) have nothing held back.
  return ::fsync(fd_) == 0 || errno == EINVAL || errno == EROFS;
}

bool File::Truncate() {
  if (fd_ < 0) return false;
  off_t pos = ::lseek(fd_, 0, SEEK_CUR);
  if (pos < 0) return false;
  struct stat st;
  if (fstat(fd_, &st) == 0 && pos > st.st_size) {
    // Growing: reserve the blocks now, so that a full disk shows here and not
    // halfway through moving the audio.
    int r = posix_fallocate(fd_, st.st_size, pos - st.st_size);
    if (r == 0) return true;
    if (r != EOPNOTSUPP && r != EINVAL) return false;
  }
  return ::ftruncate(fd_, pos) == 0;
}
#endif

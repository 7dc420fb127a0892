// Saving and loading the whole model image. A save never leaves a torn file: the image goes to a
// temporary file in the same folder, which is flushed and then renamed over the old file.
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {

using Image = std::array<uint8_t, kImageSize>;

// The file name of a length-prefixed string; false (errno set) for a missing or empty name or one
// with a zero character inside.
bool PathOf(const uint8_t* name, std::string& path) {
  if (name == nullptr) {
    errno = EINVAL;
    return false;
  }
  path.assign(reinterpret_cast<const char*>(name + 1), name[0]);
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  if (path.find('\0') != std::string::npos) {
    errno = EINVAL;
    return false;
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

// Reads exactly size bytes; false on an error or a short file.
bool ReadAll(int fd, uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

// The file a save replaces: a symbolic link is followed, so that the link keeps pointing at the
// saved model instead of being replaced by a file of its own.
std::string SaveTarget(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string target = real;
  std::free(real);
  return target;
}

// Creates a new temporary file beside path with the mode of the file it replaces (a new file:
// 0666 less the umask).
int CreateTemporary(const std::string& path, std::string& temporary) {
  static std::atomic<unsigned> serial{0};
  struct stat old {};
  const bool replaces = stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(serial++);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 && replaces) (void)fchmod(fd, old.st_mode & 07777);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Makes the rename itself durable; a folder that cannot be flushed does not fail the save.
void FlushFolderOf(const std::string& path) {
  std::string copy = path;
  const int fd = open(dirname(copy.data()), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

bool WriteTemporary(int fd, const Image& image) {
  const bool written = WriteAll(fd, image.data(), image.size()) && fsync(fd) == 0;
  const int saved = errno;
  const bool closed = close(fd) == 0;
  if (!written) errno = saved;
  return written && closed;
}

}  // namespace

extern "C" {

uint8_t savemodel(const uint8_t* name) {
  std::string given;
  if (!PathOf(name, given)) return 0;
  const std::string path = SaveTarget(given);
  Image image;
  std::memcpy(image.data(), g_Model, kImageSize);
  std::string temporary;
  const int fd = CreateTemporary(path, temporary);
  if (fd < 0) return 0;
  if (!WriteTemporary(fd, image) || rename(temporary.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    unlink(temporary.c_str());
    errno = saved;
    return 0;
  }
  FlushFolderOf(path);
  return 1;
}

uint8_t loadmodel(const uint8_t* name) {
  std::string path;
  if (!PathOf(name, path)) return 0;
  // Non-blocking, so that a FIFO or a device is refused below instead of waiting in open() for a
  // writer; a regular file reads the same either way.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st {};
  Image image;
  bool whole = fstat(fd, &st) == 0;
  if (whole && (!S_ISREG(st.st_mode) || st.st_size != static_cast<off_t>(kImageSize))) {
    errno = EINVAL;
    whole = false;
  }
  whole = whole && ReadAll(fd, image.data(), image.size());
  const int saved = errno;
  close(fd);
  if (!whole) {
    errno = saved;
    return 0;
  }
  std::memcpy(g_Model, image.data(), kImageSize);
  return 1;
}

}  // extern "C"

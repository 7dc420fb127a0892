// Saving and loading the whole model image. A save never leaves a torn file where a temporary file
// can be made beside it (see base/AtomicReplace.h); in a folder the user may not write, it
// overwrites the file in place, as a plain overwrite would, and it refuses a file the user may not
// write, as opening it for writing would.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "AtomicReplace.h"
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

}  // namespace

extern "C" {

uint8_t savemodel(const uint8_t* name) {
  std::string path;
  if (!PathOf(name, path)) return 0;
  Image image;
  std::memcpy(image.data(), g_Model, kImageSize);
  const base::ReplaceResult saved =
      base::ReplaceFile(path, image, {.newFileMode = std::nullopt, .onlyWritableFiles = true});
  if (!saved) errno = saved.error;
  return saved ? 1 : 0;
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

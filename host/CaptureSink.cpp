#include "CaptureSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
  throw std::runtime_error("Cannot capture to " + path + ": " + reason);
}

// A capture goes to a regular file: opening a FIFO would hold the host, and a device is no file.
// A link is followed only when it is the user's own (or root's): one planted in a shared folder
// must not send the capture elsewhere.
int OpenCaptureFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && info.st_uid != ::geteuid() &&
      info.st_uid != 0) {
    Refuse(path, "it is a link owned by another user");
  }
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    Refuse(path, "it is not a regular file");
  }
  // Read access lets a new session see whether the last one ended inside a line.
  constexpr int kFlags = O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0644);
  if (fd < 0) {
    throw std::runtime_error("Cannot open the capture file " + path + ": " + std::strerror(errno));
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    Refuse(path, "it is not a regular file");
  }
  return fd;
}

// Whether the file's last byte ends a line (an empty file does).
bool EndsOnANewLine(int fd) {
  struct stat info {};
  char last = '\n';
  return ::fstat(fd, &info) != 0 || info.st_size == 0 ||
         ::pread(fd, &last, 1, info.st_size - 1) != 1 || last == '\n';
}

}  // namespace

CaptureSink::CaptureSink(const std::string& path, Micros origin, int version)
    : fd_(OpenCaptureFile(path)), path_(path), version_(version) {
  // A session that ended inside a line (a crash, a full disk) leaves the next one a fresh line.
  if (!EndsOnANewLine(fd_)) pending_ << '\n';
  writer_.emplace(pending_, origin, version);
  // A capture with no traffic yet is still a capture, and a file that takes nothing is refused.
  if (!WriteOut()) throw std::runtime_error(*TakeFailure());
}

CaptureSink::~CaptureSink() {
  if (Open() && WriteOut()) Close();
}

void CaptureSink::Write(const std::string& label, Direction direction, const Frame& frame) {
  if (Open()) writer_->Write(label, direction, frame);
}

void CaptureSink::WriteLine(const std::string& line) {
  if (Open()) pending_ << line << '\n';
}

void CaptureSink::Note(const std::string& comment) { WriteLine("# " + comment); }

void CaptureSink::NeedVersion(int version) {
  if (version <= version_) return;
  version_ = version;
  WriteLine(CaptureVersionLine(version));
}

bool CaptureSink::WriteOut() {
  if (!Open()) return false;
  const std::string text = pending_.str();
  pending_.str({});
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      failure_ = "Capture to " + path_ + " stopped: " + std::strerror(error);
      Close();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void CaptureSink::Close() {
  ::close(fd_);
  fd_ = -1;
  pending_.str({});
}

std::optional<std::string> CaptureSink::TakeFailure() {
  std::optional<std::string> failure;
  failure.swap(failure_);
  return failure;
}

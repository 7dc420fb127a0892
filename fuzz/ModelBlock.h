// The model fuzz targets work on a shared block of their own: the library reads its name from
// VYOMODEL_SHM_NAME when it is loaded, so a run without it starts itself again with it set. The
// target maps the same block read-only to see what each call did to it.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

constexpr std::size_t kModelImageSize = 16316;

inline void UsePrivateBlock(char** argv) {
  if (std::getenv("VYOMODEL_SHM_NAME") != nullptr) return;
  const std::string name = "/VyoModelFuzz" + std::to_string(::getpid());
  ::setenv("VYOMODEL_SHM_NAME", name.c_str(), 1);
  ::execv("/proc/self/exe", argv);
  std::abort();
}

// The block as this process sees it. Its name is removed at once, so no run leaves it behind.
inline const uint8_t* PrivateBlock() {
  static const uint8_t* block = [] {
    const char* name = std::getenv("VYOMODEL_SHM_NAME");
    const int fd = ::shm_open(name, O_RDONLY, 0);
    if (fd < 0) std::abort();
    void* view = ::mmap(nullptr, kModelImageSize, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (view == MAP_FAILED) std::abort();
    // The library and this process both map it now: the name can go, however the run ends.
    ::shm_unlink(name);
    return static_cast<const uint8_t*>(view);
  }();
  return block;
}

inline std::vector<uint8_t> BlockCopy() {
  const uint8_t* block = PrivateBlock();
  return std::vector<uint8_t>(block, block + kModelImageSize);
}

inline bool BlockIs(const std::vector<uint8_t>& before) {
  return std::memcmp(before.data(), PrivateBlock(), kModelImageSize) == 0;
}

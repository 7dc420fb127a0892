// Attaching to the shared block: every process that loads the library maps the one block of
// POSIX shared memory at load time and unmaps it at unload.
#include "ZMModel.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vyo {

ZMImage* g_Model = nullptr;

namespace {

constexpr char kDefaultBlockName[] = "/SharedZMModel";

// Tests and diagnostics give each run its own block, so that they never touch the model of the
// programs running on the machine.
const char* BlockName() {
  const char* name = std::getenv("VYOMODEL_SHM_NAME");
  return (name != nullptr && name[0] != '\0') ? name : kDefaultBlockName;
}

// True when the process already maps the block, through another copy of this library.
bool ProcessMapsBlock(const char* name) {
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return false;
  while (*name == '/') ++name;
  const std::string path = std::string("/dev/shm/") + name;
  char line[4096];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
    const char* at = std::strstr(line, path.c_str());
    if (at != nullptr) {
      const char after = at[path.size()];
      found = after == '\n' || after == ' ' || after == '\0';
    }
  }
  std::fclose(maps);
  return found;
}

// Opens or creates the block; a new block is zero-filled. A block that another process has just
// created but not yet sized is sized here too (growing never loses data).
ZMImage* MapBlock(const char* name) {
  const int fd = shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  struct stat st {};
  const bool sized = fstat(fd, &st) == 0 &&
                     (st.st_size >= static_cast<off_t>(kImageSize) || ftruncate(fd, kImageSize) == 0);
  void* view = sized ? mmap(nullptr, kImageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  close(fd);
  return view == MAP_FAILED ? nullptr : static_cast<ZMImage*>(view);
}

// A newly attached process knows nothing of the machines' communication until their status is
// written again.
void MarkMachinesWithoutComms() {
  for (McnRecord& r : g_Model->Machines) {
    Store(r.ChangeCursor, uint8_t{1});
    Store(r.NoComms, uint8_t{1});
  }
}

__attribute__((constructor)) void AttachModel() {
  const char* name = BlockName();
  if (g_Model != nullptr || ProcessMapsBlock(name)) {
    std::fputs("Attempting to connect to model more than once\n", stderr);
  }
  g_Model = MapBlock(name);
  if (g_Model == nullptr) {
    // A constructor cannot refuse the load; end the process as the loader does for a library
    // that cannot be loaded.
    std::fputs("Error creating memory mapped file\n", stderr);
    _exit(127);
  }
  MarkMachinesWithoutComms();
}

__attribute__((destructor)) void DetachModel() {
  if (g_Model != nullptr) {
    munmap(g_Model, kImageSize);
    g_Model = nullptr;
  }
}

}  // namespace
}  // namespace vyo

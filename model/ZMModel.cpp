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

// Why a block found under the name cannot be used, or "" when it can. Only this user's block is
// trusted: another user's block could be read or rewritten by that user, or be a trap of any size.
std::string Refusal(const char* name, const struct stat& st) {
  char why[160];
  if (!S_ISREG(st.st_mode)) {
    std::snprintf(why, sizeof why, "shared block %s is not a shared memory object (mode %06o)",
                  name, unsigned(st.st_mode));
  } else if (st.st_uid != geteuid()) {
    std::snprintf(why, sizeof why,
                  "shared block %s belongs to uid %u (mode %04o), not to this user (uid %u)", name,
                  unsigned(st.st_uid), unsigned(st.st_mode & 07777), unsigned(geteuid()));
  } else if (st.st_size != 0 && st.st_size < static_cast<off_t>(kImageSize)) {
    std::snprintf(why, sizeof why, "shared block %s has %lld bytes, fewer than the model's %zu",
                  name, static_cast<long long>(st.st_size), kImageSize);
  } else {
    return "";
  }
  return why;
}

// Opens or creates the block; a new block is zero-filled. A block that another process has just
// created but not yet sized is sized here too (growing never loses data). A block of this user
// that others may read or write is closed to them before it is used.
ZMImage* MapBlock(const char* name) {
  const int fd = shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  const std::string refusal = Refusal(name, st);
  if (!refusal.empty()) {
    std::fprintf(stderr, "VyoModel: %s\n", refusal.c_str());
    close(fd);
    return nullptr;
  }
  const bool private_ = (st.st_mode & 077) == 0 || fchmod(fd, 0600) == 0;
  const bool sized = st.st_size >= static_cast<off_t>(kImageSize) || ftruncate(fd, kImageSize) == 0;
  void* view = private_ && sized
                   ? mmap(nullptr, kImageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                   : MAP_FAILED;
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
